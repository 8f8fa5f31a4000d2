#include "client/link/IPConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "client/link/FileReplyBody.h"
#include "client/link/FileRequestBody.h"
#include "client/link/SocketTransfer.h"
#include "platform/TlsContext.h"
#include "client/records/LibraryEntry.h"
#include "common/MessageIds.h"
#include "common/RecordFields.h"
#include "common/TraceError.h"
#include "platform/FileDescriptor.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kThreadStepMs = 20;
constexpr int kSupervisionStepMs = 10;
constexpr int kReceiveIdleAllowance = 750;
constexpr int kConnectLimitMs = 10000;
constexpr auto kLogonAnswerLimit = std::chrono::seconds(11);
constexpr auto kLogonWriteLimit = std::chrono::milliseconds(3000 * 50);
constexpr auto kReconnectLogonLimit = std::chrono::milliseconds(10000 * 10);

bool CarriesFilesOut(MessageId id) { return id == MSGID_ADD_DOCUMENTS || id == MSGID_CHECK_IN; }
bool CarriesFilesIn(MessageId id) { return id == MSGID_RETRIEVED_DOCUMENTS || id == MSGID_CHECKED_OUT_DOCUMENTS; }

// Why a transfer that did not finish ended the link; kNone when it was stopped.
LinkEnd CauseOf(SocketTransfer::Outcome outcome) {
  switch (outcome) {
    case SocketTransfer::Outcome::Exhausted: return LinkEnd::kServerSilent;
    case SocketTransfer::Outcome::Stopped: return LinkEnd::kNone;
    default: return LinkEnd::kServerGone;
  }
}

std::string BodyText(const Msg& message) {
  const char* body = message.GetBody();
  return body == nullptr ? std::string() : std::string(body, message.GetBodyLength());
}

// The address and port a session is kept for.
std::string TargetName(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  if (::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) return "";
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

}  // namespace

IPConnection::IPConnection(Hooks hooks, int retryLimit) : hooks_(std::move(hooks)), retryLimit_(retryLimit) {}

IPConnection::~IPConnection() {
  RequestStop();
  StopThreads();
  for (const Msg& reply : inbound_) {
    if (!CarriesFilesIn(reply.GetMessageId())) continue;
    const std::optional<FileReplyBody> body = FileReplyBody::Parse(BodyText(reply));
    if (!body) continue;
    for (const FileReplyRow& row : body->rows) {
      if (!row.temporaryPath.empty()) std::remove(row.temporaryPath.c_str());
    }
  }
}

std::string IPConnection::GetExpectedFingerprint() const {
  std::lock_guard lock(mutex_);
  return tlsFingerprint_;
}

std::string IPConnection::GetPresentedFingerprint() const {
  std::lock_guard lock(mutex_);
  return presentedFingerprint_;
}

std::string IPConnection::GetRefusalText() const {
  std::lock_guard lock(mutex_);
  return refusalText_;
}

void IPConnection::NoteEnd(LinkEnd cause) {
  if (stop_) return;
  LinkEnd none = LinkEnd::kNone;
  end_.compare_exchange_strong(none, cause);
}

LinkEnd IPConnection::LogonEnd(Clock::time_point deadline) const {
  if (logonState_ == kLogonRefused) return LinkEnd::kLogonRefused;
  return Clock::now() >= deadline ? LinkEnd::kLogonNoAnswer : LinkEnd::kLogonClosed;
}

std::optional<Codec> IPConnection::MakeCodec(const LibraryConnection& connection, const LibraryEntry* entry) {
  if (entry == nullptr || entry->GetName() != connection.GetName()) return std::nullopt;
  // A key longer than one send call would leave no whole key to a file block.
  const auto usable = [](const std::string& text, int length) {
    return LibraryConnection::IsValidKey(text, length) && length <= static_cast<int>(SocketTransfer::kMaxCallBytes);
  };
  if (!usable(entry->GetKeyText(), entry->GetKeyLength()) ||
      !usable(connection.GetKeyText(), connection.GetKeyLength())) {
    return std::nullopt;
  }
  Codec codec;
  if (codec.Add(entry->GetKeyLength(), entry->GetKeyText(), 1) != kLibraryKey ||
      codec.Add(connection.GetKeyLength(), connection.GetKeyText(), 1) != kUserKey) {
    return std::nullopt;
  }
  return codec;
}

