#include "server/admin/AdminCommand.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "common/CertificateFile.h"
#include "common/CertificatePin.h"
#include "common/MessageIds.h"
#include "platform/AtomicFile.h"
#include "platform/DiskChangeHook.h"
#include "platform/InstanceGuard.h"
#include "platform/Process.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/admin/AdminChannel.h"
#include "server/admin/AdminWire.h"
#include "server/admin/RunningServer.h"
#include "server/engine/ServerConsole.h"
#include "server/store/BackupLeftover.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerSettings.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/TlsSettings.h"
#include "server/engine/RequestDispatcher.h"
#include "testsupport/FreePort.h"
#include "testsupport/TestServer.h"

namespace {

class AdminCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { library_ = server_.PrepareLibrary(); }
  void TearDown() override { platform::AtomicFile::SetWriteHookForTesting(nullptr); }

  // Runs one command on the test server's library; `password` answers a question for one.
  int Admin(const std::vector<std::string>& command, const std::string& password = "secret") {
    return AdminIn(library_.workingFolder, command, password);
  }
  int AdminIn(const std::string& workingFolder, const std::vector<std::string>& command,
              const std::string& password = "secret") {
    return AdminWith({workingFolder, library_.rootPath, library_.lockFolder, command}, password);
  }
  int AdminWith(const AdminOptions& options, const std::string& password = "secret") {
    out_.str("");
    err_.str("");
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

TEST_F(AdminCommandTest, PasswordsAreKeptAsTypedAndLogOnAsTyped) {
  const std::string typed[] = {" lead", "trail ", "  both  ", "in side", "\ttab"};
  for (std::size_t i = 0; i < std::size(typed); ++i) {
    const std::string name = "user" + std::to_string(i);
    ASSERT_EQ(Admin({"add-user", name, scratch_ / (name + ".wxc")}, typed[i]), 0) << err_.str();
    EXPECT_EQ(StoredByName(name)->GetPassword(), typed[i]) << i;
  }
  ASSERT_EQ(Admin({"set-password", "user0"}, " new one "), 0) << err_.str();
  ASSERT_TRUE(server_.Start());
  for (std::size_t i = 0; i < std::size(typed); ++i) {
    const std::optional<UserAccount> user = StoredByName("user" + std::to_string(i));
    const std::string password = i == 0 ? " new one " : typed[i];
    std::unique_ptr<TestClient> client = server_.MakeClient(*user);
    ASSERT_TRUE(client->Connect(server_.Port()));
    TestClient::Reply reply;
    ASSERT_EQ(client->Logon(user->GetName(), password, user->GetLogonCode(), reply), TestClient::ReceiveStatus::Ok);
    EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED) << i;
    client->Close();
  }
}

TEST_F(AdminCommandTest, SettingsChangeAndThePortWaitsForTheNextStart) {
  ASSERT_EQ(Admin({"set-library-name", "Plans"}), 0) << err_.str();
  ASSERT_EQ(Admin({"set-address", "10.0.0.7"}), 0) << err_.str();
  ASSERT_EQ(Admin({"set-port", "6123"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("listens on port 6123 from its next start.\n"), std::string::npos) << out_.str();
  EXPECT_EQ(out_.str().find("keeps port"), std::string::npos) << "no server listens: " << out_.str();
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

TEST_F(AdminCommandTest, WhatTheServerWouldNotHonourIsRefusedAndLeavesNoAccount) {
  const std::string longest(UserAccount::kMaxLogonFieldLength, 'p');
  for (const bool running : {false, true}) {
    SCOPED_TRACE(running ? "running server" : "stopped library");
    if (running) StartWithChannel();
    const struct {
      std::string workingFolder;
      std::vector<std::string> command;
      std::string password;
      const char* reason;
    } cases[] = {
        {library_.workingFolder, {"add-user", "carl"}, longest + "p", "a password can be at most 255 bytes long"},
        {library_.workingFolder, {"add-user", "carl", scratch_ / "no/such/folder/carl.wxc"}, "secret",
         "User carl was not added"},
        {library_.workingFolder, {"add-user", "carl"}, "   ", "a password is required"},
        {library_.workingFolder, {"set-address", ServerSettings::kNewLibraryServerAddress}, "", "set localhost"},
        {scratch_ / "typo", {"add-user", "carl"}, "secret", "typo does not exist; check --workdir"},
    };
    for (const auto& c : cases) {
      EXPECT_EQ(AdminIn(c.workingFolder, c.command, c.password), 1) << c.reason;
      EXPECT_NE(err_.str().find(c.reason), std::string::npos) << err_.str();
      EXPECT_EQ(out_.str(), "") << c.reason;
      EXPECT_FALSE(StoredByName("carl")) << c.reason;
      EXPECT_FALSE(platform::fs::Exists(scratch_ / "typo"));
    }
    ASSERT_EQ(Admin({"add-user", "carl", scratch_ / "carl.wxc"}, longest), 0) << err_.str();
    ASSERT_EQ(Admin({"delete-user", "carl"}), 0) << err_.str();
    if (running) server_.Stop();
  }
}

TEST_F(AdminCommandTest, AnAddressTheAdministratorSetIsKeptAcrossStartsAndCarriedByCertificates) {
  ASSERT_EQ(Admin({"add-user", "ann"}), 0) << err_.str();
  const struct {
    std::string set;   // empty: none set
    std::string carried;
  } cases[] = {{"", platform::HostName()}, {"192.0.2.10", "192.0.2.10"}, {"library.example", "library.example"}};
  for (const auto& c : cases) {
    if (!c.set.empty()) {
      ASSERT_EQ(Admin({"set-address", c.set}), 0) << err_.str();
    }
    for (int start = 0; start < 2; ++start) {
      StartWithChannel();
      EXPECT_EQ(server_.Document().GetSettings().GetServerAddress(), c.carried);
      const std::string certificate = scratch_ / "ann.wxc";
      ASSERT_EQ(Admin({"certificate", "ann", certificate}), 0) << err_.str();
      std::string text;
      ASSERT_EQ(CertificateFile::Read(certificate, text), CertificateFile::ReadResult::Read);
      EXPECT_NE(text.find("\"" + c.carried + "\""), std::string::npos) << text;
      server_.Stop();
      ::unlink(certificate.c_str());
    }
  }
}

TEST_F(AdminCommandTest, EachChangeFromTheShellIsOneConsoleLineNamingWhoAndWhat) {
  StartWithChannel();
  const std::string by = "Administration from the shell " + RunningServer::ByUser(::geteuid()) + ": ";
  const std::string listening = std::to_string(server_.App().GetConsole()->GetListeningPort());
  const struct {
    std::vector<std::string> command;
    std::string line;   // empty: no change, no line
  } cases[] = {
      {{"add-user", "ann", scratch_ / "ann.wxc"},
       by + "User ann added; Certificate " + (scratch_ / "ann.wxc") + " created successfully and is now operational"},
      {{"set-password", "ann"}, by + "User ann password set"},
      {{"users"}, ""},
      {{"unlock", "nobody"}, ""},
      {{"set-library-name", "Plans"}, by + "The library is named Plans"},
      {{"set-port", "6123"}, by + "Server address " + server_.Document().GetSettings().GetServerAddress() +
                                 ", port 6123; Wexmoor listens on port 6123 from its next start; until then it keeps "
                                 "port " + listening + ".; Certificates written from now on carry port 6123: restart "
                                 "Wexmoor before handing them out."},
      {{"delete-user", "ann"}, by + "User ann deleted"},
  };
  for (const auto& c : cases) {
    const std::size_t before = server_.App().GetConsole()->GetStatusLines().size();
    Admin(c.command);
    const std::vector<std::string> lines = server_.App().GetConsole()->GetStatusLines();
    const std::vector<std::string> added(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end());
    EXPECT_EQ(added, c.line.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.line}) << c.command[0];
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

TEST_F(AdminCommandTest, AStoppedLibraryThatCannotBeOpenedSaysWhy) {
  const std::string plain = scratch_.Put("plain", "not a folder");
  const std::string linked = scratch_ / "linked";
  ASSERT_EQ(::mkdir(linked.c_str(), 0700), 0);
  const std::string lockFile = linked + "/" + platform::InstanceGuard::LockFileName(CWexmoorDoc::RootGuardName(library_.rootPath));
  ASSERT_EQ(::symlink(plain.c_str(), lockFile.c_str()), 0);
  const char* home = std::getenv("HOME");
  const std::string savedHome = home != nullptr ? home : "";
  const struct {
    const char* name;
    std::string lockFolder;
    std::function<void()> prepare;
    std::string reason;
  } cases[] = {
      {"held by a server", library_.lockFolder, [this] { ASSERT_TRUE(server_.Start()); },
       "could not be opened: a running server holds it (stop the server first)"},
      // The fallback folder under $HOME cannot be made either.
      {"no usable lock folder", plain, [&plain] { ::setenv("HOME", plain.c_str(), 1); },
       "could not be opened: no lock folder can be used; the lock folder " + plain + " is not a folder"},
      {"linked lock file", linked, [] {}, "could not be opened: the lock file " + lockFile + " is a link"},
      {"damaged users file", library_.lockFolder,
       [this] { std::ofstream(library_.rootPath + "/" + ServerSettings::kUsersFileName) << "damaged"; },
       "could not be opened: the users file " + library_.rootPath + "/" + ServerSettings::kUsersFileName + " is damaged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare();
    EXPECT_EQ(AdminWith({library_.workingFolder, library_.rootPath, c.lockFolder, {"users"}}), 1);
    EXPECT_NE(err_.str().find(c.reason), std::string::npos) << err_.str();
    EXPECT_EQ(err_.str().find("a running server holds it") != std::string::npos, &c == &cases[0]) << err_.str();
    ::setenv("HOME", savedHome.c_str(), 1);
    server_.Stop();
  }
}

TEST_F(AdminCommandTest, AccountsAreAdministeredFromTheUsersFileAlone) {
  // A library whose records cannot be read: only commands that read them say so.
  std::ofstream(library_.rootPath + "/" + CWexmoorDoc::kInventoryFileName) << "Start Project\n";
  ASSERT_EQ(Admin({"add-user", "ann"}), 0) << err_.str();
  ASSERT_EQ(Admin({"users"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("ann "), std::string::npos) << out_.str();
  EXPECT_EQ(Admin({"checked-out"}), 1);
  EXPECT_NE(err_.str().find("could not be opened: its records could not be loaded"), std::string::npos) << err_.str();
}

TEST_F(AdminCommandTest, VerifyFindsAStoppedLibraryAndItsBackupWhole) {
  StartWithChannel();
  const std::string project = NewProject("Plans");
  FileStatistics added;
  ASSERT_EQ(server_.Document().AddDocument("plan.txt", project, "ann", "", Received("v1"), 2, added), 0);
  EXPECT_EQ(Admin({"verify"}), 1);
  EXPECT_NE(err_.str().find("verify checks a stopped library or a backup"), std::string::npos) << err_.str();
  const std::string copy = scratch_ / "copy";
  ASSERT_EQ(Admin({"backup", copy}), 0) << err_.str();
  // The groups travel with the library.
  EXPECT_EQ(platform::ScratchFolder::Read(copy + "/" + BackupLeftover::kCopyName + "/" + LibraryGroups::kFileName),
            platform::ScratchFolder::Read(LibraryGroups::FilePath(library_.rootPath)));
  server_.Stop();
  for (const std::string& folder : {library_.workingFolder, copy}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(AdminWith({folder, "", library_.lockFolder, {"verify"}}), 0) << out_.str() << err_.str();
    EXPECT_NE(out_.str().find(": 1 projects, 1 documents, 1 versions\nNo problem found\n"), std::string::npos)
        << out_.str();
    // The backup still records the original's folders: what it checks must be its own.
    if (folder != copy) std::filesystem::rename(library_.rootPath, library_.rootPath + ".away");
  }
  std::filesystem::rename(library_.rootPath + ".away", library_.rootPath);
}

TEST_F(AdminCommandTest, VerifyListsWhatIsWrongWithAStoppedLibrary) {
  ASSERT_TRUE(server_.Start());
  const std::string project = NewProject("Plans");
  FileStatistics added;
  ASSERT_EQ(server_.Document().AddDocument("plan.txt", project, "ann", "", Received("v1"), 2, added), 0);
  const std::string folder = server_.Document().GetProjectFolderPath(project) + "/";
  server_.Stop();
  const std::string statistics = StatisticsPath(folder, added.GetInternalFileName());
  const std::string groups = LibraryGroups::FilePath(library_.rootPath);
  const struct {
    const char* name;
    std::string path;
    std::optional<std::string> content;   // none: the file is removed
    std::string reason;
  } cases[] = {
      {"missing version", folder + added.GetVersionFileName(), std::nullopt,
       "version 1 of document plan.txt is missing: " + folder + added.GetVersionFileName()},
      {"version of another size", folder + added.GetVersionFileName(), "v1 grown",
       "version 1 of document plan.txt holds 8 bytes where 2 are recorded"},
      {"damaged record", statistics, "Start FileStatistics\n", "the record " + statistics + " of document plan.txt"},
      {"unfinished change", library_.rootPath + "/Journal/Change_1.wxf", "", "holds 1 unfinished change(s)"},
      {"counter behind a name", library_.rootPath + "/GenInternalValue.wxf", "1,1", "is not past the name WXFiName_Hi"},
      {"damaged groups", groups, "2,\"A\",1\n", "the groups file " + groups + " is damaged"},
      {"group member not an account", groups, "1,1,\"\",9\n2,\"A\",1\n4,9\n", "holds account 9, which the users"},
      {"group over no project", groups, "1,1,\"\",9\n2,\"A\",1\n3,\"WXFiName_Hi9Lo9\"\n",
       "covers the project WXFiName_Hi9Lo9, which the inventory does not hold"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool existed = platform::fs::Exists(c.path);
    const std::string before = existed ? platform::ScratchFolder::Read(c.path) : "";
    if (c.content) {
      std::ofstream(c.path, std::ios::binary) << *c.content;
    } else {
      ASSERT_TRUE(platform::fs::DeleteFile(c.path));
    }
    EXPECT_EQ(Admin({"verify"}), 1);
    EXPECT_NE(out_.str().find(c.reason), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("\n1 problem(s) found\n"), std::string::npos) << out_.str();
    if (existed) {
      std::ofstream(c.path, std::ios::binary) << before;
    } else {
      ASSERT_TRUE(platform::fs::DeleteFile(c.path));
    }
  }
  EXPECT_EQ(Admin({"verify"}), 0) << out_.str();
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

// How a listener planted at the administration socket's path differs from the server's.
enum class Planted { SocketOfAnotherUser, ListenerOfAnotherUser, LinkToAListener };
constexpr uid_t kNobody = 65534;

// A forked listener that stands in for the server: it reports on `report` each time
// it received bytes, and shuts the connection then, so a sender is never kept waiting.
class PlantedListener {
 public:
  PlantedListener(const std::string& socketPath, Planted how) {
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(report_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::_exit(Listen(how == Planted::LinkToAListener ? socketPath + ".elsewhere" : socketPath, socketPath, how,
                     ready[1]));
    }
    ::close(ready[1]);
    char byte = 0;
    listening_ = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
  }
  ~PlantedListener() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(report_[0]);
    ::close(report_[1]);
  }
  PlantedListener(const PlantedListener&) = delete;
  PlantedListener& operator=(const PlantedListener&) = delete;

  bool Listening() const { return listening_; }
  // Whether any bytes reached it (call once it is of no further use).
  bool Received() {
    ::close(report_[1]);
    report_[1] = -1;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    char byte = 0;
    return ::read(report_[0], &byte, 1) == 1;
  }

 private:
  int Listen(const std::string& bound, const std::string& path, Planted how, int ready) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    bound.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 1;
    if (how == Planted::SocketOfAnotherUser && ::chown(bound.c_str(), kNobody, kNobody) != 0) return 1;
    if (how == Planted::LinkToAListener && ::symlink(bound.c_str(), path.c_str()) != 0) return 1;
    // The credentials a connecting peer sees are those of listen().
    if (how == Planted::ListenerOfAnotherUser && (::setresgid(kNobody, kNobody, kNobody) != 0 ||
                                                  ::setresuid(kNobody, kNobody, kNobody) != 0)) {
      return 1;
    }
    if (::listen(fd, 4) != 0 || ::write(ready, "r", 1) != 1) return 1;
    for (;;) {
      const int connection = ::accept(fd, nullptr, nullptr);
      char bytes[64];
      if (connection >= 0 && ::read(connection, bytes, sizeof bytes) > 0) {
        if (::write(report_[1], "s", 1) != 1) return 1;
      }
      ::close(connection);
    }
  }

  pid_t pid_ = -1;
  int report_[2] = {-1, -1};
  bool listening_ = false;
};

TEST_F(AdminCommandTest, NothingIsSentToAListenerThatIsNotTheLibrarysServer) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  const struct {
    Planted how;
    const char* reason;
  } cases[] = {
      {Planted::SocketOfAnotherUser, "belongs to uid 65534"},
      {Planted::ListenerOfAnotherUser, "runs as uid 65534"},
      {Planted::LinkToAListener, "is no socket"},
  };
  for (const auto& c : cases) {
    const std::string before = UsersFile();
    PlantedListener planted(SocketPath(), c.how);
    ASSERT_TRUE(planted.Listening());
    EXPECT_EQ(Admin({"add-user", "ann"}), 1);
    EXPECT_NE(err_.str().find(c.reason), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find(SocketPath()), std::string::npos) << err_.str();
    EXPECT_EQ(out_.str(), "");
    EXPECT_FALSE(planted.Received()) << c.reason;
    EXPECT_EQ(UsersFile(), before);
    ::unlink(SocketPath().c_str());
    ::unlink((SocketPath() + ".elsewhere").c_str());
  }
}

TEST_F(AdminCommandTest, FoldersOthersMayWriteAreRefusedByTheCommandAndTheServer) {
  const struct {
    std::string folder;
    bool serverRefuses;
  } cases[] = {{library_.workingFolder, true}, {library_.rootPath, false}};
  for (const auto& c : cases) {
    const std::string before = UsersFile();
    ASSERT_EQ(::chmod(c.folder.c_str(), 0777), 0);
    EXPECT_EQ(Admin({"add-user", "ann"}), 1);
    EXPECT_NE(err_.str().find(c.folder + " may be written by other users; run \"chmod go-w " + c.folder),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(UsersFile(), before);
    server_.SetCompanionStarter(StartAdminChannel);
    ASSERT_TRUE(server_.Start());
    const std::vector<std::string> lines = server_.App().GetConsole()->GetStatusLines();
    const bool refused = std::any_of(lines.begin(), lines.end(), [&c](const std::string& line) {
      return line.find("No administration from the shell") != std::string::npos &&
             line.find(c.folder + " may be written by other users") != std::string::npos;
    });
    EXPECT_EQ(refused, c.serverRefuses);
    EXPECT_EQ(platform::fs::Exists(SocketPath()), !c.serverRefuses);
    server_.Stop();
    ASSERT_EQ(::chmod(c.folder.c_str(), 0700), 0);
  }
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

TEST_F(AdminCommandTest, ReleaseShowAndStatusOnARunningServerAndStatusWithoutOne) {
  EXPECT_EQ(Admin({"status"}), LibraryAdministrator::kNotRunning);
  EXPECT_NE(err_.str().find("No server runs in"), std::string::npos) << err_.str();
  StartWithChannel();
  ASSERT_TRUE(server_.AddUser("ann", "secret"));
  const std::string project = NewProject("Plans");
  FileStatistics added;
  ASSERT_EQ(server_.Document().AddDocument("plan.txt", project, "ann", "", Received("v1"), 2, added), 0);
  ASSERT_EQ(server_.Document().CheckOutDocuments(project, "plan.txt", -1, "ann", false, false).code, 0);
  const std::string plans = server_.Document().GetSettings().GetLibraryName() + "->Plans";

  ASSERT_EQ(Admin({"release", plans, "plan.txt"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("by ann is released; no version was made"), std::string::npos) << out_.str();
  ASSERT_EQ(Admin({"checked-out"}), 0);
  EXPECT_EQ(out_.str(), "No document is checked out\n");
  const struct {
    std::vector<std::string> command;
    const char* says;
  } refusals[] = {
      {{"release", plans, "plan.txt"}, "is not checked out"},
      {{"release", plans + "->Nope", "plan.txt"}, "No project is shown as"},
      {{"release", "Plans", "plan.txt"}, "No project is shown as"},
      {{"release", plans, "absent.txt"}, "holds no document named absent.txt"},
  };
  for (const auto& refusal : refusals) {
    EXPECT_EQ(Admin(refusal.command), LibraryAdministrator::kRefused) << refusal.command[1];
    EXPECT_NE(err_.str().find(refusal.says), std::string::npos) << err_.str();
  }

  ASSERT_EQ(Admin({"show"}), 0) << err_.str();
  for (const std::string& line : std::vector<std::string>{"Projects        1\n", "Documents       1\n", "Users           1\n",
                                 "Connected now   0\n", "Port            " + std::to_string(server_.Port())}) {
    EXPECT_NE(out_.str().find(line), std::string::npos) << line << " in\n" << out_.str();
  }
  ASSERT_EQ(Admin({"status"}), 0) << err_.str();
  EXPECT_NE(out_.str().find(" answers. Up Time is "), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("Connected now: 0\n"), std::string::npos) << out_.str();
  server_.Stop();
  EXPECT_EQ(Admin({"status"}), LibraryAdministrator::kNotRunning);
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

namespace {

// The key, the modes and the certificates that pin the key, as the shell sets them.
TEST_F(AdminCommandTest, TlsKeyAndModeAreSetFromTheShellAndCertificatesPinTheKey) {
  ASSERT_EQ(Admin({"add-user", "ann"}), 0) << err_.str();
  const std::string root = library_.rootPath;
  const std::string certificate = scratch_ / "ann.wxc";
  struct Step {
    std::vector<std::string> command;
    int result;
    std::string told;   // in the output or the error
  };
  const std::vector<Step> steps = {
      {{"set-tls", "required"}, 1, "no TLS key yet"},
      {{"tls-init", "--now"}, 1, "only --renew"},
      {{"tls-init"}, 0, "its fingerprint is "},
      {{"tls-init"}, 1, "already has a TLS key"},
      {{"set-tls", "always"}, 1, "one of off, optional, required"},
      {{"set-tls", "optional", "70000"}, 1, "1 to 65535"},
      {{"set-tls", "optional", std::to_string(server_.Port())}, 1, "a port of its own"},
      {{"set-tls", "optional"}, 0, "TLS port " + std::to_string(server_.Port() + 1)},
      {{"tls-init", "--renew"}, 0, "issue new ones (certificate NAME FILE) for ann"},
      {{"certificate", "ann", certificate}, 0, "created successfully"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.command[0] + (step.command.size() > 1 ? " " + step.command[1] : ""));
    EXPECT_EQ(Admin(step.command), step.result);
    EXPECT_NE((out_.str() + err_.str()).find(step.told), std::string::npos) << out_.str() << err_.str();
  }
  for (const std::string& file : {TlsSettings::KeyPath(root), TlsSettings::CertificatePath(root)}) {
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0) << file;
    EXPECT_EQ(status.st_mode & 0777, 0600u) << file;
  }
  std::string text;
  ASSERT_EQ(CertificateFile::Read(certificate, text), CertificateFile::ReadResult::Read);
  const std::optional<CertificatePin> pin = CertificatePin::Find(text);
  ASSERT_TRUE(pin.has_value()) << text;
  EXPECT_EQ(pin->fingerprint, TlsSettings::Fingerprint(root));
  EXPECT_EQ(pin->port, server_.Port() + 1);

  ASSERT_EQ(Admin({"show"}), 0);
  EXPECT_NE(out_.str().find("TLS optional, plain port " + std::to_string(server_.Port())), std::string::npos);
  ASSERT_EQ(Admin({"set-tls", "off"}), 0) << err_.str();
  ASSERT_EQ(Admin({"certificate", "ann", certificate}), 0) << err_.str();
  ASSERT_EQ(CertificateFile::Read(certificate, text), CertificateFile::ReadResult::Read);
  EXPECT_FALSE(CertificatePin::Find(text).has_value());   // an off library's clients speak plain
}

// On a running server each TLS change serves at once: the listener opened, moved
// and closed, the mode read at the next logon, a renewed key at the next
// handshake; a port that cannot be taken refuses the change and keeps the settings.
TEST_F(AdminCommandTest, TlsChangesOnARunningServerServeAtOnceOrChangeNothing) {
  StartWithChannel();
  std::optional<UserAccount> ann = server_.AddUser("ann", "secret", false);
  ASSERT_TRUE(ann);
  std::unique_ptr<TestClient> established;   // logged on over TLS before the later changes
  const auto logon = [&](bool tls, std::uint16_t port, std::string& fingerprint) -> std::string {
    std::unique_ptr<TestClient> client = server_.MakeClient(*ann);
    if (!(tls ? client->ConnectTls(port) : client->Connect(port))) return "no connection";
    fingerprint = client->ServerFingerprint();
    TestClient::Reply reply;
    if (client->Logon("ann", "secret", ann->GetLogonCode(), reply) != TestClient::ReceiveStatus::Ok) return "no answer";
    if (reply.message.GetMessageId() != MSGID_LOGON_ACCEPTED) return reply.message.GetBodyText();
    ann->SetLogonCode(reply.message.GetBodyText());
    if (tls && !established) established = std::move(client);
    return "accepted";
  };
  ASSERT_EQ(Admin({"tls-init"}), 0) << err_.str();
  const std::uint16_t first = testsupport::FreeListeningPort();
  const std::uint16_t second = testsupport::FreeListeningPort();
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  const platform::Socket taken = platform::Socket::Listen(second, 1);
  ASSERT_TRUE(taken.IsOpen());
  const std::string needsTls = RequestDispatcher::kTlsNeededText;
  struct Step {
    std::vector<std::string> command;
    int result;
    std::string told;
    std::string plain;   // what a plain logon gets afterwards
    std::string tls;     // and one over TLS on the first port
  };
  const std::vector<Step> steps = {
      {{"set-tls", "optional", std::to_string(first)}, 0, "TLS is optional now", "accepted", "accepted"},
      {{"set-tls", "required"}, 0, "TLS is required now", needsTls, "accepted"},
      {{"set-tls", "optional", std::to_string(second)}, 1, "cannot listen on port " + std::to_string(second),
       needsTls, "accepted"},
      {{"tls-init", "--renew"}, 0, "replaces the old one now", needsTls, "accepted"},
      {{"set-tls", "off"}, 0, "TLS is off now", "accepted", "no connection"},
  };
  std::string fingerprint;
  std::string presented;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.command[0] + " " + step.command[1]);
    const std::string wasStored = platform::ScratchFolder::Read(library_.rootPath + "/" + TlsSettings::kFileName);
    EXPECT_EQ(Admin(step.command), step.result);
    EXPECT_NE((out_.str() + err_.str()).find(step.told), std::string::npos) << out_.str() << err_.str();
    if (step.result != 0) {
      EXPECT_EQ(platform::ScratchFolder::Read(library_.rootPath + "/" + TlsSettings::kFileName), wasStored);
    }
    EXPECT_EQ(logon(false, server_.Port(), fingerprint), step.plain);
    EXPECT_EQ(logon(true, first, presented), step.tls);
    if (step.tls == "accepted") {
      EXPECT_EQ(presented, TlsSettings::Fingerprint(library_.rootPath));
    }
  }
  ASSERT_TRUE(established);
  ASSERT_NE(established->Send(MSGID_REFRESH_PROJECTS, ""), 0u);
  TestClient::Reply reply;
  ASSERT_EQ(established->Receive(reply), TestClient::ReceiveStatus::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_PROJECT_TREE);
}

TEST_F(AdminCommandTest, GroupCommandsChangeTheLiveGroupsAndRefuseWithTheRule) {
  StartWithChannel();
  ASSERT_TRUE(server_.AddUser("ann", "secret"));
  NewProject("Plans");
  const std::string plans = server_.Document().GetSettings().GetLibraryName() + "->Plans";
  const struct {
    std::vector<std::string> command;
    int result;
    std::string says;   // in what the command wrote
  } steps[] = {
      {{"leave", "ann", "Publishers"}, 0, "User ann left group Publishers"},
      {{"rights", "ann", plans}, 0, "ann is author in " + plans + " through group Authors"},
      {{"group-add", "Plan readers", "reader", plans}, 0, "Group Plan readers added: reader over " + plans},
      {{"group-add", "Plan readers", "reader"}, 1, "A group named Plan readers already exists"},
      {{"group-add", "Bad/name", "reader"}, 1, "Group name: a name cannot contain"},
      {{"group-add", "Other", "owner"}, 1, "Role: write reader, author or publisher"},
      {{"group-add", "Other", "reader", "Library->Nowhere"}, 1, "No project is shown as Library->Nowhere"},
      {{"join", "ann", "Plan readers"}, 0, "User ann joined group Plan readers"},
      {{"join", "ann", "Plan readers"}, 1, "User ann is already in group Plan readers"},
      {{"join", "bob", "Plan readers"}, 1, "No TCP/IP user is named bob"},
      {{"leave", "ann", "Authors"}, 0, "User ann left group Authors"},
      {{"leave", "ann", "Authors"}, 1, "User ann is not in group Authors"},
      {{"rights", "ann", plans}, 0, "ann is reader in " + plans + " through group Plan readers"},
      {{"rights", "ann"}, 0, "reader\t" + plans + "\tPlan readers\n"},
      {{"group-set", "Plan readers", "publisher"}, 0, "Group Plan readers is publisher over the whole library"},
      {{"group-set", "Nobody", "reader"}, 1, "No group is named Nobody"},
      {{"group-delete", "Authors"}, 1, "is the default group of new accounts"},
      {{"set-default-group", "Readers"}, 0, "New accounts join group Readers"},
      {{"group-delete", "Authors"}, 0, "Group Authors deleted"},
      {{"groups"}, 0, "Readers (default)\treader\twhole library\t\n"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.command.front());
    EXPECT_EQ(Admin(step.command), step.result) << err_.str();
    EXPECT_NE((out_.str() + err_.str()).find(step.says), std::string::npos) << out_.str() << err_.str();
  }
  // The server's groups and the file agree, and a new account joins the new default group.
  ASSERT_TRUE(server_.AddUser("cay", "secret"));
  const std::shared_ptr<const GroupTable> live = server_.Document().GetGroups().Snapshot();
  EXPECT_EQ(platform::ScratchFolder::Read(LibraryGroups::FilePath(library_.rootPath)), live->Encode());
  EXPECT_TRUE(live->Find("Readers")->HasMember(server_.Document().GetSettings().GetNextUserId()));
}

}  // namespace
