#include "testsupport/TestClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

namespace {

const std::string kDefaultKeyHex = "0102030405";  // 5 bytes
const std::string kUserKeyHex = "A1B2C3";         // 3 bytes: files of other lengths show where the key restarts
constexpr std::uint32_t kUserId = 7;

// XOR with a key repeated from the first byte, written out here so the client's
// framing is checked against the format rather than against itself.
std::string Xor(std::string bytes, const std::string& keyHex) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t k = i % (keyHex.size() / 2);
    bytes[i] = static_cast<char>(bytes[i] ^ std::stoi(keyHex.substr(2 * k, 2), nullptr, 16));
  }
  return bytes;
}

std::uint32_t WordAt(const std::string& header, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(header[offset + i]);
  return value;
}

std::string Word(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

// A plain header as the server writes it.
std::string ServerHeader(std::uint32_t id, std::uint32_t stamp, std::uint32_t replyStamp, std::uint32_t length) {
  return Word(kUserId) + Word(0) + Word(id) + Word(stamp) + Word(replyStamp) + "20260305140709" + std::string(14, '0') +
         Word(length);
}

// The server end of one connection, read and written byte by byte.
class FakePeer {
 public:
  FakePeer() : listener_(platform::Socket::Listen(0, 4, "127.0.0.1")) {}
  std::uint16_t Port() const { return listener_.LocalPort(); }
  bool Accept() { return listener_.WaitReadable(5000) && listener_.Accept(connection_) == platform::IoStatus::Ok; }
  std::string Read(std::size_t length) {
    std::string bytes(length, '\0');
    std::size_t got = 0;
    while (got < length && connection_.WaitReadable(5000)) {
      const platform::IoResult r = connection_.Receive(bytes.data() + got, length - got);
      if (r.status != platform::IoStatus::Ok) break;
      got += r.bytes;
    }
    bytes.resize(got);
    return bytes;
  }
  void Write(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size() && connection_.WaitWritable(5000)) {
      const platform::IoResult r = connection_.Send(bytes.data() + sent, bytes.size() - sent);
      if (r.status == platform::IoStatus::Failed) return;
      sent += r.bytes;
    }
  }
  // Sends one message scrambled as the server does: header and body with the user key.
  void Reply(std::uint32_t id, std::uint32_t stamp, const std::string& body, const std::string& files = "") {
    Write(Xor(ServerHeader(id, stamp, 2, static_cast<std::uint32_t>(body.size())), kUserKeyHex) +
          Xor(body, kUserKeyHex) + files);
  }
  // Reads one request's header, unscrambled with `keyHex`.
  std::string RequestHeader(const std::string& keyHex) { return Xor(Read(Msg::kHeaderSize), keyHex); }
  void Close() { connection_.Close(); }

 private:
  platform::Socket listener_;
  platform::Socket connection_;
};

class TestClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(peer_.Port(), 0);
    ASSERT_TRUE(client_.Connect(peer_.Port()));
    ASSERT_TRUE(peer_.Accept());
  }

  FakePeer peer_;
  TestClient client_{kUserId, kDefaultKeyHex, kUserKeyHex};
};

