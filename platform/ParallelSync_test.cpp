#include "platform/ParallelSync.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ScratchFolder.h"

namespace {

// Whether each path was synced: a file missing among them is reported alone,
// however many threads share the work.
TEST(ParallelSyncTest, ReportsEachPathThatCannotBeSynced) {
  for (const int count : {1, 5, 40}) {
    platform::ScratchFolder scratch;
    std::vector<std::string> paths;
    std::vector<char> expected;
    for (int i = 0; i < count; ++i) {
      const bool missing = i == count / 2;
      paths.push_back(missing ? scratch / "missing" : scratch.Put("file" + std::to_string(i), "content"));
      expected.push_back(missing ? 0 : 1);
    }
    std::vector<char> synced;
    EXPECT_FALSE(platform::SyncInParallel(paths, &synced)) << count;
    EXPECT_EQ(synced, expected) << count;
    paths.erase(paths.begin() + count / 2);
    EXPECT_TRUE(platform::SyncInParallel(paths)) << count;
  }
}

}  // namespace
