#include "common/TempFileCounter.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <thread>
#include <vector>

TEST(TempFileCounterTest, CountsFromOne) {
  TempFileCounter counter;
  EXPECT_EQ(counter.Next(), 1);
  EXPECT_EQ(counter.Next(), 2);
  EXPECT_EQ(counter.Next(), 3);
}

TEST(TempFileCounterTest, NeverGoesNegative) {
  TempFileCounter atLimit(std::numeric_limits<std::int32_t>::max() - 1);
  EXPECT_EQ(atLimit.Next(), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(atLimit.Next(), 1);
  EXPECT_EQ(atLimit.Next(), 2);

  TempFileCounter negative(-7);
  EXPECT_EQ(negative.Next(), 1);
}

TEST(TempFileCounterTest, ThreadsNeverShareANumber) {
  TempFileCounter counter;
  constexpr int kThreads = 8, kEach = 2000;
  std::vector<std::vector<std::int32_t>> taken(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&counter, &mine = taken[t]] {
      for (int i = 0; i < kEach; ++i) mine.push_back(counter.Next());
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<std::int32_t> all;
  for (const auto& mine : taken) all.insert(mine.begin(), mine.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
  EXPECT_EQ(*all.begin(), 1);
  EXPECT_EQ(*all.rbegin(), kThreads * kEach);
}
