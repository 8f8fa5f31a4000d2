#include "server/engine/ServerConsole.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "common/MessageIds.h"
#include "common/Msg.h"
#include "platform/MemoryPools.h"
#include "server/engine/EngineTestLibrary_test.h"
#include "server/engine/RTE.h"
#include "server/engine/StartSockets.h"
#include "testsupport/FreePort.h"

namespace {

using enginetest::Library;
using enginetest::WaitUntil;
using Clock = std::chrono::steady_clock;

class ServerConsoleTest : public ::testing::Test {
 protected:
  // A console listening on a fresh port (or on `port`).
  std::unique_ptr<ServerConsole> StartConsole(int port = 0) {
    library_.Document().GetSettings().SetPort(port != 0 ? port : testsupport::FreeListeningPort());
    auto console = std::make_unique<ServerConsole>(library_.App(), library_.Document());
    console->Start();
    return console;
  }
  platform::Socket Connect() {
    return platform::Socket::Connect("127.0.0.1", static_cast<std::uint16_t>(library_.Document().GetSettings().GetPort()));
  }

  Library library_;
};

TEST(ServerConsoleTexts, UpTimeCarriesIntoWeeks) {
  EXPECT_EQ("Up Time is 0 week(s), 6 day(s), 23 hour(s), 59 minute(s)", ServerConsole::FormatUpTime(10079));
  EXPECT_EQ("Up Time is 1 week(s), 0 day(s), 0 hour(s), 0 minute(s)", ServerConsole::FormatUpTime(10080));
  EXPECT_EQ("Up Time is 0 week(s), 0 day(s), 1 hour(s), 1 minute(s)", ServerConsole::FormatUpTime(61));
}

TEST(ServerConsoleTexts, OnlyAnAddressNobodySetGivesWayToTheHostName) {
  EXPECT_TRUE(FollowsHostName(""));
  EXPECT_TRUE(FollowsHostName(ServerSettings::kNewLibraryServerAddress));
  EXPECT_FALSE(FollowsHostName("192.0.2.10"));
  EXPECT_FALSE(FollowsHostName("server.example"));
}

TEST_F(ServerConsoleTest, StatusLinesDescribeTheServer) {
  auto console = StartConsole();
  ASSERT_EQ(ServerConsole::ListenerState::Listening, console->WaitForListener(std::chrono::seconds(10)));
  const std::vector<std::string> lines = console->GetStatusLines();
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ(0u, lines[0].find("Wexmoor started at "));
  EXPECT_EQ("Library Name is Default Library Name", lines[1]);
  EXPECT_EQ("Library root path is [" + library_.Root() + "]", lines[2]);
  EXPECT_EQ("Listening port is " + std::to_string(library_.Document().GetSettings().GetPort()), lines[4]);
  EXPECT_EQ("Up Time is 0 week(s), 0 day(s), 0 hour(s), 0 minute(s)", console->GetUpTimeText());
  EXPECT_EQ("Active user count is 0", console->GetActiveUserText());
}

TEST_F(ServerConsoleTest, ListenerFailuresAreReportedWithPortAndReason) {
  platform::Socket busy = platform::Socket::Listen(0, 1);
  struct Case {
    int port;
    ServerConsole::ListenerState state;
  };
  for (const Case& c : {Case{busy.LocalPort(), ServerConsole::ListenerState::WaitingForPort},
                        Case{70000, ServerConsole::ListenerState::Failed},
                        Case{0, ServerConsole::ListenerState::Failed}}) {
    const int port = c.port;
    SCOPED_TRACE(port);
    library_.Document().GetSettings().SetPort(port);
    ServerConsole console(library_.App(), library_.Document());
    console.Start();
    ASSERT_EQ(c.state, console.WaitForListener(std::chrono::seconds(10)));
    EXPECT_NE(std::string::npos, console.GetListenerFailure().find(std::to_string(port)));
    const std::vector<std::string> lines = console.GetStatusLines();
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), console.GetListenerFailure()));
    console.Shutdown();
    EXPECT_EQ(0, library_.App().GetThreadCount());
    EXPECT_EQ(0u, console.GetListedEngineCount());
  }
}

TEST_F(ServerConsoleTest, ShutdownWithoutClientsEndsPromptlyAndThePortIsFreeAgain) {
  auto console = StartConsole();
  ASSERT_EQ(ServerConsole::ListenerState::Listening, console->WaitForListener(std::chrono::seconds(10)));
  const int port = library_.Document().GetSettings().GetPort();
  {
    platform::Socket client = Connect();   // leaves a closed connection on the port
    ASSERT_TRUE(WaitUntil([&] { return console->GetActiveUserCount() == 1; }));
  }
  const auto begun = Clock::now();
  console->Shutdown();
  EXPECT_LT(Clock::now() - begun, std::chrono::seconds(5));
  EXPECT_EQ(0, library_.App().GetThreadCount());

  auto again = StartConsole(port);
  EXPECT_EQ(ServerConsole::ListenerState::Listening, again->WaitForListener(std::chrono::seconds(10)));
}

