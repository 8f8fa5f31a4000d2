// Logon over a real connection on 127.0.0.1: the answers, what they leave in the
// users file, and logons that race each other.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/AtomicFile.h"
#include "server/engine/EngineTestLibrary_test.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/TestServer.h"

namespace {

using Status = TestClient::ReceiveStatus;

bool IsLogonCode(const std::string& code) {
  return code.size() >= 10 && code.size() <= 50 && code.find_first_not_of("0123456789") == std::string::npos;
}

class LogonEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }
  void TearDown() override { platform::AtomicFile::SetWriteHookForTesting(nullptr); }

  UserAccount User(const std::string& name, bool trap) {
    std::optional<UserAccount> account = server_.AddUser(name, "secret", trap);
    EXPECT_TRUE(account.has_value());
    return account.value_or(UserAccount());
  }
  std::unique_ptr<TestClient> Connected(const UserAccount& account) {
    std::unique_ptr<TestClient> client = server_.MakeClient(account);
    EXPECT_TRUE(client->Connect(server_.Port()));
    return client;
  }
  // The answer to a logon with `code` on a fresh connection; 0 when none came.
  MessageId LogonAnswer(const UserAccount& account, const std::string& code, std::string* body = nullptr) {
    std::unique_ptr<TestClient> client = Connected(account);
    TestClient::Reply reply;
    if (client->Logon(account.GetName(), "secret", code, reply) != Status::Ok) return 0;
    if (body != nullptr) *body = reply.message.GetBody();
    return reply.message.GetMessageId();
  }

  TestServer server_;
};

TEST_F(LogonEndToEndTest, RightCodeGetsANewCodeThatReplacesTheOldOne) {
  const UserAccount ann = User("ann", /*trap=*/false);
  std::unique_ptr<TestClient> client = Connected(ann);
  TestClient::Reply reply;
  ASSERT_EQ(client->Logon("ann", "secret", ann.GetLogonCode(), reply), Status::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
  EXPECT_EQ(reply.message.GetUserIdentity().GetUserId(), static_cast<std::uint32_t>(ann.GetId()));
  EXPECT_EQ(reply.message.GetOriginalStamp(), 1u);
  EXPECT_EQ(reply.message.GetReplyStamp(), 2u);
  const std::string code = reply.message.GetBody();
  EXPECT_TRUE(IsLogonCode(code)) << code;
  EXPECT_EQ(server_.StoredUser(ann.GetId())->GetLogonCode(), code);
  client->Close();

  EXPECT_EQ(LogonAnswer(ann, code), MSGID_LOGON_ACCEPTED);
  EXPECT_EQ(LogonAnswer(ann, ann.GetLogonCode()), MSGID_LOGON_REFUSED);
}

TEST_F(LogonEndToEndTest, RefusalArrivesBeforeTheCloseAndOnlyAProvenOneLocksATrappedAccount) {
  struct Attempt {
    std::string what, name, password;
    bool rightCode;
    bool locked;
  };
  const std::vector<Attempt> attempts = {{"wrong password", "u1", "Secret", true, false},
                                         {"name in other case", "U2", "secret", true, false},
                                         {"stale code", "u3", "secret", false, true},
                                         {"empty body", "", "", true, false},
                                         {"locked out", "u5", "secret", true, true}};
  int n = 0;
  for (const Attempt& attempt : attempts) {
    const UserAccount account = User("u" + std::to_string(++n), /*trap=*/true);
    if (attempt.what == "locked out") {
      ASSERT_TRUE(server_.Document().GetSettings().UpdateUser(account.GetId(), [](UserAccount& a) { a.LockOut(); }));
      ASSERT_TRUE(server_.Document().GetSettings().SaveUsers(server_.Document().GetRootPath()));
    }
    std::unique_ptr<TestClient> client = Connected(account);
    std::uint32_t stamp = 0;
    if (attempt.what == "empty body") {
      TestClient::SendOptions options;
      options.headerKey = TestClient::HeaderKey::Default;
      stamp = client->Send(MSGID_LOGON, "", options);
    } else {
      stamp = client->SendLogon(attempt.name, attempt.password, attempt.rightCode ? account.GetLogonCode() : "1");
    }
    TestClient::Reply reply;
    ASSERT_EQ(client->Receive(reply), Status::Ok) << attempt.what;
    EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_REFUSED) << attempt.what;
    EXPECT_EQ(reply.message.GetOriginalStamp(), stamp) << attempt.what;
    EXPECT_EQ(reply.message.GetBodyLength(), 0u) << attempt.what;
    EXPECT_TRUE(client->WaitClosedWithoutMessage()) << attempt.what;
    EXPECT_EQ(server_.StoredUser(account.GetId())->IsLockedOut(), attempt.locked) << attempt.what;
  }
}

