#include "server/engine/RTE.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <vector>

#include "common/MessageIds.h"
#include "common/ServerPathContext.h"
#include "common/StringHelpers.h"
#include "common/TraceError.h"
#include "platform/FileDescriptor.h"
#include "platform/fs.h"
#include "platform/MemoryPools.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/FileListBody.h"
#include "server/engine/TcpEngineSocket.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr int kXorKey = 1;
constexpr std::size_t kReceiveBufferSize = 64 * 1024;
// Fresh temporary names tried when a name is taken (a stale file, a planted link).
constexpr int kTemporaryNameAttempts = 100;
// A body's room grows by at most this much ahead of the bytes received.
constexpr std::size_t kMaxBodyGrowth = 8 * 1024 * 1024;
// Bytes of a received file written between two starts of their writeback.
constexpr std::size_t kWriteBackStep = 4 * 1024 * 1024;

const char* ReceiveFilesTrace(FileRequestError error) {
  switch (error) {
    case FileRequestError::Empty1: return "RTE::ReceiveFiles() - CSV body is empty 1";
    case FileRequestError::Empty2: return "RTE::ReceiveFiles() - CSV body is empty 2";
    case FileRequestError::Empty3: return "RTE::ReceiveFiles() - CSV body is empty 3";
    case FileRequestError::Empty4: return "RTE::ReceiveFiles() - CSV body is empty 4";
    case FileRequestError::Empty5: return "RTE::ReceiveFiles() - CSV body is empty 5";
    case FileRequestError::BadCount: return "RTE::ReceiveFiles() - Negative file count";
    case FileRequestError::BadSize: return "RTE::ReceiveFiles() - Missing or bad file size";
    case FileRequestError::None: break;
  }
  return "";
}

void DeleteFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (!path.empty()) platform::fs::DeleteFile(path);
  }
}

}  // namespace

RTE::RTE(CWexmoorApp& app) : app_(app) {
  try {
    if (CWexmoorDoc* document = CWexmoorApp::GetDocument()) {
      const ServerSettings& settings = document->GetSettings();
      codec_.Add(settings.GetDefaultKeyLength(), settings.GetDefaultKey(), kXorKey);
    }
  } catch (const std::bad_alloc&) {
    TraceError("Exception in RTE::RTE()");
  }
}

RTE::~RTE() {
  if (connected_) {
    Disconnect();
  } else {
    StopThreads();
    JoinThreads();
  }
}

// --- connection -----------------------------------------------------------------

void RTE::Attach(std::unique_ptr<EngineSocket> socket) {
  socket_ = std::move(socket);
  NoteHeard();
  connected_ = true;
  loggedOn_ = false;
  IncrementThreadCount();
}

std::chrono::milliseconds RTE::QuietFor() const {
  if (!reading_ || handling_ || InboundCount() > 0) return std::chrono::milliseconds(0);
  const std::chrono::steady_clock::time_point heard{std::chrono::steady_clock::duration(lastHeard_.load())};
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - heard);
}

void RTE::Run() {
  if (!connected_) {
    finished_ = true;
    return;
  }
  // Both threads count as running before either starts, so a slow start is
  // never mistaken for an ended one.
  readerFinished_ = false;
  writerFinished_ = false;
  readerStop_ = false;
  writerStop_ = false;
  if (!StartThreads()) {
    TraceError("RTE::Run() - No thread for the connection");
    Disconnect();
    finished_ = true;
    return;
  }

  const auto connectedAt = std::chrono::steady_clock::now();
  for (;;) {
    const auto connectedFor = std::chrono::steady_clock::now() - connectedAt;
    if (!loggedOn_ && connectedFor >= std::chrono::milliseconds(timeBoundMs_.load())) {
      TraceError("RTE::Run() - No logon in time");
      break;
    }
    {
      std::unique_lock<std::mutex> lock(queueMutex_);
      inboundReady_.wait_for(lock, std::chrono::milliseconds(kQueueWaitMs), [this] {
        return !inbound_.empty() || stopRequested_ || readerFinished_ || writerFinished_ || !connected_;
      });
    }
    if (!connected_ || readerFinished_ || writerFinished_ || stopRequested_) break;
    const Queued next = TakeNextMessage();   // its budget is held until it is handled
    if (!next.message) continue;
    if (next.message->GetMessageId() == 0) {
      handling_ = false;
      continue;
    }
    if (next.message->GetMessageId() == MSGID_BYE) {
      Disconnect();
      loggedOn_ = false;
      break;
    }
    const bool handled = ProcessMessage(*next.message);
    NoteHeard();
    handling_ = false;
    if (!handled) break;
  }
  Disconnect();
  DeleteFilesOfUnhandledRequests();
  finished_ = true;
}

