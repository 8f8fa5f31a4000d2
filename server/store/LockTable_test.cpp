#include "server/store/LockTable.h"

#include <gtest/gtest.h>

namespace {

TEST(LockTableTest, SharedHoldersShutOutExclusiveUntilAllHaveUnlocked) {
  LockTable table;
  EXPECT_TRUE(table.Lock("P", LockTable::kShared));
  EXPECT_TRUE(table.Lock("P", LockTable::kShared));
  EXPECT_EQ(table.GetRecord("P").mode, LockTable::kShared);
  EXPECT_EQ(table.GetRecord("P").holderCount, 2);
  EXPECT_FALSE(table.Lock("P", LockTable::kExclusive));

  EXPECT_FALSE(table.Unlock("P"));  // one shared holder remains
  EXPECT_FALSE(table.Lock("P", LockTable::kExclusive));
  EXPECT_TRUE(table.Unlock("P"));
  EXPECT_EQ(table.GetCount(), 0u);

  EXPECT_TRUE(table.Lock("P", LockTable::kExclusive));
  EXPECT_EQ(table.GetRecord("P").holderCount, 1);
}

TEST(LockTableTest, ExclusiveRefusesEveryRequestUntilGivenBack) {
  LockTable table;
  ASSERT_TRUE(table.Lock("P", LockTable::kExclusive));
  EXPECT_FALSE(table.Lock("P", LockTable::kShared));
  EXPECT_FALSE(table.Lock("P", LockTable::kExclusive));
  EXPECT_EQ(table.GetRecord("P").holderCount, 1);  // refusals change nothing
  EXPECT_TRUE(table.Unlock("P"));
  EXPECT_TRUE(table.Lock("P", LockTable::kShared));
}

TEST(LockTableTest, DifferentNamesDoNotInterfere) {
  LockTable table;
  EXPECT_TRUE(table.Lock("WXFiName_Hi1Lo1", LockTable::kExclusive));
  EXPECT_TRUE(table.Lock("WXFiName_Hi1Lo2", LockTable::kExclusive));
  EXPECT_TRUE(table.Lock("wxfiname_hi1lo1", LockTable::kShared));  // names compare exactly
  EXPECT_EQ(table.GetCount(), 3u);
}

TEST(LockTableTest, UnknownRequestIsRefusedAndLeavesNoRecord) {
  LockTable table;
  EXPECT_FALSE(table.Lock("P", 0));
  EXPECT_FALSE(table.Lock("P", 3));
  EXPECT_EQ(table.GetCount(), 0u);
  ASSERT_TRUE(table.Lock("P", LockTable::kShared));
  EXPECT_FALSE(table.Lock("P", -1));
  EXPECT_EQ(table.GetRecord("P").holderCount, 1);
}

TEST(LockTableTest, UnlockingAFreeNameReturnsTrueAndChangesNothing) {
  LockTable table;
  ASSERT_TRUE(table.Lock("Other", LockTable::kShared));
  EXPECT_TRUE(table.Unlock("Nobody"));
  EXPECT_EQ(table.GetCount(), 1u);
  EXPECT_EQ(table.GetRecord("Nobody").mode, 0);
}

}  // namespace