TEST_F(LogonEndToEndTest, UnknownUserNumberIsClosedWithoutReply) {
  UserAccount stranger = User("ann", /*trap=*/true);
  stranger.SetId(stranger.GetId() + 100);
  std::unique_ptr<TestClient> client = Connected(stranger);
  ASSERT_NE(client->SendLogon("ann", "secret", stranger.GetLogonCode()), 0u);
  EXPECT_TRUE(client->WaitClosedWithoutMessage());
}

// Each connection may be a retry of a client whose answer was lost: all are accepted.
TEST_F(LogonEndToEndTest, OneCodeOnThreeConnectionsAtOnceIsAcceptedOnEach) {
  const UserAccount ann = User("ann", /*trap=*/false);
  std::vector<std::unique_ptr<TestClient>> clients;
  for (int i = 0; i < 3; ++i) clients.push_back(Connected(ann));
  std::atomic<int> accepted{0};
  std::vector<std::thread> threads;
  for (auto& client : clients) {
    threads.emplace_back([&, c = client.get()] {
      TestClient::Reply reply;
      if (c->Logon("ann", "secret", ann.GetLogonCode(), reply) != Status::Ok) return;
      if (reply.message.GetMessageId() == MSGID_LOGON_ACCEPTED) ++accepted;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(accepted, 3);
}

// A client gives up waiting while the users file's save is stalled and closes; the
// server completes its logon. The client's retry goes unread too. Its next retry
// with the code it still holds logs on, after a restart too; only a code that is
// neither the account's nor the one last used locks.
TEST_F(LogonEndToEndTest, LogonsAbandonedBehindAStalledSaveLeaveTheRetryAccepted) {
  const UserAccount ann = User("ann", /*trap=*/true);
  constexpr auto kBound = std::chrono::seconds(10);
  std::promise<void> held;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> writes{0};
  platform::AtomicFile::SetWriteHookForTesting([&](std::size_t) {
    if (writes++ == 0) {
      held.set_value();
      released.wait_for(kBound);
    }
    return true;
  });
  std::unique_ptr<TestClient> first = Connected(ann);
  ASSERT_NE(first->SendLogon("ann", "secret", ann.GetLogonCode()), 0u);
  const bool stalled = held.get_future().wait_for(kBound) == std::future_status::ready;
  first->Close();
  std::unique_ptr<TestClient> second = Connected(ann);
  EXPECT_NE(second->SendLogon("ann", "secret", ann.GetLogonCode()), 0u);
  release.set_value();
  TestClient::Reply unread;
  EXPECT_EQ(second->Receive(unread), Status::Ok);
  second->Close();
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  ASSERT_TRUE(stalled);

  // A restart between the lost answers and the retry changes nothing.
  server_.Stop();
  ASSERT_TRUE(server_.Start());
  std::string code;
  EXPECT_EQ(LogonAnswer(ann, ann.GetLogonCode(), &code), MSGID_LOGON_ACCEPTED);
  EXPECT_FALSE(server_.StoredUser(ann.GetId())->IsLockedOut());
  EXPECT_EQ(LogonAnswer(ann, code, &code), MSGID_LOGON_ACCEPTED);
  EXPECT_EQ(LogonAnswer(ann, ann.GetLogonCode()), MSGID_LOGON_REFUSED);
  EXPECT_TRUE(server_.StoredUser(ann.GetId())->IsLockedOut());
}

TEST_F(LogonEndToEndTest, SixteenUsersLoggingOnAtOnceAreAllAcceptedAndSaved) {
  std::vector<UserAccount> users;
  for (int i = 0; i < 16; ++i) users.push_back(User("user" + std::to_string(i), /*trap=*/true));
  std::vector<std::string> codes(users.size());
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < users.size(); ++i) {
    threads.emplace_back([&, i] {
      std::string body;
      if (LogonAnswer(users[i], users[i].GetLogonCode(), &body) == MSGID_LOGON_ACCEPTED) codes[i] = body;
    });
  }
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < users.size(); ++i) {
    EXPECT_TRUE(IsLogonCode(codes[i])) << i;
    const std::optional<UserAccount> stored = server_.StoredUser(users[i].GetId());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->GetLogonCode(), codes[i]) << i;
    EXPECT_FALSE(stored->IsLockedOut()) << i;
  }
}

