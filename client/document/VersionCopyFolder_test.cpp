#include "client/document/VersionCopyFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace {

namespace stdfs = std::filesystem;

TEST(VersionCopyFolderTest, EachCopyHasItsOwnFolderRemovedWithItsReadOnlyFiles) {
  platform::ScratchFolder temporary;
  auto first = std::make_unique<VersionCopyFolder>(temporary.Path());
  const VersionCopyFolder second(temporary.Path());
  ASSERT_TRUE(first->IsMade());
  ASSERT_TRUE(second.IsMade());
  EXPECT_NE(first->GetFolder(), second.GetFolder());
  EXPECT_EQ(first->GetFolder().rfind(temporary.Path() + "/Copies/", 0), 0u);

  const std::string copy = first->GetFolder() + "notes.txt";
  temporary.Put(copy.substr(temporary.Path().size() + 1), "v2");
  ASSERT_TRUE(platform::fs::SetReadOnly(copy, true));
  const std::string folder = first->GetFolder();
  first.reset();
  EXPECT_FALSE(stdfs::exists(folder));
  EXPECT_TRUE(stdfs::exists(second.GetFolder())) << "another copy's folder stays";
}

TEST(VersionCopyFolderTest, PurgeRemovesWhatAKilledClientLeftAndNeverFollowsALink) {
  platform::ScratchFolder temporary;
  platform::ScratchFolder outside;
  const std::string kept = outside.Put("kept.txt", "mine");
  stdfs::create_directories(temporary.Path() + "/Copies/left");
  temporary.Put("Copies/left/old.txt", "old");
  stdfs::create_directory_symlink(outside.Path(), temporary.Path() + "/Copies/link");
  temporary.Put("TemporaryFile_1.wxf", "not a copy");

  EXPECT_TRUE(VersionCopyFolder::PurgeAll(temporary.Path()));
  EXPECT_FALSE(stdfs::exists(temporary.Path() + "/Copies"));
  EXPECT_TRUE(stdfs::exists(kept));
  EXPECT_TRUE(stdfs::exists(temporary.Path() + "/TemporaryFile_1.wxf"));

  // A link in place of the copies folder is removed, and no copy folder is made through one.
  stdfs::create_directory_symlink(outside.Path(), temporary.Path() + "/Copies");
  EXPECT_FALSE(VersionCopyFolder(temporary.Path()).IsMade());
  EXPECT_TRUE(VersionCopyFolder::PurgeAll(temporary.Path()));
  EXPECT_TRUE(stdfs::exists(kept));
}

}  // namespace
