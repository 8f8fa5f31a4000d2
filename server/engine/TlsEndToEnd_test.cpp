// The library served over TLS, end to end on 127.0.0.1: the requests that move
// documents, what each mode lets the plain port do, a peer that never finishes
// its handshake, and hostile bytes inside TLS.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/RecordFields.h"
#include "platform/ScratchFolder.h"
#include "server/engine/EngineTestLibrary_test.h"
#include "server/engine/RequestDispatcher.h"
#include "server/engine/ServerConsole.h"
#include "server/engine/StartSockets.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerProject.h"
#include "server/store/StoreFilePaths.h"
#include "testsupport/TestServer.h"

namespace {

using Status = TestClient::ReceiveStatus;
using Mode = TlsSettings::Mode;
constexpr int kLongWaitMs = 120000;

using enginetest::Content;

class TlsEndToEndTest : public ::testing::Test {
 protected:
  void Serve(Mode mode) {
    server_.Stop();
    ASSERT_TRUE(server_.EnableTls(mode));
    ASSERT_TRUE(server_.Start());
    if (!ann_.GetName().empty()) return;
    const std::optional<UserAccount> account = server_.AddUser("ann", "secret", false);
    ASSERT_TRUE(account.has_value());
    ann_ = *account;
  }
  std::unique_ptr<TestClient> OverTls() {
    std::unique_ptr<TestClient> client = server_.MakeClient(ann_);
    EXPECT_TRUE(client->ConnectTls(server_.TlsPort()));
    return client;
  }
  // The answer to a logon of ann; 0 when none came.
  MessageId LogonAnswer(TestClient& client, std::string* body = nullptr) {
    TestClient::Reply reply;
    if (client.Logon("ann", "secret", ann_.GetLogonCode(), reply) != Status::Ok) return 0;
    if (body != nullptr) *body = reply.message.GetBodyText();
    if (reply.message.GetMessageId() == MSGID_LOGON_ACCEPTED) ann_.SetLogonCode(reply.message.GetBodyText());
    return reply.message.GetMessageId();
  }
  static TestClient::Reply Exchange(TestClient& client, MessageId id, const std::string& body,
                                    const std::vector<std::string>& files = {}) {
    TestClient::SendOptions options;
    options.timeoutMs = kLongWaitMs;
    TestClient::Reply reply;
    EXPECT_NE(client.SendWithFiles(id, body, files, options), 0u);
    EXPECT_EQ(client.Receive(reply, kLongWaitMs), Status::Ok);
    return reply;
  }
  std::string StoredVersion(const std::string& project, const std::string& name, int version) {
    const std::string folder = server_.Document().GetProjectFolderPath(project) + "/";
    ProjectFileList list;
    EXPECT_TRUE(list.Load(ProjectFileListPath(folder, project)));
    return platform::ScratchFolder::Read(folder + list.Lookup(name) + "Ver" + std::to_string(version) + ".wxf");
  }

  TestServer server_;
  UserAccount ann_;
};

// "project",1 then "name",size,"comments": the body of 5018 and 5026 for one file.
std::string OneFileBody(const std::string& project, const std::string& name, std::size_t size) {
  const std::string head = EndRecord(AppendIntField(1, AppendStringField(project, "")));
  return EndRecord(AppendStringField("", AppendIntField(static_cast<std::int32_t>(size), AppendStringField(name, head))));
}

TEST_F(TlsEndToEndTest, DocumentsTravelByteForByteThroughTls) {
  Serve(Mode::Required);
  std::unique_ptr<TestClient> client = OverTls();
  EXPECT_EQ(client->ServerFingerprint(), server_.TlsFingerprint());
  ASSERT_EQ(LogonAnswer(*client), MSGID_LOGON_ACCEPTED);
  ServerProject created;
  ASSERT_EQ(server_.Document().CreateProject("", "Plans", "", created, false), 0);
  const std::string project = created.GetInternalName();

  const std::string first = Content(3 * 1024 * 1024 + 11, 1);
  TestClient::Reply reply = Exchange(*client, MSGID_ADD_DOCUMENTS, OneFileBody(project, "d1", first.size()), {first});
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_ADD_DOCUMENTS_RESULT);
  EXPECT_TRUE(StoredVersion(project, "d1", 1) == first);

