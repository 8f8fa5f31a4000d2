#include "common/SupplementList.h"

#include <gtest/gtest.h>

namespace {

TEST(SupplementListTest, HoldsCopiesAndGivesANewRecordOutsideItsRange) {
  SupplementRecord record;
  record.SetName("<S> A");
  record.SetIncluded(false);
  SupplementList list;
  list.Add(record);
  record.SetName("changed");
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.GetAt(0).GetName(), "<S> A");
  EXPECT_FALSE(list.GetAt(0).IsIncluded());
  EXPECT_TRUE(list.GetAt(1).IsIncluded());
  EXPECT_TRUE(list.GetAt(-1).IsIncluded());
  list.RemoveAll();
  EXPECT_EQ(list.GetCount(), 0);
}

}  // namespace