TEST_F(LogonEndToEndTest, FailedUsersFileSaveHandsOutTheCodeOnDiskWhichWorksAfterRestart) {
  const UserAccount ann = User("ann", /*trap=*/true);
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  std::string code;
  EXPECT_EQ(LogonAnswer(ann, ann.GetLogonCode(), &code), MSGID_LOGON_ACCEPTED);
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_EQ(code, ann.GetLogonCode());
  EXPECT_EQ(server_.StoredUser(ann.GetId())->GetLogonCode(), code);

  server_.Stop();
  ASSERT_TRUE(server_.Start());
  EXPECT_EQ(LogonAnswer(ann, code), MSGID_LOGON_ACCEPTED);
}

// Each refusal is a console line, a refusal of one account for one cause at most
// once a minute; each lock-out is one too.
TEST_F(LogonEndToEndTest, RefusalsAndLockOutsAreConsoleLines) {
  const UserAccount ann = User("ann", /*trap=*/true);
  const UserAccount bob = User("bob", /*trap=*/false);
  ServerConsole& console = *server_.App().GetConsole();
  const std::string annIs = "ann (user " + std::to_string(ann.GetId()) + ")";
  const std::string bobIs = "bob (user " + std::to_string(bob.GetId()) + ")";
  struct Attempt {
    const UserAccount& account;
    std::string password, code;
    std::vector<std::string> lines;
  };
  const std::vector<Attempt> attempts = {
      {bob, "Secret", bob.GetLogonCode(), {"Logon refused for " + bobIs + ": wrong name or password"}},
      {bob, "Secret", bob.GetLogonCode(), {}},
      {bob, "secret", "12", {"Logon refused for " + bobIs + ": not the account's logon code"}},
      {ann, "secret", "12",
       {"Logon refused for " + annIs + ": not the account's logon code",
        "Account " + annIs + " is locked out: a logon gave its name and password with a spent logon code"}},
      {ann, "secret", ann.GetLogonCode(), {"Logon refused for " + annIs + ": the account is locked out"}},
  };
  for (const Attempt& attempt : attempts) {
    const std::size_t before = console.GetStatusLines().size();
    TestClient::Reply reply;
    ASSERT_EQ(Connected(attempt.account)->Logon(attempt.account.GetName(), attempt.password, attempt.code, reply),
              Status::Ok);
    const std::vector<std::string> lines = console.GetStatusLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()),
              attempt.lines);
  }
}

}  // namespace

// The console names only connections whose logon succeeded and is still in force.
TEST_F(LogonEndToEndTest, ConsoleListsOnlyLoggedOnConnections) {
  const UserAccount ann = User("ann", /*trap=*/false);
  ServerConsole& console = *server_.App().GetConsole();
  const auto listed = [&console] {
    console.Tick();
    return console.GetUserLines();
  };
  std::unique_ptr<TestClient> client = Connected(ann);
  TestClient::Reply reply;
  ASSERT_EQ(client->Logon("ann", "secret", "wrong code", reply), Status::Ok);
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_LOGON_REFUSED);
  EXPECT_TRUE(listed().empty());

  client = Connected(ann);
  ASSERT_EQ(client->Logon("ann", "secret", ann.GetLogonCode(), reply), Status::Ok);
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
  EXPECT_EQ(listed(), std::vector<std::string>{"ann"});

  client->Send(MSGID_LOGOFF, "");
  ASSERT_EQ(client->Receive(reply, 5000), Status::Ok);
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_BYE);
  EXPECT_TRUE(listed().empty());
}