  reply = Exchange(*client, MSGID_CHECK_OUT, AppendStringField(project, "") + ",1,0,0\n\"d1\",1\n");
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_CHECKED_OUT_DOCUMENTS);
  ASSERT_EQ(reply.files.size(), 1u);
  EXPECT_TRUE(reply.files[0] == first);

  const std::string second = Content(2 * 1024 * 1024 + 5, 2);
  reply = Exchange(*client, MSGID_CHECK_IN, OneFileBody(project, "d1", second.size()), {second});
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_CHECK_IN_RESULT);
  EXPECT_TRUE(StoredVersion(project, "d1", 2) == second);

  reply = Exchange(*client, MSGID_RETRIEVE, AppendStringField(project, "") + ",0\n");
  ASSERT_EQ(reply.message.GetMessageId(), MSGID_RETRIEVED_DOCUMENTS);
  ASSERT_EQ(reply.files.size(), 1u);
  EXPECT_TRUE(reply.files[0] == second);
}

TEST_F(TlsEndToEndTest, TheModeDecidesWhatEachPortServes) {
  struct Case {
    Mode mode;
    MessageId plainAnswer;
    const char* plainText;
    bool tlsServed;
  };
  const Case cases[] = {
      {Mode::Optional, MSGID_LOGON_ACCEPTED, nullptr, true},
      {Mode::Required, MSGID_LOGON_REFUSED, RequestDispatcher::kTlsNeededText, true},
      {Mode::Off, MSGID_LOGON_ACCEPTED, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(TlsSettings::ModeText(c.mode));
    Serve(c.mode);
    std::unique_ptr<TestClient> plain = server_.MakeClient(ann_);
    ASSERT_TRUE(plain->Connect(server_.Port()));
    std::string text;
    EXPECT_EQ(LogonAnswer(*plain, &text), c.plainAnswer);
    if (c.plainText != nullptr) {
      EXPECT_EQ(text, c.plainText);
      EXPECT_TRUE(plain->WaitClosedWithoutMessage());
    }
    std::unique_ptr<TestClient> tls = server_.MakeClient(ann_);
    EXPECT_EQ(tls->ConnectTls(server_.TlsPort(), 2000), c.tlsServed);
    if (c.tlsServed) {
      EXPECT_EQ(LogonAnswer(*tls), MSGID_LOGON_ACCEPTED);
    }
  }
}

// True when the peer closes the socket within the bound without sending a byte.
bool ClosedWithoutAByte(platform::Socket& socket) {
  char byte = 0;
  platform::IoResult got{platform::IoStatus::WouldBlock, 0};
  EXPECT_TRUE(enginetest::WaitUntil([&] {
    socket.WaitReadable(5);
    got = socket.Receive(&byte, 1);
    return got.status != platform::IoStatus::WouldBlock;
  }));
  return got.status == platform::IoStatus::Closed || got.status == platform::IoStatus::Failed;
}

// With one place for connections not logged on, a peer that stops in the middle
// of its handshake is closed for an honest TLS logon, like a silent stranger.
TEST_F(TlsEndToEndTest, APeerStoppingMidHandshakeMakesWayForALogon) {
  SetConnectionBoundForTesting(4, 1);
  Serve(Mode::Required);
  platform::Socket stalled = platform::Socket::Connect("127.0.0.1", server_.TlsPort());
  // The first bytes of a record that announces a handshake message, and no more.
  const std::string begun("\x16\x03\x01\x02\x00\x01", 6);
  ASSERT_EQ(stalled.Send(begun.data(), begun.size()).bytes, begun.size());
  ASSERT_TRUE(enginetest::WaitUntil([&] { return server_.App().GetConsole()->GetStrangerCount() == 1; }));
  std::unique_ptr<TestClient> honest = OverTls();
  EXPECT_EQ(LogonAnswer(*honest), MSGID_LOGON_ACCEPTED);
  EXPECT_TRUE(ClosedWithoutAByte(stalled));
  SetConnectionBoundForTesting(0, 0);
}

TEST_F(TlsEndToEndTest, HostileBytesInsideTlsEndOnlyTheirConnection) {
  Serve(Mode::Required);
  struct Case {
    const char* name;
    std::string body;
    std::optional<std::uint32_t> announcedLength;
  };
  const Case cases[] = {
      {"header of garbage", std::string(200, '\xa5'), std::nullopt},
      {"huge length before logon", "", 0xFFFFFFF0u},
      {"length beyond the logon bound", std::string(10, 'x'), 64u * 1024u * 1024u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TestClient> hostile = OverTls();
    TestClient::SendOptions options;
    options.announcedLength = c.announcedLength;
    options.userId = c.announcedLength ? std::nullopt : std::optional<std::uint32_t>(0xA5A5A5A5u);
    ASSERT_NE(hostile->Send(MSGID_LOGON, c.body, options), 0u);
    EXPECT_TRUE(hostile->WaitClosedWithoutMessage());
  }
  std::unique_ptr<TestClient> honest = OverTls();
  EXPECT_EQ(LogonAnswer(*honest), MSGID_LOGON_ACCEPTED);
}

}  // namespace
