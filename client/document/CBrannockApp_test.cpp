#include "client/document/CBrannockApp.h"

#include <gtest/gtest.h>

#include "client/records/ClientAppState.h"
#include "client/records/LibraryEntryFile.h"
#include "platform/fs.h"
#include "platform/Notifier.h"
#include "platform/ScratchFolder.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/TestServer.h"

namespace {

class CBrannockAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetNotifyHandler([this](const platform::Notification& n) {
      shown_.push_back(n.text);
      return platform::NotifyAnswer::Ok;
    });
  }
  void TearDown() override {
    platform::SetNotifyHandler(nullptr);
    ClientAppState::ClearUsersModified();
    ClientAppState::SetWindowState(0);
  }
  std::vector<UserProfile> SavedProfiles() const {
    UserProfileFile file(folder_ / UserProfileFile::kFileName);
    std::vector<UserProfile> profiles;
    EXPECT_EQ(file.Load(profiles), UserProfileFile::LoadResult::Loaded);
    return profiles;
  }
  std::string UsersFile() const { return platform::ScratchFolder::Read(folder_ / UserProfileFile::kFileName); }

  platform::ScratchFolder folder_;
  std::vector<std::string> shown_;
};

TEST_F(CBrannockAppTest, FirstStartMakesBothFilesOneProfileAndAnEmptyTemporaryFolder) {
  ASSERT_TRUE(platform::fs::CreateFolder(folder_ / "TemporaryFiles"));
  folder_.Put("TemporaryFiles/TemporaryFile_7.wxf", "left over");
  CBrannockApp app(folder_.Path(), "ann");
  ASSERT_TRUE(app.InitInstance());

  EXPECT_EQ(platform::ScratchFolder::Read(folder_ / LibraryEntryFile::kFileName), "");
  const std::vector<UserProfile> saved = SavedProfiles();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].GetLoginName(), "ann");
  EXPECT_EQ(app.GetCurrentUser()->GetLoginName(), "ann");
  EXPECT_FALSE(platform::fs::Exists(folder_ / "TemporaryFiles/TemporaryFile_7.wxf"));
  EXPECT_EQ(app.MakeTemporaryFileName(), folder_ / "TemporaryFiles/TemporaryFile_1.wxf");
  EXPECT_EQ(app.GetWorkingDirectory(), folder_.Path());
  EXPECT_TRUE(shown_.empty());
}

TEST_F(CBrannockAppTest, SecondAppOnTheSameFolderIsRefusedAndLeavesTheFilesAlone) {
  CBrannockApp first(folder_.Path(), "ann");
  ASSERT_TRUE(first.InitInstance());
  {
    platform::CriticalSection::Lock lock(first.GetProfileLock());
    first.GetCurrentUser()->SetTreeWidth(123);   // the first app's unsaved change
  }
  const std::string before = UsersFile();
  {
    CBrannockApp second(folder_.Path(), "ann");
    EXPECT_FALSE(second.InitInstance());
    EXPECT_EQ(shown_, std::vector<std::string>{CBrannockApp::kAlreadyRunning});
  }
  EXPECT_EQ(UsersFile(), before);

  platform::ScratchFolder elsewhere;
  CBrannockApp other(elsewhere.Path(), "ann");
  EXPECT_TRUE(other.InitInstance());
  EXPECT_EQ(CBrannockApp::InstanceGuardName("/a.b/c:d\\e"), "BK_a_b_c_d_e");
}

