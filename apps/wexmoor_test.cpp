// Runs the built server program as a child process.
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <fstream>
#include <optional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/BuiltInKeys.h"
#include "platform/InstanceGuard.h"
#include "platform/ScratchFolder.h"
#include "platform/Socket.h"
#include "platform/fs.h"
#include "server/admin/AdminWire.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ServerSettings.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/FreePort.h"

namespace {

// The server program; with `headless` the arguments follow "--headless".
// `environment` (none: this process's) is the child's whole environment.
std::unique_ptr<ChildProcess> StartServer(const std::vector<std::string>& arguments, bool headless = true,
                                          const std::vector<std::string>* environment = nullptr) {
  std::vector<std::string> all;
  if (headless) all.push_back("--headless");
  all.insert(all.end(), arguments.begin(), arguments.end());
  ChildProcess::Options options;
  if (environment != nullptr) {
    options.environment = *environment;
    options.ownEnvironment = true;
  }
  return std::make_unique<ChildProcess>(WEXMOOR_PROGRAM, all, options);
}

// Name -> content of every file in `folder`.
std::map<std::string, std::string> FilesIn(const std::string& folder) {
  std::vector<platform::fs::FolderEntry> entries;
  EXPECT_TRUE(platform::fs::ListFolder(folder, entries));
  std::map<std::string, std::string> files;
  for (const auto& entry : entries) {
    if (!entry.isFolder) files[entry.name] = platform::ScratchFolder::Read(folder + "/" + entry.name);
  }
  return files;
}

class WexmoorProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = scratch_ / "library";
    ASSERT_TRUE(platform::fs::CreateFolder(root_));
    ASSERT_TRUE(platform::fs::CreateFolder(scratch_ / "work"));
    port_ = testsupport::FreeListeningPort();
    ServerSettings settings(CertificateBuiltInKey());
    ASSERT_TRUE(settings.EnsureUsersFile(root_));
    settings.SetPort(port_);
    ASSERT_TRUE(settings.SaveUsers(root_));
  }
  std::vector<std::string> Arguments(const std::string& work) const {
    return {"--workdir", scratch_ / work, "--create-workdir", "--root", root_};
  }
  // "wexmoor admin" on the library of working folder `work`; `input` is its standard input.
  std::unique_ptr<ChildProcess> Admin(const std::vector<std::string>& command, const std::string& input,
                                      const std::string& work = "work") const {
    std::vector<std::string> all = {"admin", "--workdir", scratch_ / work, "--root", root_};
    all.insert(all.end(), command.begin(), command.end());
    ChildProcess::Options options;
    options.withInput = true;
    auto child = std::make_unique<ChildProcess>(WEXMOOR_PROGRAM, all, options);
    child->WriteInput(input);
    child->CloseInput();
    return child;
  }

  platform::ScratchFolder scratch_;
  std::string root_;
  std::uint16_t port_ = 0;
};

TEST_F(WexmoorProgramTest, ServesUntilTerminatedAndSavesOnTheWayOut) {
  const auto server = StartServer(Arguments("work"));
  ASSERT_TRUE(server->WaitForOutput("Active user count is 0\n")) << server->Output();
  EXPECT_NE(std::string::npos, server->Output().find("Library root path is [" + root_ + "]\n"));
  EXPECT_NE(std::string::npos, server->Output().find("Listening port is " + std::to_string(port_) + "\n"));

  platform::Socket client = platform::Socket::Connect("127.0.0.1", port_);
  EXPECT_TRUE(client.IsOpen());
  client.Close();
  // Both files are written again by the shutdown.
  const std::string users = root_ + "/" + ServerSettings::kUsersFileName;
  const std::string rootFile = scratch_ / "work/WexmoorRootPath.wxf";
  ASSERT_TRUE(platform::fs::DeleteFile(users));
  ASSERT_TRUE(platform::fs::DeleteFile(rootFile));

  server->Signal(SIGTERM);
  EXPECT_EQ(0, server->Finish()) << server->Errors();
  EXPECT_TRUE(platform::fs::IsFile(users));
  EXPECT_EQ("\"" + root_ + "\",\"\",0", platform::ScratchFolder::Read(rootFile));
}