bool RTE::StartThreads() {
  try {
    reader_ = std::thread(&RTE::ReaderThread, this);
    writer_ = std::thread(&RTE::WriterThread, this);
    return true;
  } catch (const std::system_error&) {
    // No writer to wait for; Disconnect stops and joins a reader that did start.
    writerFinished_ = true;
    return false;
  }
}

void RTE::Stop() {
  stopRequested_ = true;
  Wake();
}

UserIdentity RTE::GetUserIdentity() const {
  std::lock_guard<std::mutex> lock(identityMutex_);
  return identity_;
}

bool RTE::CompleteLogon(const UserIdentity& identity) {
  const int keyIndex = AddUserKey(static_cast<int>(identity.GetUserId()));
  if (keyIndex < 0) return false;
  {
    std::lock_guard<std::mutex> lock(identityMutex_);
    identity_ = identity;
  }
  userKeyIndex_ = keyIndex;
  loggedOn_ = true;
  Wake();
  return true;
}

bool RTE::ProcessMessage(const Msg& request) {
  const CWexmoorApp::MessageHandler& handler = app_.GetMessageHandler();
  if (!handler) return false;
  try {
    return handler(*this, request);
  } catch (const std::bad_alloc&) {
    TraceError("Exception in RTE::ProcessMessage()");
    return false;
  }
}

bool RTE::QueueMessage(const Msg& message) { return QueueMessage(Msg(message), NewReplyCharge()); }

bool RTE::QueueMessage(Msg&& message, TransferBudget::Charge charge) {
  const std::size_t body = message.GetBodyLength();
  if (charge.Bytes() < body) charge.Add(body - charge.Bytes());
  if (charge.Bytes() > body) charge.Shrink(charge.Bytes() - body);
  Queued queued{std::move(charge), std::make_unique<Msg>(std::move(message))};
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    outbound_.push_back(std::move(queued));
  }
  outboundReady_.notify_all();
  return true;
}

std::int32_t RTE::NextReplyNumber() { return ++replyCounter_; }

bool RTE::Logoff() {
  reply_.SetMessageId(MSGID_BYE);
  reply_.SetBody(std::string());
  loggedOn_ = false;
  return QueueMessage(reply_);
}

bool RTE::Disconnect() {
  if (!connected_) {
    StopThreads();
    JoinThreads();
    return false;
  }
  if (loggedOn_) Logoff();
  {
    // Whatever is queued (a farewell, a refusal) gets its chance to go out.
    std::unique_lock<std::mutex> lock(queueMutex_);
    outboundDrained_.wait_for(lock, std::chrono::milliseconds(kFarewellWaitMs),
                              [this] { return outbound_.empty() || writerFinished_ || userKeyIndex_ < 0; });
  }
  StopThreads();
  JoinThreads();
  CloseSocket();
  return true;
}

void RTE::StopThreads() {
  readerStop_ = true;
  writerStop_ = true;
  Wake();
}

void RTE::JoinThreads() {
  if (reader_.joinable()) reader_.join();
  if (writer_.joinable()) writer_.join();
}

void RTE::CloseSocket() {
  if (socket_) socket_->Close();
  DecrementThreadCount();
  connected_ = false;
}

void RTE::Wake() {
  { std::lock_guard<std::mutex> lock(queueMutex_); }
  inboundReady_.notify_all();
  outboundReady_.notify_all();
  outboundDrained_.notify_all();
  roomReady_.notify_all();
}

