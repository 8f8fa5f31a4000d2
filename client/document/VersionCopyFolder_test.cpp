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
  ASSERT_TRUE(first->IsMade() && second.IsMade());
  EXPECT_NE(first->GetFolder(), second.GetFolder());
  const std::string folder = first->GetFolder();
  temporary.Put(folder.substr(temporary.Path().size() + 1) + "notes.txt", "v2");
  ASSERT_TRUE(platform::fs::SetReadOnly(folder + "notes.txt", true));
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
  EXPECT_TRUE(VersionCopyFolder::PurgeAll(temporary.Path()));
  EXPECT_FALSE(stdfs::exists(temporary.Path() + "/Copies"));
  EXPECT_TRUE(stdfs::exists(kept));
  // No copy folder is made through a link put in place of the copies folder.
  stdfs::create_directory_symlink(outside.Path(), temporary.Path() + "/Copies");
  EXPECT_FALSE(VersionCopyFolder(temporary.Path()).IsMade());
}

}  // namespace