TEST_F(WexmoorProgramTest, SecondInstanceOnTheSameRootAborts) {
  const auto first = StartServer(Arguments("work1"));
  ASSERT_TRUE(first->WaitForOutput("Active user count is 0\n")) << first->Output();
  const auto second = StartServer(Arguments("work2"));
  EXPECT_NE(0, second->Finish());
  EXPECT_NE(std::string::npos,
            second->Errors().find("An instance of Wexmoor is already running and using the same Library root or the "
                                 "same listening Port.  Application aborting!"));
  first->Signal(SIGTERM);
  EXPECT_EQ(0, first->Finish());
}

TEST_F(WexmoorProgramTest, ALockFileThatIsALinkIsNamedAsTheReasonTheServerDoesNotStart) {
  const std::string locks = scratch_ / "locks";
  ASSERT_EQ(0, ::mkdir(locks.c_str(), 0700));
  const std::string lockFile = locks + "/" + platform::InstanceGuard::LockFileName(CWexmoorDoc::RootGuardName(root_));
  ASSERT_EQ(0, ::symlink((scratch_ / "elsewhere").c_str(), lockFile.c_str()));
  std::vector<std::string> environment;
  for (const std::string& variable : ChildProcess::EnvironmentWithoutDisplay()) {
    if (variable.rfind("XDG_RUNTIME_DIR=", 0) != 0) environment.push_back(variable);
  }
  environment.push_back("XDG_RUNTIME_DIR=" + locks);
  const auto server = StartServer(Arguments("work"), /*headless=*/true, &environment);
  EXPECT_EQ(1, server->Finish());
  EXPECT_NE(std::string::npos, server->Errors().find("the lock file " + lockFile + " is a link")) << server->Errors();
  EXPECT_EQ(std::string::npos, server->Errors().find("already running")) << server->Errors();
}

TEST_F(WexmoorProgramTest, DamagedInventoryIsReportedAndLeftAsItIs) {
  const std::string inventory = root_ + "/WexmoorInventory.wxf";
  std::ofstream(inventory, std::ios::binary)
      << "Start Project\nA\n/lib/A\nA\n0\n0\n0\n" + std::string(1024 * 1024 + 1, 'x') + "\n";
  const std::map<std::string, std::string> before = FilesIn(root_);

  const auto server = StartServer(Arguments("work"));
  EXPECT_EQ(1, server->Finish());
  EXPECT_NE(std::string::npos, server->Errors().find(inventory + " cannot be read: top-level project 1 holds a line"))
      << server->Errors();
  EXPECT_TRUE(FilesIn(root_) == before) << "nothing set aside, replaced or added";
}

TEST_F(WexmoorProgramTest, BusyPortIsTriedAgainUntilItIsFree) {
  platform::Socket busy = platform::Socket::Listen(port_, 1);
  ASSERT_TRUE(busy.IsOpen());
  const auto server = StartServer(Arguments("work"));
  const std::string port = std::to_string(port_);
  const std::string busyLine = "Cannot listen on port " + port + ": Address already in use; trying again in 10 s\n";
  ASSERT_TRUE(server->WaitForOutput(busyLine)) << server->Output() << server->Errors();
  busy.Close();
  ASSERT_TRUE(server->WaitForOutput("The port " + port + " is free: listening\n")) << server->Output();
  platform::Socket client = platform::Socket::Connect("127.0.0.1", port_);
  EXPECT_TRUE(client.IsOpen());
  client.Close();
  server->Signal(SIGTERM);
  EXPECT_EQ(0, server->Finish()) << server->Errors();
}

