#include "server/engine/StartSockets.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
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
  EXPECT_EQ(64, ConnectionBound(256, RLIM_INFINITY));   // three descriptors each after a quarter kept
  EXPECT_EQ(13, ConnectionBound(64, RLIM_INFINITY));    // at least 24 kept
  EXPECT_EQ(1024, ConnectionBound(3200, RLIM_INFINITY));  // at most 128 kept
  EXPECT_EQ(32, ConnectionBound(RLIM_INFINITY, 120));   // three threads each after the reserve
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
  // Room for both as connections not logged on that have sent nothing yet.
  SetConnectionBoundForTesting(2, 4);
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

// Console lines that hold `text`.
long CountStatusLines(TestServer& server, const std::string& text) {
  const std::vector<std::string> lines = server.App().GetConsole()->GetStatusLines();
  return std::count_if(lines.begin(), lines.end(),
                       [&text](const std::string& line) { return line.find(text) != std::string::npos; });
}

sockaddr_in Loopback4(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// The descriptor limit the server's bounds are sized from while it lives.
class DescriptorLimitForTest {
 public:
  explicit DescriptorLimitForTest(unsigned long long limit) { SetDescriptorLimitForTesting(limit); }
  ~DescriptorLimitForTest() { SetDescriptorLimitForTesting(0); }
};

// Opens connections `batch` at a time, sends a few bytes of garbage on three in
// ten, then closes the batch, until stopped or `batches` are done.
void Churn(std::uint16_t port, const std::atomic<bool>& stop, int batches) {
  constexpr int kBatch = 60;
  const sockaddr_in address = Loopback4(port);
  const std::string garbage(60, '\xa5');
  for (int round = 0; round < batches && !stop; ++round) {
    std::vector<platform::Socket> open;
    for (int i = 0; i < kBatch && !stop; ++i) {
      open.push_back(platform::Socket::ConnectStoppable(address, stop, 2000));
      if (i % 10 < 3) open.back().Send(garbage.data(), 1 + static_cast<std::size_t>(round + i) % garbage.size());
    }
  }
}

// Peers that connect and send nothing take the places of connections not logged
// on that they may; a rush of honest logons beside them is still served.
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
  const std::atomic<bool> never{false};
  std::vector<platform::Socket> idle;
  for (int i = 0; i < kIdle; ++i) idle.push_back(platform::Socket::ConnectStoppable(Loopback4(server.Port()), never, 2000));

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
}

// Three threads churn connections that never log on, some sending garbage, while
// ten users log on one after another: each is answered, and the console says how
// many connections were turned away.
TEST(StrangerBoundTest, ChurningStrangersNeverKeepHonestLogonsOut) {
  constexpr int kHonest = 10;
#if defined(__SANITIZE_THREAD__)
  constexpr int kChurnLogonWaitMs = 30000;   // every thread and socket call runs many times slower
#else
  constexpr int kChurnLogonWaitMs = 5000;
#endif
  TestServer server;
  ASSERT_TRUE(server.Start());
  std::vector<std::string> names;
  for (int i = 0; i < kHonest; ++i) names.push_back("u" + std::to_string(i));
  const std::vector<UserAccount> accounts = server.AddUsers(names, "secret");
  ASSERT_EQ(accounts.size(), names.size());

  std::atomic<bool> stop{false};
  std::vector<std::thread> churners;
  for (int i = 0; i < 3; ++i) churners.emplace_back(Churn, server.Port(), std::cref(stop), 200);
  std::this_thread::yield();
  for (const UserAccount& account : accounts) {
    SCOPED_TRACE(account.GetName());
    const std::unique_ptr<TestClient> client = server.MakeClient(account);
    ASSERT_TRUE(client->Connect(server.Port()));
    TestClient::Reply reply;
    // Generous: the churners share the machine's cores with the server.
    EXPECT_EQ(client->Logon(account.GetName(), "secret", account.GetLogonCode(), reply, kChurnLogonWaitMs),
              TestClient::ReceiveStatus::Ok);
    EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
  }
  stop = true;
  for (std::thread& churner : churners) churner.join();
  ASSERT_TRUE(WaitUntil([&] { return CountStatusLines(server, "turned away to keep room for logons") > 0; }));
  EXPECT_EQ(1, CountStatusLines(server, "turned away to keep room for logons"));   // at most one a minute
}

// Under a low descriptor limit the console names it with the bound it leaves; the
// small lobby turns strangers away, says so, and still serves a logon.
TEST(StrangerBoundTest, LowDescriptorLimitIsNamedAndTurnedAwayStrangersAreCounted) {
  const DescriptorLimitForTest limit(64);
  TestServer server;
  ASSERT_TRUE(server.Start());
  const std::optional<UserAccount> account = server.AddUser("ann", "secret", false);
  ASSERT_TRUE(account.has_value());
  EXPECT_EQ(1, CountStatusLines(server, "The descriptor limit of 64 leaves room for 13 connections at once, "
                                        "3 of them not logged on (3200 allow 1024)"));
  const std::atomic<bool> never{false};
  std::vector<platform::Socket> idle;
  for (int i = 0; i < 40; ++i) idle.push_back(platform::Socket::ConnectStoppable(Loopback4(server.Port()), never, 2000));
  EXPECT_TRUE(WaitUntil([&] { return CountStatusLines(server, "not logged on turned away") == 1; }));
  const std::unique_ptr<TestClient> client = server.MakeClient(*account);
  ASSERT_TRUE(client->Connect(server.Port()));
  TestClient::Reply reply;
  EXPECT_EQ(client->Logon("ann", "secret", account->GetLogonCode(), reply, 5000), TestClient::ReceiveStatus::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
  server.Stop();
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