TEST_F(CBrannockAppTest, ExitSavesTheWindowStateAndChangedProfiles) {
  {
    CBrannockApp app(folder_.Path(), "ann");
    ASSERT_TRUE(app.InitInstance());
    ClientAppState::SetWindowState(ClientAppState::kMaximised);
  }
  EXPECT_EQ(SavedProfiles().at(0).GetWindowState(), ClientAppState::kMaximised);
  {
    CBrannockApp app(folder_.Path(), "bob");
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(ClientAppState::GetWindowState(), ClientAppState::kMaximised);
    platform::CriticalSection::Lock lock(app.GetProfileLock());
    EXPECT_EQ(app.GetCurrentUser()->GetConnectionCount(), 0);
    app.GetCurrentUser()->SetBackupRoot("/elsewhere");
    app.GetCurrentUser()->MarkModified();
  }
  EXPECT_EQ(SavedProfiles().at(1).GetBackupRoot(), "/elsewhere");
}

TEST_F(CBrannockAppTest, EmptyWorkingFolderOrUnusableFilesStopTheStart) {
  CBrannockApp noFolder("", "ann");
  EXPECT_FALSE(noFolder.InitInstance());
  EXPECT_EQ(shown_, std::vector<std::string>{CBrannockApp::kNoWorkingFolder});

  ASSERT_TRUE(platform::fs::CreateFolder(folder_ / LibraryEntryFile::kFileName));
  CBrannockApp entriesUnreadable(folder_.Path(), "ann");
  EXPECT_FALSE(entriesUnreadable.InitInstance());
  EXPECT_FALSE(platform::fs::Exists(folder_ / UserProfileFile::kFileName));
}

TEST_F(CBrannockAppTest, ImportedAccountKeepsTheCodeOfEachAcceptedLogon) {
  TestServer server;
  ASSERT_TRUE(server.Start());
  const std::optional<UserAccount> added = server.AddUser("ann", "secret");
  ASSERT_TRUE(added.has_value());
  ASSERT_TRUE(server.WriteCertificate(added->GetId(), folder_ / "ann.wxc"));

  CBrannockApp app(folder_.Path(), "ann");
  ASSERT_TRUE(app.InitInstance());
  ASSERT_EQ(app.ImportCertificate(folder_ / "ann.wxc"), CertificateImport::Result::Imported);
  for (int logon = 0; logon < 2; ++logon) {
    LibraryConnection account;
    {
      platform::CriticalSection::Lock lock(app.GetProfileLock());
      account = *app.GetCurrentUser()->GetConnection(0);
    }
    TestClient client(static_cast<std::uint32_t>(account.GetUserNumber()), app.GetLibraryEntries().at(0).GetKeyText(),
                      account.GetKeyText());
    ASSERT_TRUE(client.Connect(server.Port()));
    TestClient::Reply reply;
    ASSERT_EQ(client.Logon("ann", "secret", account.GetLogonCode(), reply), TestClient::ReceiveStatus::Ok);
    ASSERT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
    ASSERT_TRUE(app.UpdateLogonCode(account.GetName(), account.GetUserNumber(), reply.message.GetBody()));
    EXPECT_EQ(SavedProfiles().at(0).GetConnection(0)->GetLogonCode(),
              server.StoredUser(added->GetId())->GetLogonCode());
  }
}

// Working folders of earlier builds: each login's stored connections, each
// "library user host code folder" (a folder ending in '+' exists), and what a start
// leaves in both files. Old and New are one library under two names (one key).
struct StoredSet {
  const char* what;
  std::vector<std::vector<std::vector<std::string>>> logins;
  std::vector<std::vector<std::string>> kept;   // "library user code folder" per connection
  std::vector<std::string> entries;
};

class DuplicateEntriesTest : public CBrannockAppTest, public ::testing::WithParamInterface<StoredSet> {};