RTE::Queued RTE::TakeNextMessage() {
  Queued next;
  std::lock_guard<std::mutex> lock(queueMutex_);
  if (!inbound_.empty()) {
    next = std::move(inbound_.front());
    inbound_.pop_front();
    handling_ = true;   // never quiet between the queue and its handler
    roomReady_.notify_all();
  }
  return next;
}

void RTE::DeleteFilesOfUnhandledRequests() {
  std::deque<Queued> left;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    left.swap(inbound_);
  }
  for (const Queued& queued : left) {
    const Msg& message = *queued.message;
    if (IsRequestWithFiles(message.GetMessageId()) && message.GetBody() != nullptr) {
      DeleteFiles(TemporaryPathsOf(std::string(message.GetBody(), message.GetBodyLength())));
    }
  }
}

std::size_t RTE::InboundCount() const {
  std::lock_guard<std::mutex> lock(queueMutex_);
  return inbound_.size();
}

std::size_t RTE::OutboundCount() const {
  std::lock_guard<std::mutex> lock(queueMutex_);
  return outbound_.size();
}

// --- counters and names ---------------------------------------------------------

std::string RTE::GetTempFileName(bool generate) {
  std::lock_guard<std::mutex> lock(tempNameMutex_);
  if (generate) {
    try {
      CWexmoorDoc* document = CWexmoorApp::GetDocument();
      std::string base = document ? document->GetRootPath() : std::string();
      if (!base.empty() && base.back() != '/') base += '/';
      base += "TemporaryFiles/";
      lastTempFileName_ = base + "Temp" + std::to_string(GetUserIdentity().GetUserId()) + "_" +
                          std::to_string(ServerPathContext::NextTempNumber()) + ".wxf";
    } catch (const std::bad_alloc&) {
      TraceError("Exception in RTE::GetTempFileName(bool generate = true)");
    }
  }
  return lastTempFileName_;
}

void RTE::IncrementThreadCount() { app_.IncrementThreadCount(); }
void RTE::DecrementThreadCount() { app_.DecrementThreadCount(); }

// --- keys -----------------------------------------------------------------------

bool RTE::Transform(int keyIndex, void* buffer, std::size_t length) const {
  std::shared_lock<std::shared_mutex> lock(codecLatch_);
  return codec_.Encode(keyIndex, static_cast<std::int64_t>(length), buffer);
}

int RTE::AddUserKey(int userId) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return -1;
  const std::optional<UserAccount> account = document->GetSettings().FindUser(userId);
  if (!account) return -1;
  std::unique_lock<std::shared_mutex> lock(codecLatch_);
  return codec_.Add(account->GetKeyLength(), account->GetKeyText(), kXorKey);
}

int RTE::KeyLength(int keyIndex) const {
  std::shared_lock<std::shared_mutex> lock(codecLatch_);
  try {
    return codec_.GetKeyLength(keyIndex);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

// --- reader ---------------------------------------------------------------------

void RTE::ReaderThread() {
  if (threadStartHook_) threadStartHook_();
  // Quiet time counts from here: bytes nobody reads yet are no silence of the peer.
  NoteHeard();
  reading_ = true;
  bool ok = true;
  while (ok && !readerStop_) {
    if (!WaitForRoom()) continue;
    if (socket_->WaitReadable(kIdleWaitMs)) ok = ReadMessage();
  }
  readerFinished_ = true;
  writerStop_ = true;
  Wake();
}

bool RTE::HasRoomLocked() const {
  std::size_t bytes = 0;
  for (const std::deque<Queued>* queue : {&inbound_, &outbound_}) {
    for (const Queued& queued : *queue) bytes += queued.message->GetBodyLength();
  }
  return inbound_.size() + outbound_.size() < kMaxPendingMessages && bytes < kMaxPendingBytes;
}

bool RTE::WaitForRoom() {
  std::unique_lock<std::mutex> lock(queueMutex_);
  const bool room = roomReady_.wait_for(lock, std::chrono::milliseconds(kIdleWaitMs),
                                        [this] { return readerStop_ || HasRoomLocked(); });
  readingHeld_ = !room;
  return room && !readerStop_;
}

RTE::Transfer RTE::ReceiveAll(char* buffer, std::size_t length, bool idleIfNothing) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeBoundMs_.load());
  std::size_t received = 0;
  while (received < length) {
    if (readerStop_) return Transfer::Stopped;
    const platform::IoResult result = socket_->Receive(buffer + received, length - received);
    switch (result.status) {
      case platform::IoStatus::Ok:
        received += result.bytes;
        NoteHeard();
        waitingMidMessage_ = false;
        break;
      case platform::IoStatus::WouldBlock:
        if (idleIfNothing && received == 0) return Transfer::Nothing;
        waitingMidMessage_ = true;
        if (std::chrono::steady_clock::now() >= deadline) return Transfer::TimedOut;
        socket_->WaitReadable(kRetryWaitMs);
        break;
      case platform::IoStatus::Closed:
        return Transfer::Closed;
      case platform::IoStatus::Failed:
        return Transfer::Failed;
    }
  }
  return Transfer::Done;
}

