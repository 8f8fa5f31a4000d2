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
  EXPECT_EQ(100, ConnectionBound(RLIM_INFINITY, RLIM_INFINITY));
  EXPECT_EQ(64, ConnectionBound(256, RLIM_INFINITY));   // two descriptors each after the reserve
  EXPECT_EQ(34, ConnectionBound(RLIM_INFINITY, 120));   // three threads each after the reserve
  EXPECT_EQ(1, ConnectionBound(100, 10));
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
  const std::vector<std::string> lines = server.App().GetConsole()->GetStatusLines();
  EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
              return line.find("not logged on reached their bound of 25") != std::string::npos;
            }));
}

}  // namespace
