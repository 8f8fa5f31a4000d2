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

}  // namespace

namespace {

// Earlier builds left a renamed library's stale connection beside the re-issued one:
// the start merges them and writes both files back.
TEST_F(CBrannockAppTest, DuplicateEntriesOfOneLibraryAndUserAreMergedAndWrittenBack) {
  const std::string entriesPath = folder_ / LibraryEntryFile::kFileName;
  ASSERT_TRUE(LibraryEntryFile::Save(entriesPath, {LibraryEntry("Old", "0A0B", 2), LibraryEntry("New", "0A0B", 2)}));
  UserProfile profile;
  profile.SetLoginName("ann");
  for (const char* name : {"Old", "New"}) {
    LibraryConnection connection;
    connection.SetName(name);
    connection.SetUserNumber(2);
    connection.SetHost("127.0.0.1");
    connection.SetLogonCode(name);
    profile.AddConnection(connection);
  }
  UserProfileFile file(folder_ / UserProfileFile::kFileName);
  ASSERT_TRUE(file.Save({profile}));
  {
    CBrannockApp app(folder_.Path(), "ann");
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.GetCurrentUser()->GetConnectionCount(), 1);
  }
  const std::vector<UserProfile> saved = SavedProfiles();
  ASSERT_EQ(saved.size(), 1u);
  ASSERT_EQ(saved[0].GetConnectionCount(), 1);
  EXPECT_EQ(saved[0].GetConnection(0)->GetName(), "New");
  EXPECT_EQ(saved[0].GetConnection(0)->GetLogonCode(), "New");
  std::vector<LibraryEntry> entries;
  ASSERT_TRUE(LibraryEntryFile::Load(entriesPath, entries));
  EXPECT_EQ(entries, std::vector<LibraryEntry>{LibraryEntry("New", "0A0B", 2)});
  EXPECT_TRUE(shown_.empty());
}

}  // namespace