TEST_F(TestClientTest, LogonHeaderUsesDefaultKeyAndBodyUsesUserKey) {
  ASSERT_EQ(client_.SendLogon("ann", "pw", "0123"), 1u);
  const std::string header = peer_.RequestHeader(kDefaultKeyHex);
  ASSERT_EQ(header.size(), Msg::kHeaderSize);
  const std::string body = "\"ann\",\"pw\",\"0123\"\n";
  EXPECT_EQ(WordAt(header, 0), kUserId);
  EXPECT_EQ(WordAt(header, 4), 0u);
  EXPECT_EQ(WordAt(header, 8), MSGID_LOGON);
  EXPECT_EQ(WordAt(header, 12), 1u);
  EXPECT_EQ(WordAt(header, 16), 0u);  // clients always send 0 as reply stamp
  EXPECT_EQ(header.substr(20, 14).find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(WordAt(header, 48), body.size());
  EXPECT_EQ(Xor(peer_.Read(body.size()), kUserKeyHex), body);
}

TEST_F(TestClientTest, HeaderKeyFollowsAcceptanceAndBye) {
  client_.SendLogon("ann", "pw", "0123");
  peer_.Read(Msg::kHeaderSize + 18);
  peer_.Reply(MSGID_LOGON_ACCEPTED, 1, "98765");

  TestClient::Reply reply;
  ASSERT_EQ(client_.Receive(reply), TestClient::ReceiveStatus::Ok);
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
  EXPECT_EQ(reply.message.GetOriginalStamp(), 1u);
  EXPECT_EQ(reply.message.GetReplyStamp(), 2u);
  EXPECT_EQ(reply.message.GetUserIdentity().GetUserId(), kUserId);
  EXPECT_STREQ(reply.message.GetBody(), "98765");
  EXPECT_TRUE(client_.IsLoggedOn());

  ASSERT_EQ(client_.Send(MSGID_REFRESH_PROJECTS, ""), 2u);
  std::string header = peer_.RequestHeader(kUserKeyHex);
  EXPECT_EQ(WordAt(header, 8), MSGID_REFRESH_PROJECTS);
  EXPECT_EQ(WordAt(header, 48), 0u);

  peer_.Reply(MSGID_BYE, 2, "");
  ASSERT_EQ(client_.Receive(reply), TestClient::ReceiveStatus::Ok);
  EXPECT_FALSE(client_.IsLoggedOn());
  client_.Send(MSGID_REFRESH_PROJECTS, "");
  header = peer_.RequestHeader(kDefaultKeyHex);
  EXPECT_EQ(WordAt(header, 0), kUserId);
  EXPECT_EQ(WordAt(header, 8), MSGID_REFRESH_PROJECTS);
  EXPECT_EQ(WordAt(header, 12), 3u);
}

TEST_F(TestClientTest, FilesFollowTheBodyEachScrambledFromItsFirstByteEvenInPieces) {
  const std::string body = "\"C:/local\",2\n\"a.txt\",4,\"x\"\n\"b.txt\",5,\"y\"\n";
  const std::vector<std::string> files = {"abcd", "efghi"};
  TestClient::SendOptions options;
  options.pieceSize = 7;
  options.pauseMs = 1;
  options.stamp = 40;
  options.headerKey = TestClient::HeaderKey::User;
  ASSERT_EQ(client_.SendWithFiles(MSGID_ADD_DOCUMENTS, body, files, options), 40u);

  const std::string header = peer_.RequestHeader(kUserKeyHex);
  EXPECT_EQ(WordAt(header, 8), MSGID_ADD_DOCUMENTS);
  EXPECT_EQ(WordAt(header, 12), 40u);
  EXPECT_EQ(WordAt(header, 48), body.size());
  EXPECT_EQ(Xor(peer_.Read(body.size()), kUserKeyHex), body);
  EXPECT_EQ(Xor(peer_.Read(4), kUserKeyHex), "abcd");
  EXPECT_EQ(Xor(peer_.Read(5), kUserKeyHex), "efghi");
}

TEST_F(TestClientTest, ReplyFilesAreReadBehindTheWireRows) {
  // No line end between the count and the first row; the unsent row has no bytes.
  const std::string body = "\"Proj\",3,\"a.txt\",2,1,5\n\"b.txt\",1,0,0\n\"c.txt\",9,1,4\n";
  const std::string files = Xor("hello", kUserKeyHex) + Xor("wxyz", kUserKeyHex);
  peer_.Reply(MSGID_RETRIEVED_DOCUMENTS, 12, body, files);

  TestClient::Reply reply;
  ASSERT_EQ(client_.Receive(reply), TestClient::ReceiveStatus::Ok);
  EXPECT_EQ(reply.firstField, "Proj");
  ASSERT_EQ(reply.rows.size(), 3u);
  EXPECT_EQ(reply.rows[0].name, "a.txt");
  EXPECT_EQ(reply.rows[0].number, 2);
  EXPECT_TRUE(reply.rows[0].sent);
  EXPECT_FALSE(reply.rows[1].sent);
  EXPECT_EQ(reply.rows[2].size, 4);
  ASSERT_EQ(reply.files.size(), 2u);
  EXPECT_EQ(reply.files[0], "hello");
  EXPECT_EQ(reply.files[1], "wxyz");
}

TEST_F(TestClientTest, ReplyWithFewerRowsThanItsCountIsMalformed) {
  peer_.Reply(MSGID_CHECKED_OUT_DOCUMENTS, 1, "\"Proj\",3,\"a.txt\",2,0,0\n");
  TestClient::Reply reply;
  EXPECT_EQ(client_.Receive(reply), TestClient::ReceiveStatus::Failed);
}

TEST_F(TestClientTest, WaitsAreBoundedAndEndCleanly) {
  TestClient::Reply reply;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client_.Receive(reply, 100), TestClient::ReceiveStatus::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_FALSE(client_.WaitClosedWithoutMessage(50));

  // Half a header, then the peer goes away: no message, a clean Closed.
  peer_.Write(std::string(20, 'x'));
  peer_.Close();
  EXPECT_EQ(client_.Receive(reply, 5000), TestClient::ReceiveStatus::Closed);
}

TEST_F(TestClientTest, CloseWithoutMessageIsToldFromAMessageBeforeClose) {
  peer_.Reply(MSGID_LOGON_REFUSED, 1, "");
  peer_.Close();
  EXPECT_FALSE(client_.WaitClosedWithoutMessage(5000));

  FakePeer second;
  TestClient other{kUserId, kDefaultKeyHex, kUserKeyHex};
  ASSERT_TRUE(other.Connect(second.Port()));
  ASSERT_TRUE(second.Accept());
  second.Close();
  EXPECT_TRUE(other.WaitClosedWithoutMessage(5000));
}

}  // namespace
