#include "server/admin/AdminCommand.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "common/CertificateFile.h"
#include "common/MessageIds.h"
#include "platform/AtomicFile.h"
#include "platform/DiskChangeHook.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/admin/AdminChannel.h"
#include "server/admin/AdminWire.h"
#include "server/engine/ServerConsole.h"
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

  // Starts the test server with its administration socket.
  void StartWithChannel() {
    server_.SetCompanionStarter(StartAdminChannel);
    ASSERT_TRUE(server_.Start());
    ASSERT_TRUE(platform::fs::Exists(SocketPath()));
  }
  std::string SocketPath() const { return library_.workingFolder + "/" + AdminWire::kSocketName; }
  // The socket file a killed server leaves: bound, then closed without removing it.
  void PlantStaleSocket() const {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    SocketPath().copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
  }
  // A file where the engine would have received it.
  std::string Received(const std::string& content) {
    const std::string path = library_.rootPath + "/TemporaryFiles/Upload_" + std::to_string(++received_) + ".wxf";
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  std::string NewProject(const std::string& name) {
    ServerProject created;
    EXPECT_EQ(server_.Document().CreateProject("", name, "", created, false), 0);
    return created.GetInternalName();
  }

  TestServer server_;
  CWexmoorApp::StartOptions library_;
  std::atomic<int> received_{0};
  platform::ScratchFolder scratch_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(AdminCommandTest, AddedUserLogsOnWithItsCertificateAndIsUnlockedAndDeleted) {
  PlantStaleSocket();   // nobody answers on it: the command works on the library itself
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
  EXPECT_NE(out_.str().find("ann                     TCP/IP      yes         no\n"), std::string::npos) << out_.str();
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
  for (const bool running : {false, true}) {
    SCOPED_TRACE(running ? "running server" : "stopped library");
    if (running) {
      StartWithChannel();
      // A change that is saved: the file then holds what the running server holds
      // (start-up fills in the server's address).
      ASSERT_EQ(Admin({"unlock", "ann"}), 0) << err_.str();
    }
    const struct {
      std::vector<std::string> command;
      std::string password;
      bool failWrites;
      const char* reason;
    } cases[] = {
        // First: its undo saves the table in memory, which a refused addition leaves
        // with the next user id taken (ids are never handed out twice).
        {{"certificate", "ann", scratch_ / "no/such/folder/ann.wxc"}, "secret", false, "Failed to write certificate"},
        {{"add-user", "ann"}, "secret", false, "must be unique"},
        {{"add-user", "bob"}, "", false, "Password"},
        {{"add-user", "a/b"}, "secret", false, "Username"},
        {{"add-user", "bob"}, "secret", true, "Failed to save"},
        {{"unlock", "nobody"}, "secret", false, "No TCP/IP user is named nobody"},
        {{"set-password", "ann"}, "other", true, "Failed to save"},
        {{"delete-user", "ann"}, "secret", true, "Failed to save"},
        {{"set-library-name", "a/b"}, "secret", false, "cannot be used as a folder name"},
        {{"set-port", "70000"}, "secret", false, "no greater than 65535"},
        {{"set-port", "0"}, "secret", false, "greater than zero"},
        {{"set-address", "10.0.0.8"}, "secret", true, "Failed to save"},
        {{"backup", library_.workingFolder}, "", false, "exists and is not an empty folder"},
        {{"backup", library_.rootPath}, "", false, "lies inside the library root"},
        {{"backup", library_.rootPath + "/copy"}, "", false, "lies inside the library root"},
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

TEST_F(AdminCommandTest, OnARunningServerCommandsChangeTheLiveLibraryAndItsFiles) {
  PlantStaleSocket();
  StartWithChannel();
  struct stat status {};
  ASSERT_EQ(::stat(SocketPath().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  const std::string certificate = scratch_ / "ann.wxc";
  ASSERT_EQ(Admin({"add-user", "ann", certificate}), 0) << err_.str();
  const std::optional<UserAccount> ann = StoredByName("ann");
  ASSERT_TRUE(ann);
  std::string text;
  ASSERT_EQ(CertificateFile::Read(certificate, text), CertificateFile::ReadResult::Read);
  EXPECT_NE(text.find("\"" + ann->GetLogonCode() + "\""), std::string::npos);
  std::unique_ptr<TestClient> client = server_.MakeClient(*ann);
  ASSERT_TRUE(client->Connect(server_.Port()));
  TestClient::Reply reply;
  ASSERT_EQ(client->Logon("ann", "secret", ann->GetLogonCode(), reply), TestClient::ReceiveStatus::Ok);
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);

  ASSERT_EQ(Admin({"users"}), 0);
  EXPECT_NE(out_.str().find("ann                     TCP/IP      no          yes\n"), std::string::npos) << out_.str();
  const std::string project = NewProject("Plans");
  FileStatistics added;
  ASSERT_EQ(server_.Document().AddDocument("plan.txt", project, "ann", "", Received("v1"), 2, added), 0);
  ASSERT_EQ(server_.Document().CheckOutDocuments(project, "plan.txt", -1, "ann", false, false).code, 0);
  ASSERT_EQ(Admin({"checked-out"}), 0);
  EXPECT_NE(out_.str().find("->Plans\tplan.txt\tann\t20"), std::string::npos) << out_.str();

  ServerSettings& live = server_.Document().GetSettings();
  ASSERT_TRUE(live.UpdateUser(ann->GetId(), [](UserAccount& account) { account.LockOut(); }));
  ASSERT_EQ(Admin({"unlock", "ann"}), 0) << err_.str();
  EXPECT_FALSE(live.FindUser(ann->GetId())->IsLockedOut());
  EXPECT_FALSE(server_.StoredUser(ann->GetId())->IsLockedOut());
  ASSERT_EQ(Admin({"delete-user", "ann"}), 0) << err_.str();
  EXPECT_FALSE(live.FindUser(ann->GetId()));
  EXPECT_FALSE(server_.StoredUser(ann->GetId()));
  client->Close();
  server_.Stop();
  EXPECT_FALSE(platform::fs::Exists(SocketPath()));
}

TEST_F(AdminCommandTest, BackupTakenWhileDocumentsChangeServesEveryAcknowledgedVersion) {
  StartWithChannel();
  const std::optional<UserAccount> ann = server_.AddUser("ann", "secret");
  ASSERT_TRUE(ann);
  const std::string project = NewProject("Plans");
  struct Version {
    std::string name;
    int number;
    std::string content;
  };
  std::mutex mutex;
  std::vector<Version> acknowledged;
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  CWexmoorDoc& document = server_.Document();
  // Adds five documents, then checks new versions of them in, until told to stop.
  std::thread writer([&] {
    for (int i = 0; i < 400 && !stop; ++i) {
      const std::string name = "d" + std::to_string(i % 5);
      const std::string content = std::to_string(i) + std::string(static_cast<std::size_t>(i * 397 % 9000), 'a' + i % 26);
      const int size = static_cast<int>(content.size());
      int code = -1;
      if (i < 5) {
        FileStatistics added;
        code = document.AddDocument(name, project, "ann", "", Received(content), size, added);
      } else if (document.CheckOutDocuments(project, name, -1, "ann", false, false).code == 0) {
        document.CheckInDocuments(project, "ann", name, size, "", Received(content), code);
      }
      if (code != 0) break;
      std::lock_guard<std::mutex> hold(mutex);
      acknowledged.push_back({name, i / 5 + 1, content});
    }
    finished = true;
  });
  const auto count = [&] {
    std::lock_guard<std::mutex> hold(mutex);
    return acknowledged.size();
  };
  while (count() < 20 && !finished) std::this_thread::yield();
  const std::size_t before = count();
  const std::string copy = scratch_ / "copy";
  const int backedUp = Admin({"backup", copy});
  stop = true;
  writer.join();
  ASSERT_EQ(backedUp, 0) << err_.str();
  ASSERT_GE(count(), before);
  server_.Stop();

  CWexmoorApp app;
  RequestDispatcher dispatcher;
  app.SetMessageHandler([&dispatcher](RTE& engine, const Msg& request) { return dispatcher.Dispatch(engine, request); });
  ASSERT_TRUE(app.InitInstance({copy, scratch_ / "locks", ""}));
  ASSERT_EQ(app.GetConsole()->WaitForListener(std::chrono::seconds(10)), ServerConsole::ListenerState::Listening);
  std::unique_ptr<TestClient> client = server_.MakeClient(*ann);
  ASSERT_TRUE(client->Connect(server_.Port()));
  TestClient::Reply reply;
  ASSERT_EQ(client->Logon("ann", "secret", ann->GetLogonCode(), reply), TestClient::ReceiveStatus::Ok);
  for (std::size_t i = 0; i < before; ++i) {
    const Version& version = acknowledged[i];
    const std::string request = "\"" + project + "\",1\n\"" + version.name + "\"," + std::to_string(version.number) + "\n";
    ASSERT_NE(client->Send(MSGID_RETRIEVE, request), 0u);
    ASSERT_EQ(client->Receive(reply), TestClient::ReceiveStatus::Ok);
    ASSERT_EQ(reply.files.size(), 1u) << version.name << " " << version.number << ": " << reply.message.GetBodyText();
    EXPECT_TRUE(reply.files[0] == version.content) << version.name << " " << version.number;
  }
  client->Close();
  app.ExitInstance();
}

}  // namespace

TEST_F(AdminCommandTest, OtherCommandsAreAnsweredWhileABackupIsBeingMade) {
  StartWithChannel();
  NewProject("Plans");
  // The backup stops at its first disk change until the other command was answered.
  std::mutex mutex;
  std::condition_variable changed;
  bool backupWaiting = false;
  bool answered = false;
  platform::SetDiskChangeHookForTesting([&] {
    std::unique_lock<std::mutex> hold(mutex);
    if (std::exchange(backupWaiting, true)) return;
    changed.notify_all();
    changed.wait_for(hold, std::chrono::seconds(10), [&] { return answered; });
  });
  std::atomic<int> backedUp{-1};
  std::ostringstream backupOut, backupErr;
  std::thread backup([&] {
    const AdminOptions options{library_.workingFolder, library_.rootPath, library_.lockFolder,
                               {"backup", scratch_ / "copy"}};
    backedUp = RunAdminCommand(options, [] { return std::optional<std::string>(); }, backupOut, backupErr);
  });
  {
    std::unique_lock<std::mutex> hold(mutex);
    ASSERT_TRUE(changed.wait_for(hold, std::chrono::seconds(10), [&] { return backupWaiting; }));
  }
  const int users = Admin({"users"});
  {
    std::lock_guard<std::mutex> hold(mutex);
    answered = true;
    changed.notify_all();
  }
  EXPECT_EQ(users, 0) << err_.str();
  EXPECT_EQ(backedUp.load(), -1);  // the backup was still waiting when "users" was answered
  backup.join();
  platform::SetDiskChangeHookForTesting(nullptr);
  EXPECT_EQ(backedUp.load(), 0) << backupErr.str();
  EXPECT_TRUE(platform::fs::Exists(scratch_ / "copy/library"));
}
