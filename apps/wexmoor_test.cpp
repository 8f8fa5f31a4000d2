// Runs the built server program as a child process.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/BuiltInKeys.h"
#include "platform/ScratchFolder.h"
#include "platform/Socket.h"
#include "platform/fs.h"
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
    port_ = testsupport::FreeListeningPort();
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
  const auto server = StartServer({"--help"}, /*headless=*/false);
  EXPECT_EQ(0, server->Finish());
  EXPECT_EQ(0u, server->Output().rfind("usage: wexmoor ", 0)) << server->Output();
}

TEST_F(WexmoorProgramTest, AdminReadsThePasswordFromStandardInputAndIsRefusedWhileTheServerRuns) {
  const auto admin = [this](const std::vector<std::string>& command, const std::string& input) {
    std::vector<std::string> all = {"admin", "--workdir", scratch_ / "work", "--root", root_};
    all.insert(all.end(), command.begin(), command.end());
    ChildProcess::Options options;
    options.withInput = true;
    auto child = std::make_unique<ChildProcess>(WEXMOOR_PROGRAM, all, options);
    child->WriteInput(input);
    child->CloseInput();
    return child;
  };
  const auto added = admin({"add-user", "ann", scratch_ / "ann.wxc"}, "secret\n");
  ASSERT_EQ(0, added->Finish()) << added->Errors();
  EXPECT_TRUE(platform::fs::IsFile(scratch_ / "ann.wxc"));
  ServerSettings stored(CertificateBuiltInKey());
  ASSERT_TRUE(stored.LoadUsers(root_));
  ASSERT_EQ(1, stored.GetUserCount());
  EXPECT_EQ("secret", stored.GetUser(0)->GetPassword());

  const auto server = StartServer(Arguments("work"));
  ASSERT_TRUE(server->WaitForOutput("Active user count is 0\n")) << server->Output();
  const auto refused = admin({"unlock", "ann"}, "");
  EXPECT_EQ(1, refused->Finish());
  EXPECT_NE(std::string::npos, refused->Errors().find("a running server holds it")) << refused->Errors();
  server->Signal(SIGTERM);
  EXPECT_EQ(0, server->Finish());
  const auto noPassword = admin({"set-password", "ann"}, "");
  EXPECT_EQ(1, noPassword->Finish());
  EXPECT_NE(std::string::npos, noPassword->Errors().find("No password was given")) << noPassword->Errors();
}

}  // namespace