RTE::Transfer RTE::ReceiveBody(std::string& body, std::uint32_t length, TransferBudget::Charge& charge) {
  body.clear();
  while (body.size() < length) {
    const std::size_t piece = std::min<std::size_t>(kReceiveBufferSize, length - body.size());
    if (body.capacity() < body.size() + piece) {
      const std::size_t growth = std::clamp(body.capacity(), kReceiveBufferSize, kMaxBodyGrowth);
      const std::size_t room = std::min<std::size_t>(length, body.capacity() + growth);
      // Nothing more is taken from the peer until the budget has room.
      if (!charge.Grow(room - body.capacity(), readerStop_)) return Transfer::Stopped;
      const std::size_t outgrown = body.capacity();
      body.reserve(room);
      platform::NoteMemoryFreed(outgrown);
    }
    const std::size_t at = body.size();
    body.resize(at + piece);
    const Transfer result = ReceiveAll(body.data() + at, piece, false);
    if (result != Transfer::Done) return result;
  }
  return Transfer::Done;
}

bool RTE::ReadMessage() {
  if (!connected_) return false;
  try {
    unsigned char header[Msg::kHeaderSize];
    switch (ReceiveAll(reinterpret_cast<char*>(header), sizeof header, true)) {
      case Transfer::Done: break;
      case Transfer::Nothing: return true;
      case Transfer::Stopped: return false;
      case Transfer::Failed:
        TraceError("RTE::ReadMessage() - Unknown socket error while receiving header");
        return false;
      case Transfer::Closed:
        TraceError("RTE::ReadMessage() - inCount not zero after receiving header");
        return false;
      case Transfer::GaveUp:
      case Transfer::TimedOut:
        TraceError("RTE::ReadMessage() - Header not completed in time");
        return false;
    }
    const bool loggedOn = loggedOn_;
    const int headerKey = loggedOn ? userKeyIndex_.load() : 0;
    if (headerKey >= 0) Transform(headerKey, header, sizeof header);
    auto owned = std::make_unique<Msg>();
    Msg& message = *owned;
    const std::uint32_t length = message.ReadHeader(header);

    if (!loggedOn) {
      const int keyIndex = AddUserKey(static_cast<int>(message.GetUserIdentity().GetUserId()));
      if (keyIndex < 0) {
        TraceError("RTE::ReadMessage() - Unknown user");
        return false;
      }
      userKeyIndex_ = keyIndex;
    }
    if (length > Msg::kMaxBodyLength || (!loggedOn && length > kMaxLogonBodyLength)) {
      TraceError("RTE::ReadMessage() - Body length above the limit");
      return false;
    }

    // A logged-on user's bodies count against the share of that user's account.
    TransferBudget::Charge charge(
        *budget_, loggedOn ? static_cast<int>(GetUserIdentity().GetUserId()) : TransferBudget::kNoAccount);
    if (IsRequestWithFiles(message.GetMessageId())) {
      if (!loggedOn) {
        TraceError("RTE::ReadMessage() - Files announced before logon");
        return false;
      }
      if (!ReceiveFiles(message, length, charge)) {
        TraceError("RTE::ReadMessage() - ReceiveFiles() returned false");
        return false;
      }
    } else if (length >= 1 && !ReceiveMessageBody(message, length, charge)) {
      return false;
    } else if (length == 0) {
      // Handlers read every request's body as text: an empty one is "", never null.
      message.SetBody(std::string());
    }

    {
      Queued queued{std::move(charge), std::move(owned)};
      std::lock_guard<std::mutex> lock(queueMutex_);
      inbound_.push_back(std::move(queued));
    }
    waitingMidMessage_ = false;
    inboundReady_.notify_all();
    return true;
  } catch (const std::bad_alloc&) {
    TraceError("Exception 1 in RTE::ReadMessage()");
    return false;
  }
}