TEST_F(ServerConsoleTest, ThreeClientsRunOnAConnectionThreadEach) {
  auto console = StartConsole();
  ASSERT_EQ(ServerConsole::ListenerState::Listening, console->WaitForListener(std::chrono::seconds(10)));
  std::vector<platform::Socket> clients;
  for (int i = 0; i < 3; ++i) clients.push_back(Connect());
  ASSERT_TRUE(WaitUntil([&] { return console->GetActiveUserCount() == 3; }));
  ASSERT_TRUE(WaitUntil([&] { return console->GetLiveConnectionThreadCount() == 3; }));
  EXPECT_EQ(4, library_.App().GetThreadCount());   // three connections and the listener
  console->Tick();
  EXPECT_EQ("Active user count is 3,       Locked out user count is 0", console->GetActiveUserText());
}

TEST_F(ServerConsoleTest, FreeMemoryIsHandedBackOnceTheLastConnectionHasGone) {
  // Static: the hook may outlive a failed assertion.
  static std::atomic<int> handedBack{0};
  handedBack = 0;
  platform::SetHandBackHookForTesting([] { ++handedBack; });
  auto console = StartConsole();
  ASSERT_EQ(ServerConsole::ListenerState::Listening, console->WaitForListener(std::chrono::seconds(10)));
  std::vector<platform::Socket> clients;
  for (int i = 0; i < 2; ++i) clients.push_back(Connect());
  ASSERT_TRUE(WaitUntil([&] { return console->GetLiveConnectionThreadCount() == 2; }));
  EXPECT_EQ(0, handedBack.load());
  for (platform::Socket& client : clients) client.Close();
  EXPECT_TRUE(WaitUntil([&] { return handedBack.load() > 0; }));
  platform::SetHandBackHookForTesting(nullptr);
}

TEST_F(ServerConsoleTest, TickListsLoggedOnAndLockedOutUsers) {
  UserAccount locked;
  locked.SetId(8);
  locked.SetName("bob");
  locked.LockOut();
  library_.Document().GetSettings().AddUser(locked);
  auto console = StartConsole();
  ASSERT_EQ(ServerConsole::ListenerState::Listening, console->WaitForListener(std::chrono::seconds(10)));
  console->Tick();
  EXPECT_EQ((std::vector<std::string>{"bob (Locked out)"}), console->GetUserLines());
  EXPECT_EQ("Active user count is 0,       Locked out user count is 1", console->GetActiveUserText());
}

TEST_F(ServerConsoleTest, ManyShortConnectionsKeepListAndThreadsBounded) {
  auto console = StartConsole();
  ASSERT_EQ(ServerConsole::ListenerState::Listening, console->WaitForListener(std::chrono::seconds(10)));
  // A header from an unknown user: the server ends the connection at once.
  std::string stranger = library_.Frame(MSGID_LOGON, "", true);
  stranger[0] = static_cast<char>(stranger[0] ^ 1);
  std::size_t mostListed = 0;
  int mostThreads = 0;
  for (int i = 0; i < 2000; ++i) {
    enginetest::Loopback client(Connect());
    ASSERT_TRUE(client.Send(stranger));
    ASSERT_TRUE(client.ClosedByServer());
    mostListed = std::max(mostListed, console->GetListedEngineCount());
    mostThreads = std::max(mostThreads, library_.App().GetThreadCount());
  }
  // Ended connections are reaped while the server runs: the list never grows with the
  // number of cycles (a few may linger while their threads finish on a busy machine).
  EXPECT_LE(mostListed, 16u);
  EXPECT_LE(mostThreads, 16);
  ASSERT_TRUE(WaitUntil([&] { return console->GetActiveUserCount() == 0; }));
  console->Tick();
  EXPECT_LE(console->GetListedEngineCount(), 1u);
  EXPECT_TRUE(WaitUntil([&] { return console->GetLiveConnectionThreadCount() == 0; }));
}

TEST_F(ServerConsoleTest, ShutdownWithClientsMidTransferEndsInBound) {
  auto console = StartConsole();
  ASSERT_EQ(ServerConsole::ListenerState::Listening, console->WaitForListener(std::chrono::seconds(10)));
  // Each client announces the longest logon body and sends only part of it.
  const std::string frame = library_.Frame(MSGID_LOGON, std::string(RTE::kMaxLogonBodyLength, 'b'), true);
  std::vector<platform::Socket> clients;
  for (int i = 0; i < 8; ++i) {
    clients.push_back(Connect());
    const std::string part = frame.substr(0, Msg::kHeaderSize + 100);
    std::size_t sent = 0;
    while (sent < part.size()) {
      const platform::IoResult result = clients.back().Send(part.data() + sent, part.size() - sent);
      ASSERT_NE(platform::IoStatus::Failed, result.status);
      sent += result.bytes;
      if (sent < part.size()) clients.back().WaitWritable(100);
    }
  }
  ASSERT_TRUE(WaitUntil([&] { return console->GetActiveUserCount() == 8; }));
  const auto begun = Clock::now();
  console->Shutdown();
  EXPECT_LT(Clock::now() - begun, std::chrono::seconds(5));
  EXPECT_EQ(0u, console->GetListedEngineCount());
  EXPECT_EQ(0, library_.App().GetThreadCount());
}

}  // namespace
