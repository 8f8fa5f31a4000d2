#include "platform/NumberLocale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

namespace platform {
namespace {

TEST(GroupDigits, GroupsFromTheRightWithTheLocalesSizeAndSeparator) {
  const struct {
    std::int64_t value;
    NumberLocale locale;
    std::string expected;
  } cases[] = {
      {0, {}, "0"},
      {999, {}, "999"},
      {1000, {}, "1,000"},
      {1234567, {}, "1,234,567"},
      {123456, {3, ","}, "123,456"},
      {1234567, {0, ""}, "1,234,567"},         // unknown settings fall back to 3 and ","
      {1234567, {-2, "."}, "1.234.567"},
      {123456789, {4, "."}, "1.2345.6789"},
      {12345, {3, "\xe2\x80\xaf"}, "12\xe2\x80\xaf" "345"},   // a separator of several bytes
      {-100, {}, "-100"},                      // no separator after the sign
      {-1000, {}, "-1,000"},
      {std::numeric_limits<std::int64_t>::min(), {}, "-9,223,372,036,854,775,808"},
  };
  for (const auto& c : cases) EXPECT_EQ(GroupDigits(c.value, c.locale), c.expected) << c.value;
}

TEST(GroupDigits, UsesTheInstalledLocaleUntilRemovedThenTheEnvironments) {
  SetNumberLocaleForTesting([] { return NumberLocale{4, "."}; });
  EXPECT_EQ(GroupDigits(1234567), "123.4567");
  SetNumberLocaleForTesting(nullptr);

  const char* saved = std::getenv("LC_ALL");
  const std::string savedValue = saved != nullptr ? saved : "";
  ::setenv("LC_ALL", "C", 1);   // the C locale has neither grouping nor separator
  const NumberLocale real = UserNumberLocale();
  const std::string grouped = GroupDigits(1234567);
  if (saved != nullptr) {
    ::setenv("LC_ALL", savedValue.c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
  EXPECT_EQ(real.grouping, 0);
  EXPECT_EQ(real.thousandsSeparator, "");
  EXPECT_EQ(grouped, "1,234,567");
}

}  // namespace
}  // namespace platform