TEST_F(WexmoorProgramTest, WithoutHeadlessAndWithoutADisplayItSaysSoAndEnds) {
  const std::vector<std::string> environment = ChildProcess::EnvironmentWithoutDisplay();
  const auto server = StartServer(Arguments("work"), /*headless=*/false, &environment);
#ifdef WEX_WITH_UI
  EXPECT_EQ(1, server->Finish());
  EXPECT_NE(std::string::npos, server->Errors().find("no display")) << server->Errors();
  EXPECT_NE(std::string::npos, server->Errors().find("wexmoor --headless")) << server->Errors();
#else
  EXPECT_EQ(64, server->Finish());
  EXPECT_NE(std::string::npos, server->Errors().find("only --headless is supported")) << server->Errors();
#endif
  EXPECT_FALSE(platform::fs::IsFile(scratch_ / "work/WexmoorRootPath.wxf"));
}

TEST_F(WexmoorProgramTest, HelpPrintsTheUsageAndSucceeds) {
  const std::string missing = scratch_ / "missing";
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--help"}, {"--workdir", missing, "--help"}, {"--headless", "--help"},
        {"admin", "--help"}, {"admin", "--workdir", missing, "--help"}}) {
    const auto server = StartServer(arguments, /*headless=*/false);
    EXPECT_EQ(0, server->Finish()) << arguments.size() << ": " << server->Errors();
    EXPECT_EQ("", server->Errors());
    EXPECT_EQ(0u, server->Output().rfind("usage: wexmoor ", 0)) << server->Output();
  }
  EXPECT_FALSE(platform::fs::Exists(missing));
}

TEST_F(WexmoorProgramTest, AMissingWorkingFolderIsRefusedUnlessItIsToBeMade) {
  const std::string missing = scratch_ / "missing";
  const auto server = StartServer({"--workdir", missing, "--root", root_});
  EXPECT_EQ(1, server->Finish());
  EXPECT_NE(std::string::npos, server->Errors().find(missing + " does not exist; check --workdir")) << server->Errors();
  EXPECT_FALSE(platform::fs::Exists(missing));
}

TEST_F(WexmoorProgramTest, AFirstStartWithoutARootSaysWhichFolderBecameTheRoot) {
  const auto server = StartServer({"--workdir", root_});
  ASSERT_TRUE(server->WaitForOutput("Active user count is 0\n")) << server->Output() << server->Errors();
  EXPECT_NE(std::string::npos, server->Output().find("the working folder \"" + root_ + "\" became the library root"))
      << server->Output();
  server->Signal(SIGTERM);
  EXPECT_EQ(0, server->Finish());
}

TEST_F(WexmoorProgramTest, AdminReachesTheRunningServerAndOtherwiseTheLibraryItself) {
  const std::string socket = scratch_ / (std::string("work/") + AdminWire::kSocketName);
  const auto stored = [this] {
    ServerSettings settings(CertificateBuiltInKey());
    EXPECT_TRUE(settings.LoadUsers(root_));
    return settings.GetUserCount() == 1 ? *settings.GetUser(0) : UserAccount();
  };
  const auto added = Admin({"add-user", "ann", scratch_ / "ann.wxc"}, "secret\n");
  ASSERT_EQ(0, added->Finish()) << added->Errors();
  EXPECT_TRUE(platform::fs::IsFile(scratch_ / "ann.wxc"));
  EXPECT_EQ("secret", stored().GetPassword());

  auto server = StartServer(Arguments("work"));
  ASSERT_TRUE(server->WaitForOutput("Active user count is 0\n")) << server->Output();
  struct stat status {};
  ASSERT_EQ(0, ::stat(socket.c_str(), &status));
  EXPECT_EQ(0600u, status.st_mode & 0777);
  const auto renewed = Admin({"set-password", "ann"}, "newer\n");
  ASSERT_EQ(0, renewed->Finish()) << renewed->Errors();
  EXPECT_NE(std::string::npos, renewed->Output().find("User ann password set")) << renewed->Output();
  EXPECT_EQ("newer", stored().GetPassword()) << "saved before the reply";

  // A killed server leaves its socket: the next command works on the library, the
  // next server replaces the socket.
  server->Signal(SIGKILL);
  server->Finish();
  ASSERT_TRUE(platform::fs::Exists(socket));
  const auto unlocked = Admin({"unlock", "ann"}, "");
  EXPECT_EQ(0, unlocked->Finish()) << unlocked->Errors();
  server = StartServer(Arguments("work"));
  ASSERT_TRUE(server->WaitForOutput("Active user count is 0\n")) << server->Output();
  const auto listed = Admin({"users"}, "");
  EXPECT_EQ(0, listed->Finish()) << listed->Errors();
  EXPECT_NE(std::string::npos, listed->Output().find("ann ")) << listed->Output();
  server->Signal(SIGTERM);
  EXPECT_EQ(0, server->Finish()) << server->Errors();
  EXPECT_FALSE(platform::fs::Exists(socket));

  const auto noPassword = Admin({"set-password", "ann"}, "");
  EXPECT_EQ(1, noPassword->Finish());
  EXPECT_NE(std::string::npos, noPassword->Errors().find("No password was given")) << noPassword->Errors();
}

