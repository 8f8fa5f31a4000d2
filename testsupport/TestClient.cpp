#include "testsupport/TestClient.h"

#include <algorithm>
#include <thread>

#include "common/RecordFields.h"
#include "platform/TlsContext.h"

namespace {

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

}  // namespace

TestClient::TestClient(std::uint32_t userId, const std::string& defaultKeyHex, const std::string& userKeyHex)
    : userId_(userId) {
  codec_.Add(static_cast<int>(defaultKeyHex.size() / 2), defaultKeyHex, 1);
  codec_.Add(static_cast<int>(userKeyHex.size() / 2), userKeyHex, 1);
}

void TestClient::AnnounceLength(std::string& header, std::uint32_t length) {
  for (std::size_t i = 0; i < 4; ++i) header[Msg::kHeaderSize - 4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
}

bool TestClient::Connect(std::uint16_t port) {
  socket_ = platform::Transport(platform::Socket::Connect("127.0.0.1", port));
  nextStamp_ = 1;
  loggedOn_ = false;
  return socket_.IsOpen();
}

std::shared_ptr<const platform::TlsContext> TestClient::ClientTlsContext() {
  // One context serves every client: making one per connection would cost each logon.
  static const std::shared_ptr<const platform::TlsContext> context = [] {
    std::string error;
    return platform::TlsContext::ForClient(error);
  }();
  return context;
}

bool TestClient::ConnectTls(std::uint16_t port, int timeoutMs, const std::string& pin) {
  platform::Socket connected = platform::Socket::Connect("127.0.0.1", port);
  return ConnectTls(pin.empty() ? platform::Transport(std::move(connected), ClientTlsContext())
                                : platform::Transport(std::move(connected), ClientTlsContext(),
                                                      "127.0.0.1:" + std::to_string(port), pin),
                    timeoutMs, pin);
}

bool TestClient::ConnectTls(platform::Transport transport, int timeoutMs, const std::string& pin) {
  socket_ = std::move(transport);
  nextStamp_ = 1;
  loggedOn_ = false;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  platform::Transport::Handshake handshake = socket_.Advance();
  while (handshake == platform::Transport::Handshake::Pending && Clock::now() < deadline) {
    socket_.WaitReadable(std::max(1, RemainingMs(deadline)));
    handshake = socket_.Advance();
  }
  if (handshake == platform::Transport::Handshake::Done && (pin.empty() || socket_.PeerFingerprint() == pin)) {
    return true;
  }
  socket_.Close();
  return false;
}

void TestClient::Close() { socket_.Close(); }

std::uint32_t TestClient::SendLogon(const std::string& name, const std::string& password, const std::string& code) {
  const std::string body = EndRecord(AppendStringField(code, AppendStringField(password, AppendStringField(name, ""))));
  SendOptions options;
  options.headerKey = HeaderKey::Default;
  options.secondTime = logonSecondTime_;
  return Send(MSGID_LOGON, body, options);
}

TestClient::ReceiveStatus TestClient::Logon(const std::string& name, const std::string& password,
                                            const std::string& code, Reply& reply, int timeoutMs) {
  if (SendLogon(name, password, code) == 0) return ReceiveStatus::Failed;
  return Receive(reply, timeoutMs);
}

std::uint32_t TestClient::Send(MessageId id, const std::string& body) { return Send(id, body, SendOptions()); }

std::uint32_t TestClient::Send(MessageId id, const std::string& body, const SendOptions& options) {
  return SendMessage(id, body, {}, options);
}

std::uint32_t TestClient::SendWithFiles(MessageId id, const std::string& body, const std::vector<std::string>& files,
                                        const SendOptions& options) {
  return SendMessage(id, body, files, options);
}

std::string TestClient::Scrambled(int keyIndex, std::string bytes) const {
  codec_.Encode(keyIndex, static_cast<std::int64_t>(bytes.size()), bytes.data());
  return bytes;
}

std::uint32_t TestClient::SendMessage(MessageId id, const std::string& body, const std::vector<std::string>& files,
                                      const SendOptions& options) {
  if (!socket_.IsOpen()) return 0;
  const std::uint32_t stamp = options.stamp.value_or(nextStamp_);
  if (!options.stamp) ++nextStamp_;

  Msg message;
  UserIdentity identity;
  identity.SetUserId(options.userId.value_or(userId_));
  message.SetUserIdentity(identity);
  message.SetMessageId(id);
  message.SetOriginalStamp(stamp);
  message.SetReplyStamp(0);
  message.SetBody(body);
  message.StampSendTime();
  message.SetSecondTime(options.secondTime);
  std::string header(Msg::kHeaderSize, '\0');
  message.WriteHeader(reinterpret_cast<unsigned char*>(header.data()));
  if (options.announcedLength) AnnounceLength(header, *options.announcedLength);

  const bool userHeader =
      options.headerKey == HeaderKey::User || (options.headerKey == HeaderKey::Automatic && loggedOn_);
  std::string stream = Scrambled(userHeader ? kUserKey : kDefaultKey, header) + Scrambled(kUserKey, body);
  for (const std::string& file : files) stream += Scrambled(kUserKey, file);
  return SendBytes(stream, options) ? stamp : 0;
}

bool TestClient::SendBytes(const std::string& bytes, const SendOptions& options) {
  const std::size_t piece = options.pieceSize == 0 ? bytes.size() : options.pieceSize;
  const auto deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
  std::size_t sent = 0;
  std::size_t pieceEnd = std::min(bytes.size(), piece);
  while (sent < bytes.size()) {
    const platform::IoResult result = socket_.Send(bytes.data() + sent, pieceEnd - sent);
    if (result.status == platform::IoStatus::Ok) {
      sent += result.bytes;
    } else if (result.status != platform::IoStatus::WouldBlock || !socket_.WaitWritable(RemainingMs(deadline)) ||
               Clock::now() >= deadline) {
      return false;
    }
    if (sent == pieceEnd && sent < bytes.size()) {
      if (options.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.pauseMs));
      pieceEnd = std::min(bytes.size(), sent + piece);
    }
  }
  return true;
}