TEST_P(DuplicateEntriesTest, AStartKeepsOneEntryPerLibraryAndUserInBothFiles) {
  const StoredSet& c = GetParam();
  const std::string entriesPath = folder_ / LibraryEntryFile::kFileName;
  ASSERT_TRUE(LibraryEntryFile::Save(entriesPath, {{"Old", "0A0B", 2}, {"New", "0A0B", 2}, {"Other", "0C0D", 2}}));
  std::vector<UserProfile> profiles(c.logins.size());
  for (std::size_t p = 0; p < c.logins.size(); ++p) {
    profiles[p].SetLoginName(p == 0 ? "ann" : "other");
    for (const std::vector<std::string>& s : c.logins[p]) {
      LibraryConnection connection;   // set in place: earlier builds stored what AddConnection refuses
      connection.SetUserNumber(-1 - profiles[p].GetConnectionCount());
      profiles[p].AddConnection(connection);
      LibraryConnection& stored = *profiles[p].GetConnection(profiles[p].GetConnectionCount() - 1);
      stored.SetName(s[0]);
      stored.SetUserNumber(std::stoi(s[1]));
      stored.SetHost(s[2]);
      stored.SetLogonCode(s[3]);
      stored.SetLocalFolder(folder_ / s[4]);
      ASSERT_TRUE(s[4].back() != '+' || platform::fs::CreateFolder(folder_ / s[4]));
    }
  }
  ASSERT_TRUE(UserProfileFile(folder_ / UserProfileFile::kFileName).Save(profiles));
  ASSERT_TRUE(CBrannockApp(folder_.Path(), "ann").InitInstance());

  const std::vector<UserProfile> saved = SavedProfiles();
  ASSERT_EQ(saved.size(), c.kept.size());
  for (std::size_t p = 0; p < saved.size(); ++p) {
    std::vector<std::string> kept;
    for (int i = 0; i < saved[p].GetConnectionCount(); ++i) {
      const LibraryConnection& k = *saved[p].GetConnection(i);
      kept.push_back(k.GetName() + " " + std::to_string(k.GetUserNumber()) + " " + k.GetLogonCode() + " " +
                     k.GetLocalFolder().substr(folder_.Path().size() + 1));
    }
    EXPECT_EQ(kept, c.kept[p]) << c.what;
  }
  std::vector<LibraryEntry> entries;
  ASSERT_TRUE(LibraryEntryFile::Load(entriesPath, entries));
  std::vector<std::string> names;
  for (const LibraryEntry& entry : entries) names.push_back(entry.GetName());
  EXPECT_EQ(names, c.entries) << c.what;
  EXPECT_TRUE(shown_.empty());
}

INSTANTIATE_TEST_SUITE_P(
    StoredSets, DuplicateEntriesTest,
    ::testing::Values(
        StoredSet{"a rename's stale entry first, the new one never visited: the old folder stays",
                  {{{"Old", "2", "h", "1", "old+"}, {"New", "2", "h", "2", "new"}}},
                  {{"New 2 2 old+"}},
                  {"New", "Other"}},
        StoredSet{"the new one visited: its folder stays",
                  {{{"Old", "2", "h", "1", "old+"}, {"New", "2", "h", "2", "new+"}}},
                  {{"New 2 2 new+"}},
                  {"New", "Other"}},
        StoredSet{"other users, and other logins, keep theirs and the former name they use",
                  {{{"Old", "1", "h", "a", "a"}, {"Old", "2", "h", "1", "o"}, {"New", "2", "h", "2", "n"}},
                   {{"Old", "2", "h", "9", "x"}}},
                  {{"Old 1 a a", "New 2 2 o"}, {"Old 2 9 x"}},
                  {"Old", "New", "Other"}},
        StoredSet{"two of one name and user: the last listed wins",
                  {{{"Other", "2", "h", "1", "a"}, {"Other", "3", "h", "3", "c"}, {"Other", "2", "h", "2", "b"}}},
                  {{"Other 2 2 a", "Other 3 3 c"}},
                  {"Old", "New", "Other"}},
        StoredSet{"a copied library keeps the key but is served elsewhere: both stay",
                  {{{"Old", "2", "h", "1", "o"}, {"New", "2", "elsewhere", "2", "n"}}},
                  {{"Old 2 1 o", "New 2 2 n"}},
                  {"Old", "New", "Other"}}));

}  // namespace
