#include "server/engine/StartSockets.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <vector>

#include "common/MessageIds.h"
#include "server/engine/EngineTestLibrary_test.h"
#include "server/engine/RTE.h"
#include "server/engine/ServerConsole.h"
#include "testsupport/FreePort.h"
#include "testsupport/TestServer.h"

namespace {

using enginetest::Library;
using enginetest::Loopback;
using enginetest::WaitUntil;

TEST(ConnectionBoundTest, LimitsLeaveRoomForFilesAndThreads) {
  EXPECT_EQ(1024, ConnectionBound(RLIM_INFINITY, RLIM_INFINITY));
  EXPECT_EQ(42, ConnectionBound(256, RLIM_INFINITY));   // three descriptors each after the reserve
  EXPECT_EQ(34, ConnectionBound(RLIM_INFINITY, 120));   // three threads each after the reserve
  EXPECT_EQ(1, ConnectionBound(100, 10));
  // Connections not logged on: a quarter, never more than 25.
  EXPECT_EQ(25, StrangerBound(1024));
  EXPECT_EQ(10, StrangerBound(42));
  EXPECT_EQ(1, StrangerBound(1));
}

TEST(ConnectionBoundTest, ConnectionsBeyondTheBoundAreClosedAndTheOthersServed) {
  Library library;
  // Every request is answered with its stamp.
  library.App().SetMessageHandler([](RTE& engine, const Msg& request) {
    Msg& reply = engine.GetReplyMessage();
    reply.SetMessageId(MSGID_BYE);
    reply.SetBody(std::string());
    reply.SetOriginalStamp(request.GetOriginalStamp());
    return engine.QueueMessage(reply);
  });
  SetConnectionBoundForTesting(2, 2);
  const std::uint16_t port = testsupport::FreeListeningPort();
  library.Document().GetSettings().SetPort(port);
  ServerConsole console(library.App(), library.Document());
  console.Start();
  ASSERT_EQ(ServerConsole::ListenerState::Listening, console.WaitForListener(std::chrono::seconds(10)));

  auto connect = [port] { return std::make_unique<Loopback>(platform::Socket::Connect("127.0.0.1", port)); };
  std::vector<std::unique_ptr<Loopback>> served;
  for (int i = 0; i < 2; ++i) served.push_back(connect());
  ASSERT_TRUE(WaitUntil([&] { return console.GetActiveUserCount() == 2; }));
  EXPECT_TRUE(connect()->ClosedByServer());

  std::uint32_t stamp = 10;
  for (const auto& client : served) {
    ASSERT_TRUE(client->Send(library.Frame(MSGID_REFRESH_PROJECTS, "", true, ++stamp)));
    EXPECT_EQ(stamp, library.DecodeHeader(client->Receive(Msg::kHeaderSize)).GetOriginalStamp());
  }
  console.Shutdown();
  SetConnectionBoundForTesting(0, 0);
}

// Peers that connect and send nothing fill the places of connections not logged
// on; a rush of honest logons beside them is still served, and the console says
// the bound was reached.
TEST(StrangerBoundTest, IdleConnectionsNeverKeepHonestLogonsOut) {
  constexpr int kIdle = 200;
  constexpr int kHonest = 30;   // more than the bound for connections not logged on
  TestServer server;
  ASSERT_TRUE(server.Start());
  std::vector<UserAccount> accounts;
  for (int i = 0; i < kHonest; ++i) {
    const std::optional<UserAccount> account = server.AddUser("u" + std::to_string(i), "secret", false);
    ASSERT_TRUE(account.has_value());
    accounts.push_back(*account);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(server.Port());
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::atomic<bool> never{false};
  std::vector<platform::Socket> idle;
  for (int i = 0; i < kIdle; ++i) idle.push_back(platform::Socket::ConnectStoppable(address, never, 2000));

  std::vector<std::unique_ptr<TestClient>> honest;
  std::vector<std::uint32_t> stamps;
  for (const UserAccount& account : accounts) {
    honest.push_back(server.MakeClient(account));
    ASSERT_TRUE(honest.back()->Connect(server.Port()));
    stamps.push_back(honest.back()->SendLogon(account.GetName(), "secret", account.GetLogonCode()));
  }
  for (std::size_t i = 0; i < honest.size(); ++i) {
    SCOPED_TRACE(accounts[i].GetName());
    TestClient::Reply reply;
    ASSERT_EQ(honest[i]->Receive(reply, 30000), TestClient::ReceiveStatus::Ok);
    EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
    EXPECT_EQ(reply.message.GetOriginalStamp(), stamps[i]);
    const std::uint32_t stamp = honest[i]->Send(MSGID_REFRESH_PROJECTS, "");
    ASSERT_EQ(honest[i]->Receive(reply, 30000), TestClient::ReceiveStatus::Ok);
    EXPECT_EQ(reply.message.GetOriginalStamp(), stamp);
  }
  // The honest ones may all be served before the idle ones fill the places.
  const auto notices = [&] {
    const std::vector<std::string> lines = server.App().GetConsole()->GetStatusLines();
    return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
      return line.find("not logged on reached their bound of 25") != std::string::npos;
    });
  };
  ASSERT_TRUE(WaitUntil([&] { return notices() > 0; }));
  EXPECT_EQ(1, notices());
}