bool RTE::ReceiveMessageBody(Msg& message, std::uint32_t length, TransferBudget::Charge& charge) {
  std::string body;
  const Transfer received = ReceiveBody(body, length, charge);
  if (received == Transfer::Failed) TraceError("RTE::ReadMessage() - Unknown socket error while receiving body");
  if (received != Transfer::Done) return false;
  Transform(userKeyIndex_, body.data(), length);
  // The message's copy is charged before it is made; the received text's room is
  // given back once it is gone.
  const std::size_t receivedRoom = body.capacity();
  if (!charge.Grow(std::size_t{length} + 1, readerStop_)) return false;
  if (!message.SetBody(body)) {
    TraceError("Exception 2 in RTE::ReadMessage()");
    return false;
  }
  std::string().swap(body);
  charge.Shrink(receivedRoom);
  return true;
}

bool RTE::ReceiveFiles(Msg& message, std::uint32_t length, TransferBudget::Charge& charge) {
  if (length < 1) {
    TraceError("RTE::ReceiveFiles() - CSV body length is zero");
    return false;
  }
  std::string text;
  const Transfer body = ReceiveBody(text, length, charge);
  if (body == Transfer::Failed) TraceError("RTE::ReceiveFiles() - Unknown socket error while receiving CSV body");
  if (body != Transfer::Done) return false;
  Transform(userKeyIndex_, text.data(), length);

  FileRequest request;
  const FileRequestError error = ParseFileRequest(text, request);
  if (error != FileRequestError::None) {
    TraceError(ReceiveFilesTrace(error));
    return false;
  }
  std::vector<std::string> paths;
  bool connected = true;
  for (std::size_t i = 0; connected && i < request.files.size(); ++i) {
    connected = ReceiveFile(request.files[i]);
    if (!request.files[i].temporaryPath.empty()) paths.push_back(request.files[i].temporaryPath);
  }
  const bool ok = connected && message.SetBody(BuildFileRequestBody(request));
  if (!ok) DeleteFiles(paths);
  return ok;
}

std::string RTE::CreateTemporaryFile() {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::string path = GetTempFileName(true);
    switch (platform::fs::CreateNewFile(path)) {
      case platform::fs::CreateResult::Created: return path;
      case platform::fs::CreateResult::Exists: continue;
      case platform::fs::CreateResult::Refused: return std::string();
    }
  }
  errno = EEXIST;
  return std::string();
}