TEST_F(WexmoorProgramTest, ABackupIsAdministeredAndServedOnItsOwnPortBesideTheLiveServer) {
  const auto added = Admin({"add-user", "ann"}, "secret\n");
  ASSERT_EQ(0, added->Finish()) << added->Errors();
  const auto live = StartServer(Arguments("work"));
  ASSERT_TRUE(live->WaitForOutput("Active user count is 0\n")) << live->Output();
  const auto backup = Admin({"backup", scratch_ / "copy"}, "");
  ASSERT_EQ(0, backup->Finish()) << backup->Errors();
  const std::string liveUsers = platform::ScratchFolder::Read(root_ + "/" + ServerSettings::kUsersFileName);

  // The copy carries the live port, which the running server holds.
  const auto listed = Admin({"users"}, "", "copy");
  EXPECT_EQ(0, listed->Finish()) << listed->Errors();
  EXPECT_NE(std::string::npos, listed->Output().find("ann ")) << listed->Output();
  const std::uint16_t copyPort = testsupport::FreeListeningPort();
  const auto moved = Admin({"set-port", std::to_string(copyPort)}, "", "copy");
  ASSERT_EQ(0, moved->Finish()) << moved->Errors();

  const auto copy = StartServer({"--workdir", scratch_ / "copy"});
  ASSERT_TRUE(copy->WaitForOutput("Active user count is 0\n")) << copy->Output() << copy->Errors();
  EXPECT_NE(std::string::npos, copy->Output().find("Listening port is " + std::to_string(copyPort) + "\n"));
  copy->Signal(SIGTERM);
  EXPECT_EQ(0, copy->Finish()) << copy->Errors();
  EXPECT_EQ(liveUsers, platform::ScratchFolder::Read(root_ + "/" + ServerSettings::kUsersFileName));
  live->Signal(SIGTERM);
  EXPECT_EQ(0, live->Finish()) << live->Errors();
}

// What a stranger's attempt on the administration socket came to (a child's exit status).
enum StrangerOutcome { kDoorShut = 10, kServerRefused = 11, kServerAnswered = 12, kOther = 13 };

// As user 65534: asks the server at `socket` to delete "ann".
int ActAsStranger(const std::string& socket) {
  if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) return kOther;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socket.copy(address.sun_path, sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return errno == EACCES ? kDoorShut : kOther;
  }
  AdminWire::WriteFrame(fd, AdminWire::Encode(AdminWire::Request{{"delete-user", "ann"}, std::nullopt}));
  std::string body;
  AdminWire::Reply reply;
  if (!AdminWire::ReadFrame(fd, body, AdminWire::kMaxReplyBytes, AdminWire::kPeerBound) ||
      !AdminWire::Decode(body, reply)) {
    return kOther;
  }
  const bool refused = reply.status == 1 && reply.err.find("only from the user it runs as") != std::string::npos;
  return refused ? kServerRefused : kServerAnswered;
}

