#include "server/engine/StartSockets.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <memory>
#include <vector>

#include "common/MessageIds.h"
#include "server/engine/EngineTestLibrary_test.h"
#include "server/engine/RTE.h"
#include "server/engine/ServerConsole.h"
#include "testsupport/FreePort.h"

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

}  // namespace
