#include "server/admin/AdminCommand.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "common/CertificateFile.h"
#include "common/MessageIds.h"
#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerSettings.h"
#include "testsupport/TestServer.h"

namespace {

class AdminCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { library_ = server_.PrepareLibrary(); }
  void TearDown() override { platform::AtomicFile::SetWriteHookForTesting(nullptr); }

  // Runs one command on the test server's library; `password` answers a question for one.
  int Admin(const std::vector<std::string>& command, const std::string& password = "secret") {
    out_.str("");
    err_.str("");
    const AdminOptions options{library_.workingFolder, library_.rootPath, library_.lockFolder, command};
    return RunAdminCommand(options, [&password] { return std::optional<std::string>(password); }, out_, err_);
  }
  std::string UsersFile() const {
    return platform::ScratchFolder::Read(library_.rootPath + "/" + ServerSettings::kUsersFileName);
  }
  std::optional<UserAccount> StoredByName(const std::string& name) const {
    for (int id = 1; id < 100; ++id) {
      if (std::optional<UserAccount> account = server_.StoredUser(id); account && account->GetName() == name) {
        return account;
      }
    }
    return std::nullopt;
  }

  TestServer server_;
  CWexmoorApp::StartOptions library_;
  platform::ScratchFolder scratch_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(AdminCommandTest, AddedUserLogsOnWithItsCertificateAndIsUnlockedAndDeleted) {
  const std::string certificate = scratch_ / "ann.wxc";
  ASSERT_EQ(Admin({"add-user", "ann", certificate}), 0) << err_.str();
  struct stat status {};
  ASSERT_EQ(::stat(certificate.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  std::optional<UserAccount> ann = StoredByName("ann");
  ASSERT_TRUE(ann);
  std::string text;
  ASSERT_EQ(CertificateFile::Read(certificate, text), CertificateFile::ReadResult::Read);
  EXPECT_NE(text.find("\"" + ann->GetKeyText() + "\",16,1,\"" + ann->GetLogonCode() + "\""), std::string::npos);

  ASSERT_TRUE(server_.Start());
  std::unique_ptr<TestClient> client = server_.MakeClient(*ann);
  ASSERT_TRUE(client->Connect(server_.Port()));
  TestClient::Reply reply;
  ASSERT_EQ(client->Logon("ann", "secret", ann->GetLogonCode(), reply), TestClient::ReceiveStatus::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
  client->Close();
  ASSERT_TRUE(server_.Document().GetSettings().UpdateUser(ann->GetId(), [](UserAccount& a) { a.LockOut(); }));
  server_.Stop();
  ASSERT_TRUE(server_.StoredUser(ann->GetId())->IsLockedOut());

  ASSERT_EQ(Admin({"users"}), 0);
  EXPECT_NE(out_.str().find("ann                     TCP/IP      yes\n"), std::string::npos) << out_.str();
  ASSERT_EQ(Admin({"unlock", "ann"}), 0) << err_.str();
  EXPECT_FALSE(server_.StoredUser(ann->GetId())->IsLockedOut());
  ASSERT_EQ(Admin({"set-password", "ann"}, "other"), 0) << err_.str();
  EXPECT_EQ(server_.StoredUser(ann->GetId())->GetPassword(), "other");
  ASSERT_EQ(Admin({"delete-user", "ann"}), 0) << err_.str();
  EXPECT_FALSE(server_.StoredUser(ann->GetId()));
}

TEST_F(AdminCommandTest, SettingsChangeAndThePortWaitsForTheNextStart) {
  ASSERT_EQ(Admin({"set-library-name", "Plans"}), 0) << err_.str();
  ASSERT_EQ(Admin({"set-address", "10.0.0.7"}), 0) << err_.str();
  ASSERT_EQ(Admin({"set-port", "6123"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("listens on port 6123 from its next start"), std::string::npos) << out_.str();
  ServerSettings stored(CertificateBuiltInKey());
  ASSERT_TRUE(stored.LoadUsers(library_.rootPath));
  EXPECT_EQ(stored.GetLibraryName(), "Plans");
  EXPECT_EQ(stored.GetServerAddress(), "10.0.0.7");
  EXPECT_EQ(stored.GetPort(), 6123);
}

TEST_F(AdminCommandTest, RefusedChangesSayWhyAndLeaveTheUsersFileAsItWas) {
  ASSERT_EQ(Admin({"add-user", "ann"}), 0) << err_.str();
  const struct {
    std::vector<std::string> command;
    std::string password;
    bool failWrites;
    const char* reason;
  } cases[] = {
      {{"add-user", "ann"}, "secret", false, "must be unique"},
      {{"add-user", "bob"}, "", false, "Password"},
      {{"add-user", "a/b"}, "secret", false, "Username"},
      {{"add-user", "bob"}, "secret", true, "Failed to save"},
      {{"unlock", "nobody"}, "secret", false, "No TCP/IP user is named nobody"},
      {{"set-password", "ann"}, "other", true, "Failed to save"},
      {{"delete-user", "ann"}, "secret", true, "Failed to save"},
      {{"certificate", "ann", scratch_ / "no/such/folder/ann.wxc"}, "secret", false, "Failed to write certificate"},
      {{"set-library-name", "a/b"}, "secret", false, "cannot be used as a folder name"},
      {{"set-port", "70000"}, "secret", false, "no greater than 65535"},
      {{"set-port", "0"}, "secret", false, "greater than zero"},
      {{"set-address", "10.0.0.8"}, "secret", true, "Failed to save"},
  };
  for (const auto& c : cases) {
    const std::string before = UsersFile();
    if (c.failWrites) platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
    EXPECT_EQ(Admin(c.command, c.password), 1) << c.command[0];
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    EXPECT_NE(err_.str().find(c.reason), std::string::npos) << c.command[0] << ": " << err_.str();
    EXPECT_EQ(UsersFile(), before) << c.command[0] << " " << c.command[1];
  }
}

TEST_F(AdminCommandTest, RefusedWhileAServerHoldsTheLibraryAndForUnknownCommands) {
  ASSERT_TRUE(server_.Start());
  const std::string before = UsersFile();
  EXPECT_EQ(Admin({"add-user", "ann"}), 1);
  EXPECT_NE(err_.str().find("already running"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("a running server holds it"), std::string::npos) << err_.str();
  EXPECT_EQ(UsersFile(), before);
  server_.Stop();
  EXPECT_EQ(Admin({"rename-everything"}), 64);
  EXPECT_EQ(Admin({"unlock"}), 64);
  EXPECT_NE(err_.str().find("usage: wexmoor admin"), std::string::npos);
}

}  // namespace
