#include "client/document/TemporaryFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <thread>
#include <vector>

#include "common/FileHelpers.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace {

// The number in "...TemporaryFile_<n>.wxf" or "...Temp_<n>.wxf".
int NumberOf(const std::string& name) {
  const std::size_t underscore = name.rfind('_');
  return std::stoi(name.substr(underscore + 1));
}

class TemporaryFilesTest : public ::testing::Test {
 protected:
  std::string Folder() const { return folder_ / "TemporaryFiles"; }

  platform::ScratchFolder folder_;
  platform::ScratchFolder outside_;
  TemporaryFiles files_{folder_.Path()};
};

TEST_F(TemporaryFilesTest, NamesRestartAtOneAndNeverShareANumberWithTheCommonForm) {
  ASSERT_TRUE(files_.PurgeTemporaryFiles());
  EXPECT_EQ(files_.MakeTemporaryFileName(), Folder() + "/TemporaryFile_1.wxf");
  ASSERT_TRUE(files_.PurgeTemporaryFiles());

  constexpr int kThreads = 8;
  constexpr int kNamesEach = 300;
  std::vector<std::vector<std::string>> names(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    // Half the threads take the application's names, half the common ones.
    threads.emplace_back([&, t] {
      for (int i = 0; i < kNamesEach; ++i) {
        names[t].push_back(t % 2 == 0 ? files_.MakeTemporaryFileName() : MakeTempFileName());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<int> numbers;
  for (const std::vector<std::string>& list : names) {
    for (const std::string& name : list) numbers.insert(NumberOf(name));
  }
  EXPECT_EQ(numbers.size(), static_cast<std::size_t>(kThreads * kNamesEach));
  EXPECT_EQ(*numbers.begin(), 1);
  EXPECT_EQ(*numbers.rbegin(), kThreads * kNamesEach);
}

TEST_F(TemporaryFilesTest, PurgeRemovesFilesAndLinksButNothingTheyPointTo) {
  ASSERT_TRUE(platform::fs::CreateFolder(Folder()));
  ASSERT_TRUE(platform::fs::CreateFolder(Folder() + "/kept"));
  folder_.Put("TemporaryFiles/kept/inner", "x");
  folder_.Put("TemporaryFiles/plain", "x");
  folder_.Put("TemporaryFiles/readonly", "x");
  ASSERT_TRUE(platform::fs::SetReadOnly(Folder() + "/readonly", true));
  const std::string outsideFile = outside_.Put("precious", "keep me");
  ASSERT_TRUE(platform::fs::SetReadOnly(outsideFile, true));
  ASSERT_EQ(::symlink(outsideFile.c_str(), (Folder() + "/toFile").c_str()), 0);
  ASSERT_EQ(::symlink(outside_.Path().c_str(), (Folder() + "/toFolder").c_str()), 0);
  ASSERT_EQ(::symlink((outside_ / "missing").c_str(), (Folder() + "/dangling").c_str()), 0);

  ASSERT_TRUE(files_.PurgeTemporaryFiles());
  std::vector<platform::fs::FolderEntry> left;
  ASSERT_TRUE(platform::fs::ListFolder(Folder(), left));
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].name, "kept");
  EXPECT_EQ(platform::ScratchFolder::Read(Folder() + "/kept/inner"), "x");
  EXPECT_EQ(platform::ScratchFolder::Read(outsideFile), "keep me");
  EXPECT_TRUE(platform::fs::IsReadOnly(outsideFile));
}

TEST_F(TemporaryFilesTest, PurgeMakesAMissingFolderAndLeavesAFolderLinkAlone) {
  ASSERT_TRUE(files_.PurgeTemporaryFiles());
  EXPECT_TRUE(platform::fs::IsFolder(Folder()));

  platform::ScratchFolder other;
  TemporaryFiles linked(other.Path());
  const std::string outsideFile = outside_.Put("precious", "keep me");
  ASSERT_EQ(::symlink(outside_.Path().c_str(), (other / "TemporaryFiles").c_str()), 0);
  EXPECT_FALSE(linked.PurgeTemporaryFiles());
  EXPECT_EQ(platform::ScratchFolder::Read(outsideFile), "keep me");
  EXPECT_EQ(linked.MakeTemporaryFileName(), other / "TemporaryFiles/TemporaryFile_1.wxf");
}

}  // namespace