bool IPConnection::SetConnection(const LibraryConnection& connection, const LibraryEntry* entry) {
  const std::optional<Codec> codec = MakeCodec(connection, entry);
  if (!codec) return false;
  std::optional<sockaddr_in> address = connection.ResolveAddress();
  if (!address) return false;
  if (entry->IsTlsPinned()) {
    if (entry->GetTlsPort() < 1 || entry->GetTlsPort() > 65535) return false;
    address->sin_port = htons(static_cast<std::uint16_t>(entry->GetTlsPort()));
  }
  std::lock_guard lock(mutex_);
  connection_ = connection;
  codec_ = *codec;
  address_ = *address;
  tlsFingerprint_ = entry->GetTlsFingerprint();
  keysSet_ = true;
  return true;
}

int IPConnection::SendMessage(Msg& message) {
  if (logonState_ == kLoggedOff || logonState_ == kLogonConnected) return kNotLoggedOn;
  if (linkState_ == kLinkDrained || socketState_ == kSocketClosed) return kNotConnected;
  std::lock_guard lock(mutex_);
  if (identity_.GetUserId() == 0 && message.GetMessageId() != MSGID_LOGON) return kNotLoggedOn;
  if (ExtensionOfRequest(message.GetMessageId()) && !MayRequest(serverCapabilities_, message.GetMessageId())) {
    return kNotServed;
  }
  message.SetUserIdentity(identity_);
  // Stamps are unsigned on the wire: they wrap, skipping 0 (no stamp).
  if (++stampCounter_ == 0) ++stampCounter_;
  message.SetOriginalStamp(stampCounter_);
  outbound_.push_back(message);
  wake_.notify_all();
  return kDone;
}

WireCapabilities IPConnection::GetServerCapabilities() const {
  std::lock_guard lock(mutex_);
  return serverCapabilities_;
}

int IPConnection::ReceiveMessage(Msg& message) {
  std::lock_guard lock(mutex_);
  if (inbound_.empty()) return kNothingToDo;
  message = inbound_.front();
  inbound_.pop_front();
  return kDone;
}

bool IPConnection::Logoff() {
  if (logonState_ == kLoggedOff) return true;
  Msg logoff;
  logoff.SetMessageId(MSGID_LOGOFF);
  logoff.SetBody(std::string());
  if (SendMessage(logoff) != kDone) return false;
  logonState_ = kLoggedOff;
  return true;
}

void IPConnection::RequestStop() {
  std::lock_guard lock(mutex_);
  stop_ = true;
  sendStop_ = true;
  receiveStop_ = true;
  wake_.notify_all();
}

