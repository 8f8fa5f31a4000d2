// Runs the built server program as a child process.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/BuiltInKeys.h"
#include "platform/ScratchFolder.h"
#include "platform/Socket.h"
#include "platform/fs.h"
#include "server/store/ServerSettings.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The server program with its standard output and error read through pipes.
class ServerChild {
 public:
  // With `headless` the arguments follow "--headless"; `environment` (none: this
  // process's) is the child's whole environment.
  explicit ServerChild(const std::vector<std::string>& arguments, bool headless = true,
                       const std::vector<std::string>* environment = nullptr) {
    int out[2], err[2];
    EXPECT_EQ(0, pipe(out));
    EXPECT_EQ(0, pipe(err));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (const int fd : {out[0], out[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<std::string> all{WEXMOOR_PROGRAM};
    if (headless) all.push_back("--headless");
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = environment != nullptr ? *environment : std::vector<std::string>{};
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    EXPECT_EQ(0, posix_spawn(&pid_, WEXMOOR_PROGRAM, &actions, nullptr, argv.data(),
                             environment != nullptr ? envp.data() : environ));
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~ServerChild() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_);
    close(err_);
  }

  // Reads standard output until it holds `text` (bounded).
  bool WaitForOutput(const std::string& text) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (output_.find(text) == std::string::npos && Clock::now() < deadline) {
      if (!ReadSome(out_, output_)) return output_.find(text) != std::string::npos;
    }
    return output_.find(text) != std::string::npos;
  }
  // Reads both pipes to their end, then reaps the child: its exit status, or -1.
  int Finish() {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (ReadSome(out_, output_) && Clock::now() < deadline) {
    }
    while (ReadSome(err_, errors_) && Clock::now() < deadline) {
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Terminate() { kill(pid_, SIGTERM); }
  const std::string& Output() const { return output_; }
  const std::string& Errors() const { return errors_; }

 private:
  // False at the end of the pipe.
  static bool ReadSome(int fd, std::string& into) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) return true;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    into.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string output_;
  std::string errors_;
};

class WexmoorProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = scratch_ / "library";
    ASSERT_TRUE(platform::fs::CreateFolder(root_));
    port_ = platform::Socket::Listen(0, 1, "127.0.0.1").LocalPort();
    ServerSettings settings(CertificateBuiltInKey());
    ASSERT_TRUE(settings.EnsureUsersFile(root_));
    settings.SetPort(port_);
    ASSERT_TRUE(settings.SaveUsers(root_));
  }
  std::vector<std::string> Arguments(const std::string& work) const {
    return {"--workdir", scratch_ / work, "--root", root_};
  }

  platform::ScratchFolder scratch_;
  std::string root_;
  std::uint16_t port_ = 0;
};

TEST_F(WexmoorProgramTest, ServesUntilTerminatedAndSavesOnTheWayOut) {
  ServerChild server(Arguments("work"));
  ASSERT_TRUE(server.WaitForOutput("Active user count is 0\n")) << server.Output();
  EXPECT_NE(std::string::npos, server.Output().find("Library root path is [" + root_ + "]\n"));
  EXPECT_NE(std::string::npos, server.Output().find("Listening port is " + std::to_string(port_) + "\n"));

  platform::Socket client = platform::Socket::Connect("127.0.0.1", port_);
  EXPECT_TRUE(client.IsOpen());
  client.Close();
  // Both files are written again by the shutdown.
  const std::string users = root_ + "/" + ServerSettings::kUsersFileName;
  const std::string rootFile = scratch_ / "work/WexmoorRootPath.wxf";
  ASSERT_TRUE(platform::fs::DeleteFile(users));
  ASSERT_TRUE(platform::fs::DeleteFile(rootFile));

  server.Terminate();
  EXPECT_EQ(0, server.Finish()) << server.Errors();
  EXPECT_TRUE(platform::fs::IsFile(users));
  EXPECT_EQ("\"" + root_ + "\",\"\",0", platform::ScratchFolder::Read(rootFile));
}

TEST_F(WexmoorProgramTest, SecondInstanceOnTheSameRootAborts) {
  ServerChild first(Arguments("work1"));
  ASSERT_TRUE(first.WaitForOutput("Active user count is 0\n")) << first.Output();
  ServerChild second(Arguments("work2"));
  EXPECT_NE(0, second.Finish());
  EXPECT_NE(std::string::npos,
            second.Errors().find("An instance of Wexmoor is already running and using the same Library root or the "
                                 "same listening Port.  Application aborting!"));
  first.Terminate();
  EXPECT_EQ(0, first.Finish());
}

TEST_F(WexmoorProgramTest, BusyPortEndsWithAFailure) {
  platform::Socket busy = platform::Socket::Listen(port_, 1);
  ASSERT_TRUE(busy.IsOpen());
  ServerChild server(Arguments("work"));
  EXPECT_EQ(2, server.Finish());
  EXPECT_NE(std::string::npos, server.Errors().find("Cannot listen on port " + std::to_string(port_)));
}

// This process's environment without anything that names a display.
std::vector<std::string> EnvironmentWithoutDisplay() {
  std::vector<std::string> kept;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string text = *variable;
    const std::string name = text.substr(0, text.find('='));
    if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "QT_QPA_PLATFORM") kept.push_back(text);
  }
  return kept;
}

TEST_F(WexmoorProgramTest, WithoutHeadlessAndWithoutADisplayItSaysSoAndEnds) {
  const std::vector<std::string> environment = EnvironmentWithoutDisplay();
  ServerChild server(Arguments("work"), /*headless=*/false, &environment);
#ifdef WEX_WITH_UI
  EXPECT_EQ(1, server.Finish());
  EXPECT_NE(std::string::npos, server.Errors().find("no display")) << server.Errors();
  EXPECT_NE(std::string::npos, server.Errors().find("wexmoor --headless")) << server.Errors();
#else
  EXPECT_EQ(64, server.Finish());
  EXPECT_NE(std::string::npos, server.Errors().find("only --headless is supported")) << server.Errors();
#endif
  EXPECT_FALSE(platform::fs::IsFile(scratch_ / "work/WexmoorRootPath.wxf"));
}

}  // namespace
