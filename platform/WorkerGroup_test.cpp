#include "platform/WorkerGroup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

// Every number of a round runs once, and has returned when RunAll does, round
// after round and whatever the helpers and numbers.
TEST(WorkerGroupTest, EachRoundRunsEveryTaskOnceAndEndsAfterAllOfThem) {
  for (const std::size_t helpers : {0, 1, 3}) {
    platform::WorkerGroup group(helpers);
    for (const std::size_t count : {0, 1, 2, 100, 7}) {
      std::vector<std::atomic<int>> runs(count);
      group.RunAll(count, [&runs](std::size_t i) { ++runs[i]; });
      for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 1) << helpers << " helpers, task " << i;
    }
  }
}

// Tasks of one round run at the same time: each waits for the other, which only
// a second thread can let go on.
TEST(WorkerGroupTest, TasksOfARoundRunAtOnceOnTheHelpersAndTheCaller) {
  platform::WorkerGroup group(1);
  std::mutex mutex;
  std::condition_variable arrived;
  int inside = 0;
  bool together = true;
  group.RunAll(2, [&](std::size_t) {
    std::unique_lock lock(mutex);
    ++inside;
    arrived.notify_all();
    together = arrived.wait_for(lock, std::chrono::seconds(10), [&] { return inside == 2; }) && together;
  });
  EXPECT_TRUE(together);
}

}  // namespace
