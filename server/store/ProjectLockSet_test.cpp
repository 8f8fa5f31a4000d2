#include "server/store/ProjectLockSet.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace {

TEST(ProjectLockSetTest, DestructionGivesBackEveryLockTaken) {
  LockTable table;
  {
    ProjectLockSet set(table, {{"B", LockTable::kShared}, {"A", LockTable::kExclusive}});
    ASSERT_TRUE(set.Acquire());
    EXPECT_EQ(table.GetRecord("A").mode, LockTable::kExclusive);
    EXPECT_EQ(table.GetRecord("B").mode, LockTable::kShared);
    EXPECT_TRUE(set.TryAdd("C", LockTable::kShared));
    EXPECT_EQ(set.GetHeldCount(), 3u);
  }
  EXPECT_EQ(table.GetCount(), 0u);
}

TEST(ProjectLockSetTest, RepeatedNameIsTakenOnceWithTheStrongerMode) {
  LockTable table;
  ProjectLockSet set(table, {{"P", LockTable::kShared}, {"P", LockTable::kExclusive}, {"P", LockTable::kShared}});
  ASSERT_TRUE(set.Acquire());
  EXPECT_EQ(table.GetRecord("P").mode, LockTable::kExclusive);
  EXPECT_EQ(table.GetRecord("P").holderCount, 1);
  set.Release();
  EXPECT_EQ(table.GetCount(), 0u);
}

TEST(ProjectLockSetTest, RefusedAttemptKeepsNothing) {
  LockTable table;
  ASSERT_TRUE(table.Lock("B", LockTable::kExclusive));
  ProjectLockSet set(table, {{"A", LockTable::kShared}, {"B", LockTable::kShared}});
  EXPECT_FALSE(set.TryAcquire());
  EXPECT_EQ(set.GetHeldCount(), 0u);
  EXPECT_EQ(table.GetRecord("A").mode, 0);  // A was taken first and given back
  table.Unlock("B");
  EXPECT_TRUE(set.TryAcquire());
}

TEST(ProjectLockSetTest, ImpossibleModeFailsAtOnceInsteadOfPollingForever) {
  LockTable table;
  ProjectLockSet set(table, {{"A", LockTable::kShared}, {"A", 7}});
  EXPECT_FALSE(set.Acquire());
  EXPECT_EQ(table.GetCount(), 0u);
}

TEST(ProjectLockSetTest, TryAddOfAHeldNameCountsOnlyWhenModeSuffices) {
  LockTable table;
  ProjectLockSet set(table, {{"P", LockTable::kShared}});
  ASSERT_TRUE(set.Acquire());
  EXPECT_TRUE(set.TryAdd("P", LockTable::kShared));
  EXPECT_EQ(table.GetRecord("P").holderCount, 1);  // not taken a second time
  EXPECT_FALSE(set.TryAdd("P", LockTable::kExclusive));
  ASSERT_TRUE(table.Lock("Q", LockTable::kExclusive));
  EXPECT_FALSE(set.TryAdd("Q", LockTable::kShared));
  EXPECT_FALSE(set.Holds("Q"));
}

TEST(ProjectLockSetTest, AcquireWaitsUntilAnotherThreadGivesBack) {
  LockTable table;
  ASSERT_TRUE(table.Lock("P", LockTable::kExclusive));
  std::atomic<bool> acquired{false};
  std::thread waiter([&] {
    ProjectLockSet set(table, {{"P", LockTable::kShared}});
    set.Acquire();
    acquired = true;
  });
  EXPECT_FALSE(acquired.load());
  table.Unlock("P");
  waiter.join();
  EXPECT_TRUE(acquired.load());
  EXPECT_EQ(table.GetCount(), 0u);
}

// Eight threads take random overlapping sets of four names; while a set is held,
// the per-name counts must show no exclusive holder beside any other holder.
TEST(ProjectLockSetTest, ConcurrentSetsNeverShareAnExclusiveName) {
  constexpr int kNames = 4;
  constexpr int kThreads = 8;
  constexpr int kRounds = 150;
  const std::array<std::string, kNames> names{"WXFiName_Hi1Lo1", "WXFiName_Hi1Lo2", "WXFiName_Hi1Lo3",
                                               "WXFiName_Hi1Lo4"};
  LockTable table;
  std::array<std::atomic<int>, kNames> exclusive{};
  std::array<std::atomic<int>, kNames> shared{};
  std::atomic<int> violations{0};

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 random(static_cast<unsigned>(t) * 7919u + 1u);
      for (int round = 0; round < kRounds; ++round) {
        std::vector<ProjectLockSet::Request> requests;
        std::array<int, kNames> modes{};
        for (int n = 0; n < kNames; ++n) {
          const unsigned pick = random() % 3;
          if (pick == 0) continue;
          modes[n] = pick == 1 ? LockTable::kExclusive : LockTable::kShared;
          requests.push_back({names[n], modes[n]});
        }
        ProjectLockSet set(table, requests);
        set.Acquire();
        for (int n = 0; n < kNames; ++n) {
          if (modes[n] == LockTable::kExclusive && (exclusive[n]++ != 0 || shared[n] != 0)) ++violations;
          if (modes[n] == LockTable::kShared && (++shared[n], exclusive[n] != 0)) ++violations;
        }
        std::this_thread::yield();
        for (int n = 0; n < kNames; ++n) {
          if (modes[n] == LockTable::kExclusive) --exclusive[n];
          if (modes[n] == LockTable::kShared) --shared[n];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(violations.load(), 0);
  EXPECT_EQ(table.GetCount(), 0u);
}

}  // namespace
