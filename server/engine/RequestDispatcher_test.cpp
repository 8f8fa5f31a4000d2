// Dispatch rules over a real connection on 127.0.0.1: what is answered, with which
// stamps, and which requests end the connection.
#include "server/engine/RequestDispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "common/TraceError.h"
#include "server/engine/RTE.h"
#include "testsupport/TestServer.h"

namespace {

using Status = TestClient::ReceiveStatus;

class RequestDispatcherTest : public ::testing::Test {
 protected:
  void TearDown() override {
    RequestDispatcher::SetReplyQueuedHookForTesting(nullptr);
    SetTraceErrorSink(nullptr);
  }
  void StartWithUser() {
    ASSERT_TRUE(server_.Start());
    std::optional<UserAccount> account = server_.AddUser("ann", "secret");
    ASSERT_TRUE(account.has_value());
    ann_ = *account;
  }
  std::unique_ptr<TestClient> Connected() {
    std::unique_ptr<TestClient> client = server_.MakeClient(ann_);
    EXPECT_TRUE(client->Connect(server_.Port()));
    return client;
  }
  std::unique_ptr<TestClient> LoggedOn() {
    std::unique_ptr<TestClient> client = Connected();
    TestClient::Reply reply;
    EXPECT_EQ(client->Logon("ann", "secret", ann_.GetLogonCode(), reply), Status::Ok);
    EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
    ann_.SetLogonCode(reply.message.GetBody());
    return client;
  }
  // The connection closes and nothing that arrives before answers the request:
  // a logged-on connection may still get its farewell 5002.
  static bool ClosesWithoutAnswering(TestClient& client, std::uint32_t stamp) {
    TestClient::Reply reply;
    for (;;) {
      const Status status = client.Receive(reply);
      if (status == Status::Closed) return true;
      if (status != Status::Ok || reply.message.GetOriginalStamp() == stamp) return false;
      if (reply.message.GetMessageId() != MSGID_BYE) return false;
    }
  }