// 500 clients connect at the same moment and log on (where the descriptor limit
// allows so many); every one is logged on and served, beside the bound for
// connections not logged on.
TEST(ConnectionBoundTest, FiveHundredClientsConnectingAtOnceAreAllServed) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "1500 threads under the thread sanitizer take longer than a test may";
#endif
  constexpr int kClients = 500;
  rlimit limit{};
  ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &limit));
  // The server's three descriptors and the client's one per connection, beside the reserve.
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < 4 * kClients + 256) {
    GTEST_SKIP() << "the hard descriptor limit is " << limit.rlim_max;
  }
  TestServer server;
  ASSERT_TRUE(server.Start());
  std::vector<std::string> names;
  for (int i = 0; i < kClients; ++i) names.push_back("u" + std::to_string(i));
  const std::vector<UserAccount> accounts = server.AddUsers(names, "secret");
  ASSERT_EQ(accounts.size(), names.size());
  // Each sends its logon as it connects, as clients do, before any answer comes.
  std::vector<std::unique_ptr<TestClient>> clients;
  for (const UserAccount& account : accounts) {
    clients.push_back(server.MakeClient(account));
    ASSERT_TRUE(clients.back()->Connect(server.Port()));
    clients.back()->SendLogon(account.GetName(), "secret", account.GetLogonCode());
  }
  TestClient::Reply reply;
  for (std::size_t i = 0; i < clients.size(); ++i) {
    ASSERT_EQ(clients[i]->Receive(reply, 60000), TestClient::ReceiveStatus::Ok) << accounts[i].GetName();
    ASSERT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED) << accounts[i].GetName();
  }
  EXPECT_EQ(kClients, server.App().GetConsole()->GetActiveUserCount());
  for (std::size_t i = 0; i < clients.size(); ++i) {
    const std::uint32_t stamp = clients[i]->Send(MSGID_REFRESH_PROJECTS, "");
    ASSERT_EQ(clients[i]->Receive(reply, 60000), TestClient::ReceiveStatus::Ok) << accounts[i].GetName();
    EXPECT_EQ(reply.message.GetOriginalStamp(), stamp);
  }
}

// A port in use is tried again, with a status line each time, and listened on as
// soon as it is free.
TEST(ListenerRetryTest, TheListenerListensOnceTheBusyPortIsFreed) {
  Library library;
  platform::Socket busy = platform::Socket::Listen(testsupport::FreeListeningPort(), 1);
  ASSERT_TRUE(busy.IsOpen());
  const std::uint16_t number = busy.LocalPort();
  const std::string port = std::to_string(number);
  library.Document().GetSettings().SetPort(number);
  SetListenRetryIntervalForTesting(std::chrono::milliseconds(20));
  ServerConsole console(library.App(), library.Document());
  console.Start();
  ASSERT_EQ(ServerConsole::ListenerState::WaitingForPort, console.WaitForListener(std::chrono::seconds(10)));
  EXPECT_NE(std::string::npos, console.GetListenerFailure().find("port " + port + ": Address already in use"));
  const auto retries = [&] {
    const std::vector<std::string> lines = console.GetStatusLines();
    return std::count(lines.begin(), lines.end(), console.GetListenerFailure());
  };
  ASSERT_TRUE(WaitUntil([&] { return retries() >= 2; }));   // a line for every try

  busy.Close();
  ASSERT_TRUE(WaitUntil([&] { return console.GetListenerState() == ServerConsole::ListenerState::Listening; }));
  const std::vector<std::string> lines = console.GetStatusLines();
  EXPECT_EQ("The port " + port + " is free: listening", lines.back());
  const auto client = std::make_unique<Loopback>(platform::Socket::Connect("127.0.0.1", number));
  EXPECT_TRUE(WaitUntil([&] { return console.GetActiveUserCount() == 1; }));
  console.Shutdown();
  SetListenRetryIntervalForTesting(std::chrono::milliseconds(0));
}

}  // namespace