bool RTE::ReceiveFile(ReceivedFile& file) {
  const int keyIndex = userKeyIndex_;
  const std::size_t keyLength = static_cast<std::size_t>(std::max(KeyLength(keyIndex), 0));
  if (keyLength == 0) return false;
  const std::string path = CreateTemporaryFile();
  int error = path.empty() ? errno : 0;
  // The file was made, empty, just now: it is reopened, never created or followed,
  // nor truncated (which makes some file systems flush it on close).
  std::optional<platform::FileDescriptor> out;
  if (!path.empty()) {
    out.emplace(path, O_WRONLY | O_NOFOLLOW);
    if (!out->IsOpen()) error = errno;
  }
  // Each piece lands at its own key position behind the buffer's start, so one
  // transform from key byte 0 decodes it as part of the whole file.
  const auto buffer = std::make_unique_for_overwrite<char[]>(kMaxSendCall + keyLength - 1);
  const std::size_t total = static_cast<std::size_t>(file.size);
  std::size_t received = 0;
  std::size_t writtenBack = 0;
  while (received < total) {
    const std::size_t piece = std::min(total - received, kMaxSendCall);
    const std::size_t at = received % keyLength;
    const Transfer result = ReceiveAll(buffer.get() + at, piece, false);
    if (result == Transfer::Stopped) TraceError("RTE::ReceiveFiles() - Terminate thread received while receiving file");
    if (result == Transfer::Failed) TraceError("RTE::ReceiveFiles() - Unknown socket error while receiving file");
    if (result != Transfer::Done) break;
    received += piece;
    // A file that cannot be stored is still read to its end: the request is then
    // answered with its failure and the connection goes on.
    if (error != 0) continue;
    Transform(keyIndex, buffer.get(), at + piece);
    if (!out->WriteAll(buffer.get() + at, piece)) {
      error = errno;
      continue;
    }
    // Received files are stored durably: their writing starts while the rest
    // arrives, so the store's fsync finds little left to do.
    if (received - writtenBack >= kWriteBackStep || received == total) {
      out->StartWriteBack(static_cast<std::int64_t>(writtenBack), static_cast<std::int64_t>(received - writtenBack));
      writtenBack = received;
    }
  }
  if (error == 0 && !out->Close()) error = errno;
  out.reset();
  const bool stored = received == total && error == 0;
  if (!stored && !path.empty()) platform::fs::DeleteFile(path);
  file.temporaryPath = stored ? path : std::string();
  if (received == total && !stored) NoteFileNotStored(file.name, error);
  return received == total;
}

void RTE::NoteFileNotStored(const std::string& name, int error) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return;
  const std::string folder = EnsureTrailingBackslash(document->GetRootPath()) + CWexmoorDoc::kTemporaryFolderName;
  const std::optional<UserAccount> account =
      document->GetSettings().FindUser(static_cast<int>(GetUserIdentity().GetUserId()));
  const std::string sender = account ? account->GetName() : std::string("an unknown user");
  // A lasting cause is named once a minute, not for every file a client sends.
  if (const auto cause = RefusedWriteNotes::CauseOfWriteError(error)) {
    document->GetRefusedWrites().Note(
        *cause, folder,
        "the file \"" + name + "\" sent by " + sender + " (" + std::generic_category().message(error) + ")");
    return;
  }
  document->GetNotes().Add(ServerNotes::WithReason("The file \"" + name + "\" sent by " + sender +
                                                       " could not be stored in \"" + folder +
                                                       "\"; the request was refused",
                                                   error));
}

// --- writer ---------------------------------------------------------------------

void RTE::WriterThread() {
  if (threadStartHook_) threadStartHook_();
  bool ok = true;
  while (ok && !writerStop_) {
    {
      std::unique_lock<std::mutex> lock(queueMutex_);
      outboundReady_.wait_for(lock, std::chrono::milliseconds(kIdleWaitMs),
                              [this] { return writerStop_ || (!outbound_.empty() && userKeyIndex_ >= 0); });
    }
    if (writerStop_) break;
    if (connected_ && userKeyIndex_ >= 0) ok = WriteMessage();
  }
  writerFinished_ = true;
  readerStop_ = true;
  Wake();
}

RTE::Transfer RTE::SendAll(const char* data, std::size_t length) {
  std::size_t sent = 0;
  int errorCount = 0;
  while (sent < length) {
    if (writerStop_) return Transfer::Stopped;
    const platform::IoResult result = socket_->Send(data + sent, std::min(length - sent, kMaxSendCall));
    if (result.status == platform::IoStatus::Ok && result.bytes > 0) {
      sent += result.bytes;
      errorCount = 0;
    } else if (result.status == platform::IoStatus::Ok || result.status == platform::IoStatus::WouldBlock) {
      if (++errorCount >= kMaxSocketErrorCount) return Transfer::GaveUp;
      socket_->WaitWritable(kRetryWaitMs);
    } else {
      return Transfer::Failed;
    }
  }
  return Transfer::Done;
}