bool IPConnection::Pause(int ms) {
  std::unique_lock lock(mutex_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

// ---- the connection thread -------------------------------------------------

bool IPConnection::Connect() {
  if (!keysSet_ || stop_) return false;
  LinkEnd cause = LinkEnd::kNone;
  if (!OpenSocket(cause)) {
    NoteEnd(cause);
    return false;
  }
  bool wasLoggedOn = false;
  const bool logonWritten = Logon();
  const Clock::time_point answerDeadline = Clock::now() + kLogonAnswerLimit;
  if (logonWritten) {
    while (logonState_ == kLogonSent && Clock::now() < answerDeadline && Supervise() && Pause(kSupervisionStepMs)) {
    }
    if (logonState_ == kLoggedOn || logonState_ == kLoggedOff) {
      wasLoggedOn = true;
      while (Supervise() && Pause(kSupervisionStepMs)) {
      }
      // A link that ended without a cause of its own broke on the way out.
      if (logonState_ == kLoggedOn) NoteEnd(LinkEnd::kServerGone);
    }
  }
  if (!wasLoggedOn) NoteEnd(LogonEnd(answerDeadline));
  if (logonState_ == kLogonSent || logonState_ == kLogonRefused) linkState_ = kLinkDrained;
  Close();
  return wasLoggedOn;
}

bool IPConnection::OpenSocket(LinkEnd& cause) {
  socketState_ = kSocketConnecting;
  int error = 0;
  platform::Socket opened = platform::Socket::ConnectStoppable(address_, stop_, kConnectLimitMs, &error);
  logonState_ = kLogonConnected;
  if (!opened.IsOpen()) {
    connectError_ = error;
    cause = error == ECONNREFUSED                                                        ? LinkEnd::kConnectRefused
            : error == ETIMEDOUT || error == EHOSTUNREACH || error == ENETUNREACH ? LinkEnd::kConnectNoAnswer
            : error == ECANCELED                                                         ? LinkEnd::kNone
                                                                                         : LinkEnd::kConnectFailed;
    socketState_ = kSocketError;
    linkState_ = kLinkConnectFailed;
    return false;
  }
  connectError_ = 0;
  if (GetExpectedFingerprint().empty()) {
    socket_ = platform::Transport(std::move(opened));
  } else if (!ShakeHands(std::move(opened), cause)) {
    socketState_ = kSocketError;
    linkState_ = kLinkConnectFailed;
    return false;
  }
  linkState_ = kLinkConnected;
  socketState_ = kSocketConnected;
  return true;
}

bool IPConnection::ShakeHands(platform::Socket opened, LinkEnd& cause) {
  std::string error;
  if (!tlsContext_) tlsContext_ = platform::TlsContext::ForClient(error);
  // Reconnections to the same library resume the session its last connection had.
  platform::Transport secured(std::move(opened), tlsContext_, TargetName(address_), GetExpectedFingerprint());
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kConnectLimitMs);
  platform::Transport::Handshake handshake = secured.Advance();
  while (handshake == platform::Transport::Handshake::Pending && !stop_ && Clock::now() < deadline) {
    secured.WaitReadable(kSupervisionStepMs);
    handshake = secured.Advance();
  }
  if (handshake != platform::Transport::Handshake::Done) {
    cause = stop_ ? LinkEnd::kNone : LinkEnd::kTlsFailed;
    return false;
  }
  const std::string presented = secured.PeerFingerprint();
  if (presented != GetExpectedFingerprint()) {
    // Not a byte of the logon goes to a server that is not the pinned one.
    std::lock_guard lock(mutex_);
    presentedFingerprint_ = presented;
    cause = LinkEnd::kServerNotTrusted;
    return false;
  }
  socket_ = std::move(secured);
  return true;
}

bool IPConnection::Logon() {
  if (socketState_ == kSocketClosed || logonState_ != kLogonConnected) return false;
  Msg logon;
  logon.SetMessageId(MSGID_LOGON);
  logon.SetSecondTime(WireCapabilities::Ours().Announcement(WireCapabilities::Side::kClient));
  int written = 0;
  {
    std::lock_guard lock(mutex_);
    UserIdentity identity;
    identity.SetUserId(static_cast<std::uint32_t>(connection_.GetUserNumber()));
    logon.SetUserIdentity(identity);
    std::string body = AppendStringField(connection_.GetUserText(), "");
    body = AppendStringField(connection_.GetSecondLogonText(), body);
    logon.SetBody(EndRecord(AppendStringField(connection_.GetLogonCode(), body)));
    std::erase_if(outbound_, [](const Msg& m) { return m.GetMessageId() == MSGID_LOGON; });
    outbound_.push_front(logon);
    written = writtenCount_;
  }
  brokenBy_ = kNoSide;
  if (!StartThread(sendThread_, sendStop_, sendEnded_, &IPConnection::SendThreadRun)) return false;
  {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, kLogonWriteLimit, [&] { return writtenCount_ != written || sendEnded_ || stop_; });
  }
  if (writtenCount_ == written || sendEnded_ || stop_) return false;
  logonState_ = kLogonSent;
  return StartThread(receiveThread_, receiveStop_, receiveEnded_, &IPConnection::ReceiveThreadRun);
}

