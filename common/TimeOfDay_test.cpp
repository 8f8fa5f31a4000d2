#include "common/TimeOfDay.h"

#include <climits>

#include <gtest/gtest.h>

namespace {

TEST(TimeOfDayTest, SetRefusesFieldsOutOfRangeAndKeepsTheOldTime) {
  struct Case { int hour, minute, second; bool taken; };
  const Case cases[] = {{0, 0, 0, true},   {23, 59, 59, true}, {24, 0, 0, false},   {0, 60, 0, false},
                        {0, 0, 60, false}, {-1, 0, 0, false},  {0, -5, 0, false},   {INT_MAX, 0, 0, false},
                        {0, 0, INT_MIN, false}};
  for (const Case& c : cases) {
    TimeOfDay time;
    time.Set(12, 30, 5);
    EXPECT_EQ(time.Set(c.hour, c.minute, c.second), c.taken) << c.hour << ":" << c.minute << ":" << c.second;
    const bool kept = time.GetHour() == 12 && time.GetMinute() == 30 && time.GetSecond() == 5;
    EXPECT_EQ(kept, !c.taken);
  }
}

}  // namespace
