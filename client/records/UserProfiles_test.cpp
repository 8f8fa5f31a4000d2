#include "client/records/UserProfiles.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "client/records/ClientAppState.h"
#include "platform/ScratchFolder.h"

namespace {

LibraryConnection Connection(const std::string& library, int userNumber, const std::string& code) {
  LibraryConnection connection;
  connection.SetName(library);
  connection.SetHost("127.0.0.1");
  connection.SetUserNumber(userNumber);
  connection.SetLogonCode(code);
  return connection;
}

class UserProfilesTest : public ::testing::Test {
 protected:
  void TearDown() override { ClientAppState::ClearUsersModified(); }

  // Writes "BKUsers.wxf" with these profiles.
  void WriteFile(const std::vector<UserProfile>& profiles) {
    UserProfileFile file(folder_ / UserProfileFile::kFileName);
    ASSERT_TRUE(file.Save(profiles));
  }
  std::vector<UserProfile> ReadFile() {
    UserProfileFile file(folder_ / UserProfileFile::kFileName);
    std::vector<UserProfile> profiles;
    EXPECT_EQ(file.Load(profiles), UserProfileFile::LoadResult::Loaded);
    return profiles;
  }
  // "ann" with accounts on three libraries, user 1 on two servers of their own.
  static UserProfile Ann() {
    UserProfile ann;
    ann.SetLoginName("ann");
    ann.SetPaneSizes(1, 2, 3, 4, 5, 6, UserProfile::kMaximisedLayout);
    ann.SetPaneSizes(7, 8, 9, 10, 11, 12, UserProfile::kRestoredLayout);
    ann.SetWindowState(2);
    ann.SetBackupRoot("/backups");
    FolderRuleSet rules;
    rules.AddInclusion(FolderRule(1, "*.txt"));
    ann.AddFolderRuleSet(rules);
    ann.SetCurrentFolderRuleSet(0);
    ann.AddConnection(Connection("North", 1, "111"));
    ann.AddConnection(Connection("South", 1, "222"));
    ann.AddConnection(Connection("South2", 2, "333"));
    ann.SetCurrentConnection(*ann.GetConnection(1));
    return ann;
  }

  platform::ScratchFolder folder_;
  UserProfiles profiles_{folder_.Path()};
};

TEST_F(UserProfilesTest, NewLoginGetsTheFirstProfileWithoutItsConnections) {
  WriteFile({Ann()});
  ASSERT_TRUE(profiles_.LoadUsers("bob"));
  EXPECT_FALSE(ClientAppState::AreUsersModified());

  UserProfile expected = Ann();
  UserProfile bob;
  bob.SetLoginName("bob");
  bob.SetPaneSizes(1, 2, 3, 4, 5, 6, UserProfile::kMaximisedLayout);
  bob.SetPaneSizes(7, 8, 9, 10, 11, 12, UserProfile::kRestoredLayout);
  bob.SetWindowState(2);
  bob.SetBackupRoot("/backups");
  bob.AddFolderRuleSet(*expected.GetFolderRuleSet(0));
  bob.SetCurrentFolderRuleSet(0);
  ASSERT_EQ(profiles_.GetCurrentIndex(), 1);
  EXPECT_EQ(*profiles_.GetCurrentUser(), bob);
  EXPECT_EQ(profiles_.GetProfiles()[0], expected);
  EXPECT_EQ(ReadFile(), (std::vector<UserProfile>{expected, bob}));

  UserProfiles again(folder_.Path());
  ASSERT_TRUE(again.LoadUsers("bob"));
  EXPECT_EQ(again.GetCurrentIndex(), 1);
  EXPECT_EQ(again.GetProfiles().size(), 2u);
}

TEST_F(UserProfilesTest, MissingFileGivesOneSavedProfileAndAnEmptyOneStopsTheStart) {
  ASSERT_TRUE(profiles_.LoadUsers("ann"));
  const std::vector<UserProfile> saved = ReadFile();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].GetLoginName(), "ann");
  EXPECT_EQ(saved[0].GetConnectionCount(), 0);
  EXPECT_EQ(saved[0].GetBackupRoot(), folder_ / "BackupRoot");
  EXPECT_EQ(saved[0].GetTreeViewWidth(UserProfile::kRestoredLayout), 300);
  EXPECT_EQ(saved[0].GetLocalFileListHeight(UserProfile::kRestoredLayout), 250);

  for (const char* content : {"", "1,0,\"old version\"\n"}) {
    platform::ScratchFolder other;
    other.Put(UserProfileFile::kFileName, content);
    UserProfiles broken(other.Path());
    EXPECT_FALSE(broken.LoadUsers("ann")) << content;
    EXPECT_EQ(broken.GetCurrentUser(), nullptr);
  }
  UserProfiles noLogin(folder_.Path());
  EXPECT_FALSE(noLogin.LoadUsers(""));
}

TEST_F(UserProfilesTest, LogonCodeGoesOnlyToTheConnectionOfThatLibraryAndNumber) {
  WriteFile({Ann()});
  ASSERT_TRUE(profiles_.LoadUsers("ann"));
  ASSERT_TRUE(profiles_.UpdateLogonCode("South", 1, "999"));
  EXPECT_FALSE(ClientAppState::AreUsersModified());
  for (const std::vector<UserProfile>& seen : {profiles_.GetProfiles(), ReadFile()}) {
    const UserProfile& ann = seen.at(0);
    EXPECT_EQ(ann.GetConnection(0)->GetLogonCode(), "111");
    EXPECT_EQ(ann.GetConnection(1)->GetLogonCode(), "999");
    EXPECT_EQ(ann.GetConnection(2)->GetLogonCode(), "333");
  }

  const std::string before = platform::ScratchFolder::Read(folder_ / UserProfileFile::kFileName);
  EXPECT_FALSE(profiles_.UpdateLogonCode("South", 2, "1"));
  EXPECT_FALSE(profiles_.UpdateLogonCode("Elsewhere", 1, "1"));
  EXPECT_FALSE(profiles_.UpdateLogonCode("south", 1, "1"));
  EXPECT_EQ(platform::ScratchFolder::Read(folder_ / UserProfileFile::kFileName), before);
}

TEST_F(UserProfilesTest, CodesFromManyThreadsAllReachTheFile) {
  WriteFile({Ann()});
  ASSERT_TRUE(profiles_.LoadUsers("ann"));
  const std::vector<std::pair<std::string, int>> accounts = {{"North", 1}, {"South", 1}, {"South2", 2}};
  std::vector<std::thread> threads;
  for (const auto& [library, number] : accounts) {
    threads.emplace_back([&, library, number] {
      for (int i = 0; i <= 40; ++i) EXPECT_TRUE(profiles_.UpdateLogonCode(library, number, std::to_string(i)));
    });
  }
  // The user-interface side reads and saves meanwhile, under the same lock.
  for (int i = 0; i < 40; ++i) {
    platform::CriticalSection::Lock lock(profiles_.GetLock());
    profiles_.GetCurrentUser()->SetTreeWidth(i);
    EXPECT_TRUE(profiles_.SaveUsers());
  }
  for (std::thread& thread : threads) thread.join();
  const UserProfile ann = ReadFile().at(0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ann.GetConnection(i)->GetLogonCode(), "40");
  EXPECT_EQ(ann, profiles_.GetProfiles()[0]);
}

}  // namespace
