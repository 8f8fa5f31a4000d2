#include "server/ui/ServerConsoleRuntime.h"

#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <chrono>

#include "platform/Clock.h"
#include "platform/Socket.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/TestServer.h"

namespace {

constexpr int kWaitMs = 10000;

// The refreshes until `done` holds for the texts (bounded).
template <typename Done>
bool RefreshUntil(ConsoleRuntime& runtime, Done done) {
  return QTest::qWaitFor([&] { return done(runtime.Refresh()); }, kWaitMs);
}

TEST(ServerConsoleRuntime, UpTimeCountsWholeMinutesFromTheStart) {
  platform::LocalTime now{2026, 3, 1, 0, 0, 0};
  platform::SetClockForTesting([&now] { return now; });
  TestServer server;
  ASSERT_TRUE(server.Start());
  ServerConsoleRuntime runtime(*server.App().GetConsole());
  EXPECT_EQ("Up Time is 0 week(s), 0 day(s), 0 hour(s), 0 minute(s)", runtime.Current().upTimeText);

  now = {2026, 3, 7, 23, 59, 0};   // 10079 minutes on
  EXPECT_EQ("Up Time is 0 week(s), 6 day(s), 23 hour(s), 59 minute(s)", runtime.Refresh().upTimeText);
  now = {2026, 3, 8, 0, 0, 0};     // 10080 minutes on
  EXPECT_EQ("Up Time is 1 week(s), 0 day(s), 0 hour(s), 0 minute(s)", runtime.Refresh().upTimeText);
  server.Stop();
  platform::SetClockForTesting(nullptr);
}

TEST(ServerConsoleRuntime, UserConnectedTwiceIsListedTwiceAndLockedOutUsersAfterThem) {
  TestServer server;
  ASSERT_TRUE(server.Start());
  const std::optional<UserAccount> ann = server.AddUser("ann", "secret", false);
  const std::optional<UserAccount> bob = server.AddUser("bob", "secret");
  ASSERT_TRUE(ann && bob);
  ASSERT_TRUE(server.Document().GetSettings().UpdateUser(bob->GetId(), [](UserAccount& a) { a.LockOut(); }));

  std::string code = ann->GetLogonCode();
  std::vector<std::unique_ptr<TestClient>> clients;
  for (int i = 0; i < 2; ++i) {
    clients.push_back(server.MakeClient(*ann));
    ASSERT_TRUE(clients.back()->Connect(server.Port()));
    TestClient::Reply reply;
    ASSERT_EQ(TestClient::ReceiveStatus::Ok, clients.back()->Logon("ann", "secret", code, reply));
    ASSERT_EQ(MSGID_LOGON_ACCEPTED, reply.message.GetMessageId());
    code = reply.message.GetBody();   // each logon hands out the next code
  }
  ServerConsoleRuntime runtime(*server.App().GetConsole());
  const std::vector<std::string> expected{"ann", "ann", "bob (Locked out)"};
  EXPECT_TRUE(RefreshUntil(runtime, [&](const ConsoleSnapshot& s) { return s.userLines == expected; }));
  EXPECT_EQ("Active user count is 2,       Locked out user count is 1", runtime.Current().activeUserText);
}

TEST(ServerConsoleRuntime, ChangedPortIsShownAsTheNextStartsPort) {
  TestServer server;
  ASSERT_TRUE(server.Start());
  ServerConsoleRuntime runtime(*server.App().GetConsole());
  const std::string listening = "Listening port is " + std::to_string(server.Port());
  const int next = server.Port() == 18000 ? 18001 : 18000;
  server.Document().GetSettings().SetPort(next);
  EXPECT_EQ(listening + "; " + std::to_string(next) + " from the next start", runtime.Current().statusLines.at(4));
  server.Document().GetSettings().SetPort(server.Port());
  EXPECT_EQ(listening, runtime.Current().statusLines.at(4));
}

TEST(ServerConsoleRuntime, ABusyPortReplacesThePortLineWithTheReasonAndTheRetry) {
  TestServer library;
  const CWexmoorApp::StartOptions options = library.PrepareLibrary();
  ASSERT_NE(0, library.Port());
  platform::Socket busy = platform::Socket::Listen(library.Port(), 1);
  ASSERT_TRUE(busy.IsOpen());

  CWexmoorApp app;
  ASSERT_TRUE(app.InitInstance(options));
  ASSERT_EQ(ServerConsole::ListenerState::WaitingForPort, app.GetConsole()->WaitForListener(std::chrono::milliseconds(kWaitMs)));
  ServerConsoleRuntime runtime(*app.GetConsole());
  const std::vector<std::string> lines = runtime.Refresh().statusLines;
  const std::string port = std::to_string(library.Port());
  const std::string failure = "Cannot listen on port " + port + ": Address already in use; trying again in 10 s";
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ("Not listening: " + failure, lines[4]);   // in the port line's place
  for (const std::string& gone : {"Listening port is " + port, failure}) {
    EXPECT_EQ(lines.end(), std::find(lines.begin(), lines.end(), gone));
  }
  // The shutdown does not wait for the next try.
  const auto begun = std::chrono::steady_clock::now();
  app.ExitInstance();
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
}

}  // namespace