bool IPConnection::Supervise() {
  if (stop_) return false;
  if (!sendEnded_ || !receiveEnded_) return true;  // an ended thread stops its partner within a step
  const bool lostLink = brokenBy_ == kReceiveSide && receiveResult_ == kReceiveFailed &&
                        socketState_ == kSocketError && logonState_ == kLoggedOn;
  return lostLink && Reconnect();
}

bool IPConnection::Reconnect() {
  StopThreads();
  if (socketState_ == kSocketClosed) return false;
  socket_.Close();
  HandBackAwaited();
  LinkEnd cause = LinkEnd::kNone;
  if (!OpenSocket(cause)) {
    reconnectEnd_ = cause;
    return false;
  }
  const Clock::time_point deadline = Clock::now() + kReconnectLogonLimit;
  if (!Logon()) {
    linkState_ = kLinkDrained;
    reconnectEnd_ = LogonEnd(deadline);
    return false;
  }
  while (logonState_ == kLogonSent && Clock::now() < deadline) {
    if (receiveEnded_ || !Pause(kSupervisionStepMs)) break;
  }
  // Logged on again; should the new socket already have failed, the next pass sees it.
  // A logoff queued the moment the logon was accepted still needs the link to carry it.
  if (logonState_ != kLoggedOn && logonState_ != kLoggedOff) {
    reconnectEnd_ = LogonEnd(deadline);
    return false;
  }
  end_ = LinkEnd::kNone;
  reconnectEnd_ = LinkEnd::kNone;
  if (hooks_.linkRestored) hooks_.linkRestored();
  return true;
}

void IPConnection::HandBackAwaited() {
  std::vector<Msg> abandoned;
  {
    std::lock_guard lock(mutex_);
    for (Msg& message : awaiting_) {
      const MessageId id = message.GetMessageId();
      if (id != MSGID_LOGON && id != MSGID_LOGOFF) abandoned.push_back(std::move(message));
    }
    awaiting_.clear();
  }
  if (!abandoned.empty() && hooks_.requestsAbandoned) hooks_.requestsAbandoned(std::move(abandoned));
}

bool IPConnection::Close() {
  StopThreads();
  socket_.Close();
  socketState_ = kSocketClosed;
  return true;
}

// ---- the link's threads ------------------------------------------------------

bool IPConnection::StartThread(std::thread& thread, std::atomic<bool>& stop, std::atomic<bool>& ended,
                               void (IPConnection::*run)()) {
  if (!ended) return true;  // already running
  if (thread.joinable()) thread.join();
  {
    std::lock_guard lock(mutex_);
    if (stop_) return false;
    stop = false;
    ended = false;
  }
  thread = std::thread(run, this);
  return true;
}

void IPConnection::StopThreads() {
  {
    std::lock_guard lock(mutex_);
    sendStop_ = true;
    receiveStop_ = true;
    wake_.notify_all();
  }
  if (sendThread_.joinable()) sendThread_.join();
  if (receiveThread_.joinable()) receiveThread_.join();
}

void IPConnection::ThreadEnded(Side side, int result) {
  std::lock_guard lock(mutex_);
  if (side == kSendSide) {
    sendResult_ = result;
    receiveStop_ = true;
    sendEnded_ = true;
  } else {
    receiveResult_ = result;
    sendStop_ = true;
    receiveEnded_ = true;
  }
  wake_.notify_all();
}

void IPConnection::MarkBroken(Side side) {
  int none = kNoSide;
  brokenBy_.compare_exchange_strong(none, side);
  socketState_ = kSocketError;
}

void IPConnection::SendThreadRun() {
  int result = kDone;
  while (!sendStop_) {
    result = WriteNextMessage();
    if (result == kNothingToDo) {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(kThreadStepMs), [this] { return !outbound_.empty() || sendStop_; });
    } else if (result != kDone) {
      break;
    }
  }
  ThreadEnded(kSendSide, result);
}

void IPConnection::ReceiveThreadRun() {
  int result = kDone;
  int allowance = kReceiveIdleAllowance;
  while (!receiveStop_ && allowance-- > 0) {
    result = ReadNextMessage();
    if (result != kDone) break;
    if (logonState_ != kLoggedOff) allowance = kReceiveIdleAllowance;
  }
  ThreadEnded(kReceiveSide, result);
}