TEST_F(WexmoorProgramTest, AStrangersConnectionToTheAdministrationSocketIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  const auto added = Admin({"add-user", "ann"}, "secret\n");
  ASSERT_EQ(0, added->Finish()) << added->Errors();
  // The stranger may reach the folder; the socket's mode and the server decide.
  ASSERT_EQ(0, ::chmod(scratch_.Path().c_str(), 0755));
  const auto server = StartServer(Arguments("work"));
  ASSERT_TRUE(server->WaitForOutput("Active user count is 0\n")) << server->Output();
  ASSERT_EQ(0, ::chmod((scratch_ / "work").c_str(), 0755));
  const std::string socket = scratch_ / (std::string("work/") + AdminWire::kSocketName);
  const std::string users = root_ + "/" + ServerSettings::kUsersFileName;
  const struct {
    mode_t mode;
    int outcome;
  } cases[] = {{0600, kDoorShut}, {0666, kServerRefused}};
  for (const auto& c : cases) {
    ASSERT_EQ(0, ::chmod(socket.c_str(), c.mode));
    const std::string before = platform::ScratchFolder::Read(users);
    const pid_t child = ::fork();
    if (child == 0) ::_exit(ActAsStranger(socket));
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.outcome) << std::oct << c.mode << " " << status;
    EXPECT_EQ(before, platform::ScratchFolder::Read(users));
  }
  server->Signal(SIGTERM);
  EXPECT_EQ(0, server->Finish()) << server->Errors();
}

// The datagram socket a service manager listens on for the service's state lines.
class ServiceManagerSocket {
 public:
  explicit ServiceManagerSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~ServiceManagerSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  ServiceManagerSocket(const ServiceManagerSocket&) = delete;
  ServiceManagerSocket& operator=(const ServiceManagerSocket&) = delete;

  bool Bound() const { return bound_; }
  // The next datagram, or nullopt after 20 s.
  std::optional<std::string> Receive() const {
    pollfd ready{fd_, POLLIN, 0};
    if (::poll(&ready, 1, 20000) != 1) return std::nullopt;
    char text[256];
    const ssize_t length = ::recv(fd_, text, sizeof text, 0);
    if (length < 0) return std::nullopt;
    return std::string(text, static_cast<std::size_t>(length));
  }

 private:
  int fd_;
  bool bound_ = false;
};

TEST_F(WexmoorProgramTest, ServiceManagerHearsReadyOnceThePortListensThenHeartbeatsThenStopping) {
  const std::string notifySocket = scratch_ / "notify";
  const ServiceManagerSocket serviceManager(notifySocket);
  ASSERT_TRUE(serviceManager.Bound());
  std::vector<std::string> environment = ChildProcess::EnvironmentWithoutDisplay();
  environment.push_back("NOTIFY_SOCKET=" + notifySocket);
  environment.push_back("WATCHDOG_USEC=200000");
  const auto server = StartServer(Arguments("work"), /*headless=*/true, &environment);

  EXPECT_EQ(serviceManager.Receive(), "READY=1") << server->Errors();
  platform::Socket client = platform::Socket::Connect("127.0.0.1", port_);
  EXPECT_TRUE(client.IsOpen()) << "ready before the port listens";
  client.Close();
  EXPECT_EQ(serviceManager.Receive(), "WATCHDOG=1");
  server->Signal(SIGTERM);
  std::optional<std::string> last;
  do {
    last = serviceManager.Receive();
  } while (last == "WATCHDOG=1");
  EXPECT_EQ(last, "STOPPING=1");
  EXPECT_EQ(0, server->Finish()) << server->Errors();
}

}  // namespace
