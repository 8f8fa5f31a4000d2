#include "common/DateTime.h"

#include <climits>

#include <gtest/gtest.h>

#include "platform/Clock.h"

namespace {

DateTime At(const std::string& digits) {
  DateTime value;
  value.Parse(digits);
  return value;
}

TEST(DateTimeTest, NewValueIsMidnightAndParseOfZerosKeepsTheDate) {
  EXPECT_EQ(DateTime().Format(), "00000000000000");
  DateTime value = At("20040301123000");
  value.Parse("00000000000000");
  EXPECT_EQ(value.Format(), "20040301000000");
}

TEST(DateTimeTest, ParseTakesOnlyWhatTheTextLengthAllows) {
  DateTime value = At("20040301123000");
  value.Parse("2004");
  EXPECT_EQ(value.Format(), "20040301123000");
  value.Parse("1999120");  // 7 characters
  EXPECT_EQ(value.Format(), "20040301123000");
  value.Parse("19991305");  // month 13 refused, year and day taken, time kept
  EXPECT_EQ(value.Format(), "19990305123000");
  value.Parse("2004030125xx0");  // 13 characters: the time stays
  EXPECT_EQ(value.Format(), "20040301123000");
  value.Parse("2004x3011230ab");  // atoi: "x3" is 0 (refused), "ab" is 0
  EXPECT_EQ(value.Format(), "20040301123000");
  value.Parse(static_cast<const char*>(nullptr));
  EXPECT_EQ(value.Format(), "20040301123000");
}

TEST(DateTimeTest, WhatParseAcceptsIsWrittenBackToTheSameValue) {
  struct Case { const char* text; bool accepted; };
  const Case cases[] = {{"2004030112-50000", false}, {"20040301250007", false}, {"20040301126000", false},
                        {"20040301120060", false},   {"20040301-10000", false}, {"20040301235959", true},
                        {"200403011 5 7 9", true},   {"2004030112+5+5", true}};
  for (const Case& c : cases) {
    DateTime value = At("19990101010101");
    EXPECT_EQ(value.Parse(c.text), c.accepted) << c.text;
    const std::string written = value.Format();
    EXPECT_EQ(written.size(), 14u) << c.text;
    EXPECT_EQ(At(written).Format(), written) << c.text;
    EXPECT_EQ(written.substr(8) == "010101", !c.accepted) << c.text;
  }
}

TEST(DateTimeTest, ComparisonsFollowTheFourteenDigitText) {
  const DateTime earlier = At("20031231235959");
  const DateTime later = At("20040101000000");
  EXPECT_TRUE(earlier < later);
  EXPECT_TRUE(later > earlier);
  EXPECT_FALSE(earlier == later);
  EXPECT_FALSE(earlier < At("20031231235959"));
}

TEST(DateTimeTest, MinutesBetweenIsSymmetricAndIgnoresSeconds) {
  const DateTime a = At("20040301235900");
  const DateTime b = At("20040302000000");
  EXPECT_EQ(a.MinutesBetween(b), 1u);
  EXPECT_EQ(b.MinutesBetween(a), 1u);
  EXPECT_EQ(a.MinutesBetween(a), 0u);
  EXPECT_EQ(At("20040301100000").MinutesBetween(At("20040301100059")), 0u);
  EXPECT_EQ(At("20040301100000").MinutesBetween(At("20040302100000")), 1440u);
}

TEST(DateTimeTest, MinutesBetweenAcrossYearEnds) {
  EXPECT_EQ(At("20031231235900").MinutesBetween(At("20040101000100")), 2u);
  EXPECT_EQ(At("20040101000000").MinutesBetween(At("20050101000000")), 366u * 1440u);
  EXPECT_EQ(At("20050101000000").MinutesBetween(At("20030101000000")), (365u + 366u) * 1440u);
}

TEST(DateTimeTest, MinutesBetweenIsClampedToTheUnsignedRange) {
  // 3652058 days: more minutes than an unsigned 32-bit number holds.
  EXPECT_EQ(At("00010101000000").MinutesBetween(At("99991231000000")), UINT_MAX);
}

class DateTimeDisplayTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetDateLocaleForTesting(nullptr); }
};

TEST_F(DateTimeDisplayTest, TimeStylesAppendTheTimeWithColons) {
  platform::SetDateLocaleForTesting([] { return platform::DateLocale{"DD.MM.YYYY", "."}; });
  const DateTime value = At("20040301123005");
  EXPECT_EQ(value.FormatForDisplay(2), "01.Mar.2004");
  EXPECT_EQ(value.FormatForDisplay(4), "01.03.2004 12:30:05");
  EXPECT_EQ(value.FormatForDisplay(5), "01.Mar.2004 12:30:05");
  EXPECT_EQ(value.FormatForDisplay(6), "01 March 2004 12:30:05");
  EXPECT_EQ(value.FormatForDisplay(0), "");
  EXPECT_EQ(value.FormatForDisplay(7), "");
}

TEST(DateTimeClockTest, SetNowReadsTheClockThroughTheDateSetters) {
  platform::SetClockForTesting([] { return platform::LocalTime{2004, 3, 1, 12, 30, 5}; });
  DateTime value;
  value.SetNow();
  EXPECT_EQ(value.Format(), "20040301123005");
  platform::SetClockForTesting([] { return platform::LocalTime{2005, 13, 0, 1, 2, 3}; });
  value.SetNow();
  EXPECT_EQ(value.Format(), "20050301010203");
  platform::SetClockForTesting(nullptr);
}

}  // namespace
