#include "common/Date.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Clock.h"

namespace {

Date MakeDate(int year, int month, int day) {
  Date date;
  date.SetYear(year);
  date.SetMonth(month);
  date.SetDay(day);
  return date;
}

TEST(DateTest, LeapYearsAndDayOfYear) {
  EXPECT_TRUE(Date::IsLeapYear(2000));
  EXPECT_TRUE(Date::IsLeapYear(2004));
  EXPECT_FALSE(Date::IsLeapYear(1900));
  EXPECT_FALSE(Date::IsLeapYear(2003));
  EXPECT_FALSE(Date::IsLeapYear(2100));
  EXPECT_EQ(MakeDate(2004, 3, 1).GetDayOfYear(), 61);
  EXPECT_EQ(MakeDate(2003, 3, 1).GetDayOfYear(), 60);
  EXPECT_EQ(MakeDate(2004, 12, 31).GetDayOfYear(), 366);
}

TEST(DateTest, SettersRefuseValuesOutOfRange) {
  Date date = MakeDate(2004, 3, 1);
  date.SetYear(0);
  date.SetMonth(13);
  date.SetDay(32);
  date.SetDay(0);
  EXPECT_EQ(date.Format(), "20040301");
  date.SetDay(31);  // not checked against the month's length
  EXPECT_EQ(date.Format(), "20040331");
}

TEST(DateTest, EmptyDateFormatsAsZerosAndNeverIndexesTheMonthTables) {
  const Date empty;
  EXPECT_EQ(empty.Format(), "00000000");
  EXPECT_EQ(empty.GetShortMonthName(), "???");
  EXPECT_EQ(empty.GetLongMonthName(), "???");
  EXPECT_EQ(empty.GetDayOfYear(), 0);
  // Day 0 of year 0, a leap year by the rule: 366 days of year 0, plus day 1.
  EXPECT_EQ(MakeDate(1, 1, 1).DaysBetween(empty), 367);
}

TEST(DateTest, DaysBetweenIsSignedAndExact) {
  EXPECT_EQ(MakeDate(2004, 3, 1).DaysBetween(MakeDate(2003, 3, 1)), 366);
  EXPECT_EQ(MakeDate(2005, 3, 1).DaysBetween(MakeDate(2004, 3, 1)), 365);
  EXPECT_EQ(MakeDate(2003, 3, 1).DaysBetween(MakeDate(2004, 3, 1)), -366);
  EXPECT_EQ(MakeDate(2003, 3, 1).DaysBetween(MakeDate(2003, 3, 1)), 0);
  EXPECT_EQ(MakeDate(2004, 1, 1).DaysBetween(MakeDate(2003, 12, 31)), 1);
  EXPECT_EQ(MakeDate(2000, 1, 1).DaysBetween(MakeDate(1900, 1, 1)), 36524);
  EXPECT_EQ(MakeDate(9999, 12, 31).DaysBetween(MakeDate(1, 1, 1)), 3652058);
}

class DateDisplayTest : public ::testing::Test {
 protected:
  // The three display styles of 2004-03-01 under the given locale.
  static std::vector<std::string> Shown(const std::string& picture, const std::string& separator) {
    platform::SetDateLocaleForTesting([=] { return platform::DateLocale{picture, separator}; });
    const Date date = MakeDate(2004, 3, 1);
    return {date.FormatForDisplay(1), date.FormatForDisplay(2), date.FormatForDisplay(3)};
  }
  void TearDown() override { platform::SetDateLocaleForTesting(nullptr); }

  using Texts = std::vector<std::string>;
};

TEST_F(DateDisplayTest, AllStylesInTheThreeOrders) {
  EXPECT_EQ(Shown("MM/DD/YYYY", "/"), (Texts{"03/01/2004", "Mar/01/2004", "March 01 2004"}));
  EXPECT_EQ(Shown("DD.MM.YYYY", "."), (Texts{"01.03.2004", "01.Mar.2004", "01 March 2004"}));
  EXPECT_EQ(Shown("YYYY-MM-DD", "-"), (Texts{"2004-03-01", "2004-Mar-01", "2004 March 01"}));
}

TEST_F(DateDisplayTest, PictureIsUpperCasedAndMissingPartsFallBack) {
  EXPECT_EQ(Shown("m/d/yy", "/-")[0], "03/01/2004");
  EXPECT_EQ(Shown("yy/mm/dd", ". ")[0], "2004.03.01");
  EXPECT_EQ(Shown("", ""), (Texts{"01-03-2004", "01-Mar-2004", "01 March 2004"}));
  EXPECT_EQ(MakeDate(2004, 3, 1).FormatForDisplay(0), "");
  EXPECT_EQ(MakeDate(2004, 3, 1).FormatForDisplay(4), "");
  EXPECT_EQ(Date().FormatForDisplay(2), "00-???" "-0000");
}

// A locale passed in gives what the same locale read from the user gives, whatever
// the user's locale is.
TEST_F(DateDisplayTest, PassedLocaleFormatsAsTheUsersLocaleDoes) {
  const std::vector<platform::DateLocale> locales = {
      {"MM/DD/YYYY", "/"}, {"DD.MM.YYYY", "."}, {"YYYY-MM-DD", "-"}, {"yy/mm/dd", ". "}, {"", ""}};
  const std::vector<Date> dates = {MakeDate(2004, 3, 1), MakeDate(1, 12, 31), MakeDate(9999, 1, 9), Date()};
  for (const platform::DateLocale& locale : locales) {
    platform::SetDateLocaleForTesting([=] { return locale; });
    std::vector<std::string> fromUser;
    for (const Date& date : dates) {
      for (int style = 0; style <= 4; ++style) fromUser.push_back(date.FormatForDisplay(style));
    }
    platform::SetDateLocaleForTesting([] { return platform::DateLocale{"DD MM YYYY", "_"}; });
    std::size_t n = 0;
    for (const Date& date : dates) {
      for (int style = 0; style <= 4; ++style) {
        EXPECT_EQ(date.FormatForDisplay(style, locale), fromUser[n++]) << locale.shortDateFormat << " " << style;
      }
    }
  }
}

}  // namespace