// ---- writing -----------------------------------------------------------------

int IPConnection::FileBlockSize() const {
  const int keyLength = codec_.GetKeyLength(kUserKey);
  return static_cast<int>(SocketTransfer::kMaxCallBytes) / keyLength * keyLength;
}

int IPConnection::WriteNextMessage() {
  if (socketState_ != kSocketConnected) return kNotConnected;
  Msg message;
  std::vector<Msg> unserved;
  {
    std::lock_guard lock(mutex_);
    // Until the server accepts the logon it takes nothing else (anything else ends the
    // connection), and only then is it known which extensions it speaks: the rest waits.
    const bool loggingOn = logonState_ == kLogonConnected || logonState_ == kLogonSent;
    if (loggingOn && !outbound_.empty() && outbound_.front().GetMessageId() != MSGID_LOGON) {
      return kNothingToDo;
    }
    // A server reached again after a lost link may no longer speak an extension
    // that was queued for its predecessor: such a request is handed back unsent.
    while (!outbound_.empty() && ExtensionOfRequest(outbound_.front().GetMessageId()) &&
           !MayRequest(serverCapabilities_, outbound_.front().GetMessageId())) {
      unserved.push_back(std::move(outbound_.front()));
      outbound_.pop_front();
    }
  }
  if (!unserved.empty() && hooks_.requestsAbandoned) hooks_.requestsAbandoned(std::move(unserved));
  {
    std::lock_guard lock(mutex_);
    if (outbound_.empty()) return kNothingToDo;
    if (outbound_.front().GetUserIdentity().GetUserId() == 0 && outbound_.front().GetMessageId() != MSGID_LOGON) {
      return kNotLoggedOn;
    }
    // Awaited before its first byte leaves: the reply can come back before the write
    // returns, and whatever reached the server may be acted on, so it is never resent.
    message = outbound_.front();
    awaiting_.push_back(std::move(outbound_.front()));
    outbound_.pop_front();
  }
  const MessageId id = message.GetMessageId();
  message.SetReplyStamp(0);
  message.StampSendTime();

  SocketTransfer transfer(socket_, sendStop_, retryLimit_);
  const auto fail = [&] {
    MarkBroken(kSendSide);
    return kWriteFailed;
  };

  std::optional<FileRequestBody> files;
  if (CarriesFilesOut(id)) {
    files = FileRequestBody::Parse(BodyText(message));
    if (!files || !message.SetBody(files->wireBody)) return fail();
  }
  const std::uint32_t length = message.GetBodyLength();
  std::string wire(Msg::kHeaderSize + length, '\0');
  message.WriteHeader(reinterpret_cast<unsigned char*>(wire.data()));
  if (length > 0) std::memcpy(wire.data() + Msg::kHeaderSize, message.GetBody(), length);
  codec_.Encode(id == MSGID_LOGON ? kLibraryKey : kUserKey, Msg::kHeaderSize, wire.data());
  codec_.Encode(kUserKey, length, wire.data() + Msg::kHeaderSize);

  if (transfer.Write(wire.data(), wire.size()) != SocketTransfer::Outcome::Done) {
    TraceError("IPConnection::SendMessage() - Unhandled socket error");
    return fail();
  }
  if (files && !SendFiles(transfer, *files)) return fail();

  std::lock_guard lock(mutex_);
  ++writtenCount_;
  wake_.notify_all();
  return kDone;
}

bool IPConnection::SendFiles(SocketTransfer& transfer, const FileRequestBody& files) {
  return std::all_of(files.files.begin(), files.files.end(),
                     [&](const FileRequestBody::File& file) { return SendFile(transfer, file.path, file.size); });
}

