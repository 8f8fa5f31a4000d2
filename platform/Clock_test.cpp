#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace platform {
namespace {

void ExpectLocale(const std::string& format, const std::string& picture, const std::string& separator) {
  const DateLocale locale = DateLocaleFromStrftime(format);
  EXPECT_EQ(locale.shortDateFormat, picture) << format;
  EXPECT_EQ(locale.dateSeparator, separator) << format;
}

TEST(DateLocaleFromStrftime, GivesOrderAndSeparatorOfCommonFormats) {
  ExpectLocale("%m/%d/%Y", "MM/DD/YYYY", "/");
  ExpectLocale("%d.%m.%Y", "DD.MM.YYYY", ".");
  ExpectLocale("%Y-%m-%d", "YYYY-MM-DD", "-");
  ExpectLocale("%d/%m/%y", "DD/MM/YY", "/");
  ExpectLocale("%e.%-m.%Y", "DD.MM.YYYY", ".");
  ExpectLocale("%D", "MM/DD/YY", "/");
  ExpectLocale("%F", "YYYY-MM-DD", "-");
  // A separator of several bytes is kept whole.
  ExpectLocale("%Y\xe5\xb9\xb4%m\xe6\x9c\x88%d\xe6\x97\xa5",
               "YYYY\xe5\xb9\xb4MM\xe6\x9c\x88" "DD\xe6\x97\xa5", "\xe5\xb9\xb4");
}

TEST(DateLocaleFromStrftime, UnknownOrBrokenFormatsGiveAnEmptyLocale) {
  ExpectLocale("", "", "");
  ExpectLocale("no conversions", "", "");
  ExpectLocale("%A %d %B %Y", "", "");
  ExpectLocale("%d.%m.%", "", "");
  ExpectLocale("%Y", "YYYY", "");
}

TEST(Clock, TestClockAndLocaleReplaceTheRealOnesUntilRemoved) {
  SetClockForTesting([] { return LocalTime{2004, 3, 1, 12, 30, 5}; });
  SetDateLocaleForTesting([] { return DateLocale{"DD.MM.YYYY", "."}; });
  const LocalTime fixed = Now();
  EXPECT_EQ(fixed.year, 2004);
  EXPECT_EQ(fixed.second, 5);
  EXPECT_EQ(UserDateLocale().shortDateFormat, "DD.MM.YYYY");

  SetClockForTesting(nullptr);
  SetDateLocaleForTesting(nullptr);
  const LocalTime real = Now();
  EXPECT_GE(real.year, 2024);
  EXPECT_TRUE(real.month >= 1 && real.month <= 12);
  EXPECT_TRUE(real.day >= 1 && real.day <= 31);
}

TEST(Clock, RealLocaleComesFromTheEnvironment) {
  const char* saved = std::getenv("LC_ALL");
  const std::string savedValue = saved != nullptr ? saved : "";
  ::setenv("LC_ALL", "C", 1);   // always present, date format "%m/%d/%y"
  const DateLocale locale = UserDateLocale();
  if (saved != nullptr) {
    ::setenv("LC_ALL", savedValue.c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
  EXPECT_EQ(locale.shortDateFormat, "MM/DD/YY");
  EXPECT_EQ(locale.dateSeparator, "/");
}

}  // namespace
}  // namespace platform
