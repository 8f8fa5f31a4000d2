#include "client/library/ProjectInventory.h"

#include <gtest/gtest.h>

#include <vector>

#include "client/library/ProjectTree.h"
#include "client/library/ServerTreeText.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"
#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"

namespace {

// Main with `count` projects, ten top-level ones holding the rest.
std::string WideServerTree(int count) {
  ServerTreeText text;
  const int groups = 10;
  text.Node("Main", "Root", groups);
  for (int g = 0; g < groups; ++g) {
    const int members = count / groups - 1;
    text.Node("Group " + std::to_string(g), "G" + std::to_string(g), members);
    for (int m = 0; m < members; ++m) text.Node("P " + std::to_string(m), "P" + std::to_string(g) + "_" + std::to_string(m), 0);
  }
  return text.Text();
}

class ProjectInventoryTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::SetNotifyHandler([this](const platform::Notification& n) {
      told.push_back(n.text);
      return platform::NotifyAnswer::Ok;
    });
  }
  void TearDown() override {
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    platform::SetNotifyHandler(nullptr);
  }

  platform::ScratchFolder folder;
  ProjectInventory inventory{folder.Path()};
  std::vector<std::string> told;
};

TEST_F(ProjectInventoryTest, RoundTripIsByteExactForTenThousandProjects) {
  ProjectTree tree;
  tree.GetRoot().SetLocalFolder(folder.Path() + "/Libraries/Main", false);
  ASSERT_TRUE(tree.ApplyServerTree(WideServerTree(10000)));
  tree.FindProjectByPath("P3_7")->MakeCacheFileName();
  ASSERT_TRUE(inventory.Save(tree.GetRoot()));
  const std::string written = platform::ScratchFolder::Read(inventory.GetPath());
  EXPECT_EQ(written.find('\r'), std::string::npos);

  ProjectTree loaded;
  ASSERT_EQ(loaded.Load(inventory), ProjectInventory::LoadResult::Loaded);
  EXPECT_EQ(loaded.FindProjectByPath("P9_998")->GetLocalFolder(), folder.Path() + "/Libraries/Main/Group 9/P 998");
  EXPECT_EQ(loaded.FindProjectByPath("P3_7")->GetCacheFilePath(), "P3_7");
  EXPECT_FALSE(loaded.GetRoot().IsRefreshNeeded());
  ASSERT_TRUE(inventory.Save(loaded.GetRoot()));
  EXPECT_EQ(platform::ScratchFolder::Read(inventory.GetPath()), written);
  EXPECT_TRUE(told.empty());
}

TEST_F(ProjectInventoryTest, MissingFileLeavesAnEmptyTree) {
  ProjectNode root;
  root.SetLocalFolder("/stale", false);
  EXPECT_EQ(inventory.Load(root), ProjectInventory::LoadResult::Missing);
  EXPECT_EQ(root.GetLocalFolder(), "");
  EXPECT_FALSE(platform::fs::Exists(inventory.GetPath() + ProjectInventory::kDamagedSuffix));
}

TEST_F(ProjectInventoryTest, TruncatedFileIsCopiedAsideBeforeItIsSavedOver) {
  ProjectNode root;
  ASSERT_TRUE(root.DecodeServer(WideServerTree(100)));
  ASSERT_TRUE(inventory.Save(root));
  const std::string whole = platform::ScratchFolder::Read(inventory.GetPath());
  const std::string truncated = whole.substr(0, whole.size() / 2);
  folder.Put(ProjectInventory::kFileName, truncated);

  ProjectNode loaded;
  EXPECT_EQ(inventory.Load(loaded), ProjectInventory::LoadResult::Damaged);
  EXPECT_GT(loaded.GetChildCount(), 0);
  EXPECT_EQ(platform::ScratchFolder::Read(inventory.GetPath() + ProjectInventory::kDamagedSuffix), truncated);
  EXPECT_EQ(told.size(), 1u);
  EXPECT_TRUE(inventory.Save(loaded));
}

TEST_F(ProjectInventoryTest, HugeCountAndTrailingLinesAreDamage) {
  folder.Put(ProjectInventory::kFileName,
             "\"Main\",\"Root\",\"\",1,1,2147483647,\"\",0,0,0\n" + EditionRecord().Encode("") + SupplementRecord().Encode(""));
  ProjectNode root;
  EXPECT_EQ(inventory.Load(root), ProjectInventory::LoadResult::Damaged);
  EXPECT_EQ(root.GetChildCount(), 0);

  root.Clear();
  folder.Put(ProjectInventory::kFileName, root.Encode() + root.Encode());
  EXPECT_EQ(inventory.Load(root), ProjectInventory::LoadResult::Damaged);
}

TEST_F(ProjectInventoryTest, DamagedFileThatCannotBeKeptAsideIsNotReplaced) {
  folder.Put(ProjectInventory::kFileName, "garbage");
  ASSERT_TRUE(platform::fs::CreateFolder(inventory.GetPath() + ProjectInventory::kDamagedSuffix));
  ProjectNode root;
  EXPECT_EQ(inventory.Load(root), ProjectInventory::LoadResult::Damaged);
  EXPECT_FALSE(inventory.Save(root));
  EXPECT_EQ(platform::ScratchFolder::Read(inventory.GetPath()), "garbage");
  EXPECT_EQ(told.size(), 2u);
}

TEST_F(ProjectInventoryTest, FailedSaveKeepsTheOldFileAndTellsTheUser) {
  ProjectNode root;
  ASSERT_TRUE(root.DecodeServer(WideServerTree(20)));
  ASSERT_TRUE(inventory.Save(root));
  const std::string before = platform::ScratchFolder::Read(inventory.GetPath());

  root.SetLocalFolder("/moved", true);
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  EXPECT_FALSE(inventory.Save(root));
  EXPECT_EQ(platform::ScratchFolder::Read(inventory.GetPath()), before);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find(inventory.GetPath()), std::string::npos);
}

}  // namespace