bool IPConnection::SendFile(SocketTransfer& transfer, const std::string& path, std::int64_t size) {
  if (size == 0) return true;
  const platform::FileDescriptor in(path, O_RDONLY);
  if (!in.IsOpen()) {
    TraceError("IPConnection::SendFile() - Failed to open file for transmission.");
    return false;
  }
  in.AdviseSequential();
  const std::size_t blockSize = static_cast<std::size_t>(FileBlockSize());
  const auto block = std::make_unique_for_overwrite<char[]>(blockSize);
  for (std::int64_t left = size; left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(blockSize)));
    // A file shorter than its row says cannot be framed: the link ends.
    if (!in.ReadExactly(block.get(), n)) return false;
    codec_.Encode(kUserKey, static_cast<std::int64_t>(n), block.get());
    if (transfer.Write(block.get(), n) != SocketTransfer::Outcome::Done) return false;
    left -= static_cast<std::int64_t>(n);
  }
  return true;
}

// ---- reading -----------------------------------------------------------------

int IPConnection::ReadNextMessage() {
  if (socketState_ == kSocketClosed) return kNotConnected;
  if (logonState_ == kLogonConnected) {
    TraceError("IPConnection::ReceiveMessage() - Not logged on");
    return kNotLoggedOn;
  }
  SocketTransfer transfer(socket_, receiveStop_, retryLimit_);
  // Only a logged-on link has lost something: a cut logon is told by Connect.
  const auto lost = [this](const char* why, LinkEnd cause) {
    TraceError(why);
    if (logonState_ == kLoggedOn) NoteEnd(cause);
    MarkBroken(kReceiveSide);
    return kReceiveFailed;
  };

  unsigned char header[Msg::kHeaderSize];
  const SocketTransfer::Outcome headerOutcome =
      transfer.Read(reinterpret_cast<char*>(header), sizeof header, kThreadStepMs);
  if (headerOutcome == SocketTransfer::Outcome::Idle) return kDone;
  if (headerOutcome != SocketTransfer::Outcome::Done) {
    return lost("IPConnection::ReceiveMessage() - Unknown socket error while receiving header", CauseOf(headerOutcome));
  }
  codec_.Decode(kUserKey, sizeof header, header);
  Msg message;
  const std::uint32_t length = message.ReadHeader(header);
  if (length > Msg::kMaxBodyLength) {
    return lost("IPConnection::ReceiveMessage() - body length out of range", LinkEnd::kUnreadable);
  }
  if (!message.SetBodyLength(length)) {
    return lost("IPConnection::ReceiveMessage() - no room for the body", LinkEnd::kUnreadable);
  }
  if (length > 0) {
    const SocketTransfer::Outcome bodyOutcome = transfer.Read(message.GetBody(), length);
    if (bodyOutcome != SocketTransfer::Outcome::Done) {
      return lost("IPConnection::ReceiveMessage() - Unknown socket error while receiving body", CauseOf(bodyOutcome));
    }
    codec_.Decode(kUserKey, length, message.GetBody());
  }
  if (CarriesFilesIn(message.GetMessageId())) {
    const LinkEnd filesCause = ReceiveFiles(transfer, message);
    if (filesCause != LinkEnd::kNone) {
      return lost("IPConnection::ReceiveMessage() - files behind the reply not received", filesCause);
    }
  }

  {
    std::lock_guard lock(mutex_);
    inbound_.push_back(message);
    const auto answered = std::find_if(awaiting_.begin(), awaiting_.end(), [&](const Msg& request) {
      return request.GetOriginalStamp() == message.GetOriginalStamp();
    });
    if (answered != awaiting_.end()) awaiting_.erase(answered);
    wake_.notify_all();
  }
  if (logonState_ == kLogonSent) {
    const int result = TakeLogonReply(message);
    if (result != kDone) return result;
  }
  if (message.GetMessageId() == MSGID_BYE) {
    {
      std::lock_guard lock(mutex_);
      sendStop_ = true;
      receiveStop_ = true;
      wake_.notify_all();
    }
    linkState_ = kLinkDrained;
    if (logonState_ != kLoggedOff) NoteEnd(LinkEnd::kServerGoodbye);
    TraceError("IPConnection::ReceiveMessage() - Wexmoor sent MSGID_BYE");
    return kNotLoggedOn;
  }
  return kDone;
}

