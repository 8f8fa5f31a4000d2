#include "platform/DiskChangeHook.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace platform {
namespace {

TEST(DiskChangeHookTest, RunsBeforeEachChangeOfAWriteRenameDeleteSequence) {
  ScratchFolder scratch;
  const std::string file = scratch / "file", moved = scratch / "moved";
  std::vector<bool> movedSeen;  // whether "moved" existed at each call
  SetDiskChangeHookForTesting([&] { movedSeen.push_back(fs::Exists(moved)); });
  struct Step {
    const char* what;
    std::function<bool()> change;
    std::size_t calls;  // temporary file, content, fsync, [mode,] rename, folder fsync
    bool movedSeenLast;
  };
  const Step steps[] = {
      {"new record file", [&] { return AtomicFile::Write(file, "one"); }, 5, false},
      {"replaced record file", [&] { return AtomicFile::Write(file, "two"); }, 6, false},
      {"move", [&] { return fs::MoveNoReplace(file, moved); }, 1, false},
      {"read-only", [&] { return fs::SetReadOnly(moved, true); }, 1, true},
      {"delete", [&] { return fs::DeleteFile(moved); }, 1, true},
  };
  for (const Step& step : steps) {
    movedSeen.clear();
    ASSERT_TRUE(step.change()) << step.what;
    ASSERT_EQ(movedSeen.size(), step.calls) << step.what;
    EXPECT_EQ(movedSeen.back(), step.movedSeenLast) << step.what;
  }
  SetDiskChangeHookForTesting(nullptr);
  movedSeen.clear();
  ASSERT_TRUE(AtomicFile::Write(file, "three"));
  EXPECT_TRUE(movedSeen.empty());
}

}  // namespace
}  // namespace platform