TestClient::ReceiveStatus TestClient::ReceiveBytes(char* buffer, std::size_t length, Clock::time_point deadline) {
  std::size_t received = 0;
  while (received < length) {
    const platform::IoResult result = socket_.Receive(buffer + received, length - received);
    switch (result.status) {
      case platform::IoStatus::Ok:
        received += result.bytes;
        break;
      case platform::IoStatus::Closed:
      case platform::IoStatus::Failed:  // a reset: the server closed with our bytes unread
        return ReceiveStatus::Closed;
      case platform::IoStatus::WouldBlock:
        if (Clock::now() >= deadline) return ReceiveStatus::TimedOut;
        socket_.WaitReadable(std::max(1, RemainingMs(deadline)));
        break;
    }
  }
  return ReceiveStatus::Ok;
}

TestClient::ReceiveStatus TestClient::Receive(Reply& reply, int timeoutMs) {
  if (!socket_.IsOpen()) return ReceiveStatus::Closed;
  reply = Reply{};
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);

  std::string header(Msg::kHeaderSize, '\0');
  ReceiveStatus outcome = ReceiveBytes(header.data(), header.size(), deadline);
  if (outcome != ReceiveStatus::Ok) return outcome;
  header = Scrambled(kUserKey, header);
  const std::uint32_t length = reply.message.ReadHeader(reinterpret_cast<const unsigned char*>(header.data()));
  if (!reply.message.SetBodyLength(length)) return ReceiveStatus::Failed;
  if (length > 0) {
    outcome = ReceiveBytes(reply.message.GetBody(), length, deadline);
    if (outcome != ReceiveStatus::Ok) return outcome;
    codec_.Decode(kUserKey, length, reply.message.GetBody());
  }

  const MessageId id = reply.message.GetMessageId();
  if (id == MSGID_LOGON_ACCEPTED) loggedOn_ = true;
  if (id == MSGID_BYE) loggedOn_ = false;
  return IsReplyWithFiles(id) ? ReceiveFiles(reply, deadline) : ReceiveStatus::Ok;
}

TestClient::ReceiveStatus TestClient::ReceiveFiles(Reply& reply, Clock::time_point deadline) {
  // On the wire the first row follows the count on the first line.
  std::string rest = ReadStringField(reply.firstField, reply.message.GetBodyText());
  std::int32_t count = 0;
  rest = ReadIntField(count, rest);
  if (count < 0) return ReceiveStatus::Failed;
  for (std::int32_t i = 0; i < count; ++i) {
    if (rest.empty()) return ReceiveStatus::Failed;
    FileRow row;
    rest = ReadStringField(row.name, rest);
    rest = ReadIntField(row.number, rest);
    rest = ReadBoolField(row.sent, rest);
    rest = ReadIntField(row.size, rest);
    if (row.size < 0 || row.size > kMaxReplyFileSize) return ReceiveStatus::Failed;
    reply.rows.push_back(row);
  }
  for (const FileRow& row : reply.rows) {
    if (!row.sent) continue;
    std::string file(static_cast<std::size_t>(row.size), '\0');
    const ReceiveStatus outcome = ReceiveBytes(file.data(), file.size(), deadline);
    if (outcome != ReceiveStatus::Ok) return outcome;
    reply.files.push_back(Scrambled(kUserKey, std::move(file)));
  }
  return ReceiveStatus::Ok;
}

bool TestClient::WaitClosedWithoutMessage(int timeoutMs) {
  if (!socket_.IsOpen()) return true;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char byte = 0;
  return ReceiveBytes(&byte, 1, deadline) == ReceiveStatus::Closed;
}