int IPConnection::TakeLogonReply(const Msg& reply) {
  if (reply.GetMessageId() == MSGID_LOGON_REFUSED) {
    TraceError("IPConnection::ReceiveMessage() - Logon rejected");
    {
      std::lock_guard lock(mutex_);
      refusalText_ = BodyText(reply);
    }
    logonState_ = kLogonRefused;
    return kDone;
  }
  if (reply.GetMessageId() != MSGID_LOGON_ACCEPTED) return kDone;
  const std::string body = BodyText(reply);
  if (body.empty()) {
    TraceError("IPConnection::ReceiveMessage() - Logon faulty");
    logonState_ = kLogonRefused;
    MarkBroken(kReceiveSide);
    return kReceiveFailed;
  }
  std::string code;
  const std::string rest = ReadStringField(code, body);
  std::string libraryName;
  int userNumber = 0;
  {
    std::lock_guard lock(mutex_);
    identity_ = reply.GetUserIdentity();
    serverCapabilities_ = WireCapabilities::Announced(WireCapabilities::Side::kServer, reply.GetSecondTime());
    // Stamps keep rising across logons: earlier ones may still be awaited or mapped.
    if (!rest.empty()) {
      std::int32_t counter = 0;
      ReadIntField(counter, rest);
      if (counter > 0) stampCounter_ = std::max(stampCounter_, static_cast<std::uint32_t>(counter));
    }
    connection_.SetLogonCode(code);
    libraryName = connection_.GetName();
    userNumber = connection_.GetUserNumber();
  }
  if (hooks_.logonCodeChanged) hooks_.logonCodeChanged(libraryName, userNumber, code);
  wasLoggedOn_ = true;
  logonState_ = kLoggedOn;
  return kDone;
}

LinkEnd IPConnection::ReceiveFiles(SocketTransfer& transfer, Msg& message) {
  std::optional<FileReplyBody> body = FileReplyBody::Parse(BodyText(message));
  if (!body) return LinkEnd::kUnreadable;
  std::vector<std::string> created;
  LinkEnd cause = LinkEnd::kNone;
  for (FileReplyRow& row : body->rows) {
    if (!row.flagged) continue;
    row.temporaryPath = hooks_.temporaryFileName ? hooks_.temporaryFileName() : std::string();
    if (row.temporaryPath.empty()) {
      cause = LinkEnd::kFileNotWritten;
      break;
    }
    created.push_back(row.temporaryPath);
    cause = ReceiveFile(transfer, row.temporaryPath, row.size);
    if (cause != LinkEnd::kNone) break;
  }
  fileProgress_.Finish();
  if (cause == LinkEnd::kNone && !message.SetBody(body->Rewrite())) cause = LinkEnd::kUnreadable;
  // A file cut short is never left behind.
  if (cause != LinkEnd::kNone) {
    for (const std::string& path : created) std::remove(path.c_str());
  }
  return cause;
}

LinkEnd IPConnection::ReceiveFile(SocketTransfer& transfer, const std::string& path, std::int64_t size) {
  platform::FileDescriptor out(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (!out.IsOpen()) return LinkEnd::kFileNotWritten;
  // Blocks are whole keys long, so each decodes from key byte 0 as part of the whole file.
  const std::size_t blockSize = static_cast<std::size_t>(FileBlockSize());
  const auto block = std::make_unique_for_overwrite<char[]>(blockSize);
  fileProgress_.Start(size);
  for (std::int64_t left = size; left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(blockSize)));
    const SocketTransfer::Outcome outcome = transfer.Read(block.get(), n);
    if (outcome != SocketTransfer::Outcome::Done) return CauseOf(outcome);
    codec_.Decode(kUserKey, static_cast<std::int64_t>(n), block.get());
    if (!out.WriteAll(block.get(), n)) return LinkEnd::kFileNotWritten;
    left -= static_cast<std::int64_t>(n);
    fileProgress_.Add(static_cast<std::int64_t>(n));
  }
  return out.Close() ? LinkEnd::kNone : LinkEnd::kFileNotWritten;
}