  TestServer server_;
  UserAccount ann_;
};

TEST_F(RequestDispatcherTest, RequestBeforeLogonGetsByeWithItsStampThenTheClose) {
  StartWithUser();
  std::unique_ptr<TestClient> client = Connected();
  TestClient::SendOptions options;
  options.stamp = 17;
  ASSERT_EQ(client->Send(MSGID_REFRESH_PROJECTS, "", options), 17u);
  TestClient::Reply reply;
  ASSERT_EQ(client->Receive(reply), Status::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_BYE);
  EXPECT_EQ(reply.message.GetOriginalStamp(), 17u);
  EXPECT_EQ(reply.message.GetReplyStamp(), 2u);
  EXPECT_TRUE(client->WaitClosedWithoutMessage());
}

TEST_F(RequestDispatcherTest, LogoffIsAnsweredAsAReplyAndKeepsTheConnectionNotLoggedOn) {
  StartWithUser();
  std::unique_ptr<TestClient> client = LoggedOn();
  const std::uint32_t logoff = client->Send(MSGID_LOGOFF, "");
  TestClient::Reply reply;
  ASSERT_EQ(client->Receive(reply), Status::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_BYE);
  EXPECT_EQ(reply.message.GetOriginalStamp(), logoff);
  EXPECT_EQ(reply.message.GetReplyStamp(), 3u);  // the 5009 took 2

  // Still open: the next header travels with the default key and is refused.
  const std::uint32_t refresh = client->Send(MSGID_REFRESH_PROJECTS, "");
  ASSERT_EQ(client->Receive(reply), Status::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_BYE);
  EXPECT_EQ(reply.message.GetOriginalStamp(), refresh);
  EXPECT_EQ(reply.message.GetReplyStamp(), 4u);
  EXPECT_TRUE(client->WaitClosedWithoutMessage());
}

TEST_F(RequestDispatcherTest, RepliesResendIdsUnusedAndUnhandledIdsEndTheConnectionUnanswered) {
  StartWithUser();
  for (const MessageId id : {MSGID_PROJECT_TREE, MSGID_UNUSED, MSGID_RENAME_DOCUMENT_FAILED, MSGID_RESEND_AGAIN,
                             MSGID_RESEND, MessageId{5054}}) {
    std::unique_ptr<TestClient> client = LoggedOn();
    const std::uint32_t stamp = client->Send(id, "");
    ASSERT_NE(stamp, 0u);
    EXPECT_TRUE(ClosesWithoutAnswering(*client, stamp)) << id;
  }
}

TEST_F(RequestDispatcherTest, ExtensionRequestsAreServedOnlyToPeersThatAnnouncedThem) {
  server_.Dispatcher().Register(MSGID_UNDO_CHECK_OUT, [](RTE& engine, const Msg& request) {
    return RequestDispatcher::SendReply(engine, request, MSGID_UNDO_CHECK_OUT_RESULT, "done");
  });
  StartWithUser();
  const WireCapabilities undo = WireCapabilities().With(WireExtension::kUndoCheckOut);
  struct Case {
    std::string logonSecondTime;
    bool served;
  };
  for (const Case& c : {Case{"", false}, Case{WireCapabilities().With(WireExtension::kRights).Announcement(
                                                  WireCapabilities::Side::kClient),
                                              false},
                        Case{undo.Announcement(WireCapabilities::Side::kServer), false},
                        Case{undo.Announcement(WireCapabilities::Side::kClient), true}}) {
    std::unique_ptr<TestClient> client = Connected();
    client->SetLogonSecondTime(c.logonSecondTime);
    TestClient::Reply reply;
    ASSERT_EQ(client->Logon("ann", "secret", ann_.GetLogonCode(), reply), Status::Ok);
    ASSERT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
    ann_.SetLogonCode(reply.message.GetBody());
    // Whatever the client speaks, the acceptance names what this server serves.
    EXPECT_EQ(WireCapabilities::Announced(WireCapabilities::Side::kServer, reply.message.GetSecondTime()),
              undo.With(WireExtension::kRights));

    const std::uint32_t stamp = client->Send(MSGID_UNDO_CHECK_OUT, "");
    if (c.served) {
      ASSERT_EQ(client->Receive(reply), Status::Ok);
      EXPECT_EQ(reply.message.GetMessageId(), MSGID_UNDO_CHECK_OUT_RESULT);
      EXPECT_EQ(reply.message.GetOriginalStamp(), stamp);
      EXPECT_EQ(reply.message.GetSecondTime(), "00000000000000");  // only the acceptance announces
    } else {
      EXPECT_TRUE(ClosesWithoutAnswering(*client, stamp)) << c.logonSecondTime;  // as for any unknown id
    }
  }
}

TEST_F(RequestDispatcherTest, HandlersActForTheLoggedOnUserWhateverALaterHeaderSays) {
  server_.Dispatcher().Register(MSGID_REFRESH_PROJECTS, [](RTE& engine, const Msg& request) {
    return RequestDispatcher::SendReply(engine, request, MSGID_PROJECT_TREE,
                                        RequestDispatcher::ActingUserName(engine).value_or("<none>"));
  });
  StartWithUser();
  const std::optional<UserAccount> bob = server_.AddUser("bob", "secret");
  ASSERT_TRUE(bob.has_value());
  std::unique_ptr<TestClient> client = LoggedOn();
  TestClient::SendOptions options;
  options.userId = static_cast<std::uint32_t>(bob->GetId());
  const std::uint32_t stamp = client->Send(MSGID_REFRESH_PROJECTS, "", options);
  TestClient::Reply reply;
  ASSERT_EQ(client->Receive(reply), Status::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_PROJECT_TREE);
  EXPECT_EQ(reply.message.GetOriginalStamp(), stamp);
  EXPECT_STREQ(reply.message.GetBody(), "ann");
  EXPECT_EQ(reply.message.GetUserIdentity().GetUserId(), static_cast<std::uint32_t>(ann_.GetId()));
}

TEST_F(RequestDispatcherTest, RequestSentTheMomentLogonIsAcceptedIsReadWithTheUserKey) {
  // The connection thread stalls right after each queued reply, so anything the
  // logon does after queueing 5009 happens long after the client has answered.
  RequestDispatcher::SetReplyQueuedHookForTesting([] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
  StartWithUser();
  std::unique_ptr<TestClient> client = LoggedOn();
  const std::uint32_t logoff = client->Send(MSGID_LOGOFF, "");
  TestClient::Reply reply;
  ASSERT_EQ(client->Receive(reply), Status::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_BYE);
  EXPECT_EQ(reply.message.GetOriginalStamp(), logoff);
}

TEST_F(RequestDispatcherTest, ReplyTooLargeForAMessageIsNeverSentEmpty) {
  // A request with a failure reply gets it; one without ends the connection.
  const auto oversized = [](MessageId replyId) {
    return [replyId](RTE& engine, const Msg& request) {
      return RequestDispatcher::SendReply(engine, request, replyId, std::string(Msg::kMaxBodyLength + 1, 'x'));
    };
  };
  server_.Dispatcher().Register(MSGID_RETRIEVE, oversized(MSGID_RETRIEVED_DOCUMENTS));
  server_.Dispatcher().Register(MSGID_REFRESH_PROJECTS, oversized(MSGID_PROJECT_TREE));
  StartWithUser();
  std::unique_ptr<TestClient> client = LoggedOn();
  const std::uint32_t retrieve = client->Send(MSGID_RETRIEVE, "");
  TestClient::Reply reply;
  ASSERT_EQ(client->Receive(reply), Status::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_RETRIEVE_FAILED);
  EXPECT_EQ(reply.message.GetOriginalStamp(), retrieve);
  EXPECT_EQ(reply.message.GetBodyText(), std::to_string(RequestDispatcher::kReplyTooLargeCode));
  EXPECT_TRUE(ClosesWithoutAnswering(*client, client->Send(MSGID_REFRESH_PROJECTS, "")));
}

TEST_F(RequestDispatcherTest, MemoryExhaustionInAHandlerIsTracedAndEndsTheConnection) {
  std::mutex mutex;
  std::vector<std::string> traces;
  SetTraceErrorSink([&](const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    traces.push_back(text);
  });
  server_.Dispatcher().Register(MSGID_REFRESH_PROJECTS, [](RTE&, const Msg&) -> bool { throw std::bad_alloc(); });
  StartWithUser();
  std::unique_ptr<TestClient> client = LoggedOn();
  const std::uint32_t stamp = client->Send(MSGID_REFRESH_PROJECTS, "");
  EXPECT_TRUE(ClosesWithoutAnswering(*client, stamp));
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_NE(std::find(traces.begin(), traces.end(), "Exception in RTE::ProcessMessage()"), traces.end());
}

}  // namespace
