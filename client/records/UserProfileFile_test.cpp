#include "client/records/UserProfileFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "client/records/ClientAppState.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"
#include "platform/ScratchFolder.h"

namespace {

UserProfile Profile(const std::string& login) {
  UserProfile profile;
  profile.SetLoginName(login);
  LibraryConnection connection;
  connection.SetName("Lib of " + login);
  connection.SetHost("127.0.0.1");
  profile.AddConnection(connection);
  return profile;
}

class UserProfileFileTest : public ::testing::Test {
 protected:
  void TearDown() override { ClientAppState::ClearUsersModified(); }

  platform::ScratchFolder folder_;
  const std::string path_ = folder_ / UserProfileFile::kFileName;
};

TEST_F(UserProfileFileTest, SavesCrLfLinesClearsTheFlagAndLoadsBack) {
  const std::vector<UserProfile> profiles{Profile("ann"), Profile("bob")};
  UserProfileFile file(path_);
  ClientAppState::MarkUsersModified();
  ASSERT_TRUE(file.Save(profiles));
  EXPECT_FALSE(ClientAppState::AreUsersModified());

  const std::string disk = platform::ScratchFolder::Read(path_);
  std::size_t lineFeeds = 0;
  std::size_t crLfs = 0;
  for (std::size_t i = 0; i < disk.size(); ++i) {
    if (disk[i] == '\n') {
      ++lineFeeds;
      if (i > 0 && disk[i - 1] == '\r') ++crLfs;
    }
  }
  EXPECT_EQ(lineFeeds, 6u);   // per profile: its line, the current and one connection
  EXPECT_EQ(crLfs, lineFeeds);

  std::vector<UserProfile> loaded;
  UserProfileFile reader(path_);
  EXPECT_EQ(reader.Load(loaded), UserProfileFile::LoadResult::Loaded);
  EXPECT_FALSE(reader.IsDamaged());
  EXPECT_EQ(loaded, profiles);
}

TEST_F(UserProfileFileTest, MissingAndUnreadableFilesAreTold) {
  std::vector<UserProfile> loaded;
  EXPECT_EQ(UserProfileFile(path_).Load(loaded), UserProfileFile::LoadResult::Missing);
  EXPECT_EQ(UserProfileFile(folder_.Path()).Load(loaded), UserProfileFile::LoadResult::Unreadable);
  EXPECT_TRUE(loaded.empty());
}

TEST_F(UserProfileFileTest, DamagedSecondProfileIsCopiedAsideBeforeTheNextSave) {
  UserProfileFile writer(path_);
  ASSERT_TRUE(writer.Save({Profile("ann"), Profile("bob"), Profile("cid")}));
  std::string disk = platform::ScratchFolder::Read(path_);
  const std::size_t second = disk.find("2,1,\"bob\"");
  ASSERT_NE(second, std::string::npos);
  disk.replace(second, 1, "1");   // version 1 is refused
  folder_.Put(UserProfileFile::kFileName, disk);
  namespace fs = std::filesystem;
  const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(path_, ownerOnly | fs::perms::group_read | fs::perms::others_read);

  UserProfileFile file(path_);
  std::vector<UserProfile> loaded;
  ASSERT_EQ(file.Load(loaded), UserProfileFile::LoadResult::Loaded);
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0].GetLoginName(), "ann");
  EXPECT_TRUE(file.IsDamaged());

  ASSERT_TRUE(file.Save(loaded));
  EXPECT_EQ(platform::ScratchFolder::Read(path_ + UserProfileFile::kDamagedSuffix), disk);
  EXPECT_FALSE(file.IsDamaged());
  // Passwords and keys: owner-only, whatever mode the file had.
  EXPECT_EQ(fs::status(path_).permissions(), ownerOnly);
  EXPECT_EQ(fs::status(path_ + UserProfileFile::kDamagedSuffix).permissions(), ownerOnly);
}

TEST_F(UserProfileFileTest, TrailingBlankLinesAreNoDamage) {
  ASSERT_TRUE(UserProfileFile(path_).Save({Profile("ann")}));
  folder_.Put(UserProfileFile::kFileName, platform::ScratchFolder::Read(path_) + "\r\n\r\n");
  UserProfileFile file(path_);
  std::vector<UserProfile> loaded;
  ASSERT_EQ(file.Load(loaded), UserProfileFile::LoadResult::Loaded);
  EXPECT_EQ(loaded.size(), 1u);
  EXPECT_FALSE(file.IsDamaged());
}

TEST_F(UserProfileFileTest, FailedSaveKeepsFileAndFlag) {
  UserProfileFile file(path_);
  ASSERT_TRUE(file.Save({Profile("ann")}));
  const std::string before = platform::ScratchFolder::Read(path_);
  ClientAppState::MarkUsersModified();
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  const bool saved = file.Save({Profile("ann"), Profile("bob")});
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_FALSE(saved);
  EXPECT_TRUE(ClientAppState::AreUsersModified());
  EXPECT_EQ(platform::ScratchFolder::Read(path_), before);
}

}  // namespace