bool RTE::WriteMessage() {
  const int keyIndex = userKeyIndex_;
  if (!connected_ || keyIndex < 0) return false;
  try {
    Msg* queued = nullptr;
    {
      // It stays queued while it is sent; only this thread takes from the front,
      // and adding behind it leaves it in place.
      std::lock_guard<std::mutex> lock(queueMutex_);
      if (outbound_.empty()) return true;
      queued = outbound_.front().message.get();
    }
    std::vector<OutgoingFile> files;
    if (IsReplyWithFiles(queued->GetMessageId())) {
      // A reply with files is rebuilt for the wire; its list is small.
      Msg message(*queued);
      std::string field1;
      ParseFileReply(std::string(message.GetBody(), message.GetBodyLength()), field1, files);
      if (!message.SetBody(BuildWireFileReply(field1, files)) || !SendMessage(message, keyIndex)) return false;
    } else if (!SendMessage(*queued, keyIndex)) {
      return false;
    }
    for (const OutgoingFile& file : files) {
      if (file.send && !file.serverPath.empty() && !SendFile(file.serverPath, file.size)) return false;
    }
    Queued sent;
    {
      std::lock_guard<std::mutex> lock(queueMutex_);
      sent = std::move(outbound_.front());
      outbound_.pop_front();
    }
    outboundDrained_.notify_all();
    roomReady_.notify_all();
    return true;
  } catch (const std::bad_alloc&) {
    TraceError("Exception 1 in RTE::WriteMessage()");
    return false;
  }
}

bool RTE::SendMessage(Msg& message, int keyIndex) {
  message.SetUserIdentity(GetUserIdentity());
  message.StampSendTime();
  const std::size_t keyLength = static_cast<std::size_t>(std::max(KeyLength(keyIndex), 0));
  if (keyLength == 0) return false;
  // Header and body go out in calls of kMaxSendCall. Each body piece is encoded
  // behind its own key position in `scratch`, as part of the whole body.
  const auto piece = std::make_unique_for_overwrite<char[]>(kMaxSendCall);
  const auto scratch = std::make_unique_for_overwrite<char[]>(kMaxSendCall + keyLength);
  message.WriteHeader(reinterpret_cast<unsigned char*>(piece.get()));
  Transform(keyIndex, piece.get(), Msg::kHeaderSize);
  std::size_t filled = Msg::kHeaderSize;
  const std::size_t length = message.GetBodyLength();
  for (std::size_t at = 0;; filled = 0) {
    const std::size_t n = std::min(kMaxSendCall - filled, length - at);
    if (n > 0) {
      const std::size_t lead = at % keyLength;
      std::memcpy(scratch.get() + lead, message.GetBody() + at, n);
      Transform(keyIndex, scratch.get(), lead + n);
      std::memcpy(piece.get() + filled, scratch.get() + lead, n);
    }
    const Transfer sent = SendAll(piece.get(), filled + n);
    if (sent == Transfer::Failed) TraceError("RTE::WriteMessage() - Unknown socket error while sending message");
    if (sent != Transfer::Done) return false;
    at += n;
    if (at >= length) return true;
  }
}

bool RTE::SendFile(const std::string& path, std::int32_t expectedSize) {
  const int keyIndex = userKeyIndex_;
  if (!connected_ || keyIndex < 0 || expectedSize < 0) return false;
  // The store names where the file lies on disk.
  const platform::FileDescriptor in(path, O_RDONLY);
  std::int64_t size = -1;
  if (!in.Size(size) || size != expectedSize) return false;
  in.AdviseSequential();

  const int keyLength = KeyLength(keyIndex);
  if (keyLength < 1 || static_cast<std::size_t>(keyLength) > kMaxSendCall) return false;
  const std::size_t block = (kMaxSendCall / static_cast<std::size_t>(keyLength)) * static_cast<std::size_t>(keyLength);
  const auto buffer = std::make_unique_for_overwrite<char[]>(block);
  std::size_t remaining = static_cast<std::size_t>(expectedSize);
  while (remaining > 0) {
    const std::size_t wanted = std::min(block, remaining);
    if (!in.ReadExactly(buffer.get(), wanted)) return false;
    Transform(keyIndex, buffer.get(), wanted);
    if (SendAll(buffer.get(), wanted) != Transfer::Done) return false;
    remaining -= wanted;
  }
  return true;
}
