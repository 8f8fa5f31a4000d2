#include "common/TimeOfDay.h"

#include <climits>

#include <gtest/gtest.h>

namespace {

TEST(TimeOfDayTest, MinutesOfDayIgnoreSecondsAndNeverOverflow) {
  TimeOfDay time;
  time.Set(23, 59, 59);
  EXPECT_EQ(time.GetMinutesOfDay(), 1439);
  time.Set(INT_MAX, INT_MAX, 0);
  EXPECT_EQ(time.GetMinutesOfDay(), INT_MAX);
  time.Set(INT_MIN, 0, 0);
  EXPECT_EQ(time.GetMinutesOfDay(), INT_MIN);
}

}  // namespace
