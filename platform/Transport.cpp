#include "platform/Transport.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/BioMethod.h"
#include "platform/MemoryLink.h"
#include "platform/TlsContext.h"
#include "platform/TlsCredentials.h"

namespace platform {

struct Transport::Session {
  std::shared_ptr<const TlsContext> context;   // outlives the session made from it
  SSL* ssl = nullptr;
  int fd = -1;
  std::shared_ptr<MemoryLink> memory;          // instead of the socket, with this session's end
  int side = 0;
  bool atEnd = false;                          // the peer closed its sending side
  mutable std::mutex mutex;                    // one TLS call at a time
  bool established = false;
  std::string target, fingerprint;             // where a client's session is kept; empty: not kept
  std::vector<char> peeked;                    // decrypted bytes a Peek took from TLS
  // Records a Send makes go out in one socket write. While some wait for the
  // socket, whatever else TLS writes queues behind them.
  bool gathering = false;
  std::vector<char> outgoing;
  std::size_t outgoingSent = 0;                // of `outgoing`, on the socket already
  struct Record {
    std::size_t end;                           // in `outgoing`
    std::size_t plainBytes;
  };
  std::vector<Record> records;                 // those of `outgoing` a caller was not told of

  ~Session() { SSL_free(ssl); }
};

namespace {

// About four records: one socket write for what a plain send of a caller's
// usual call would take.
constexpr std::size_t kGatheredBytes = 64 * 1024;

bool IsRetryable(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS || error == EINTR;
}

Transport::Session& SessionOf(BIO* bio) { return *static_cast<Transport::Session*>(BIO_get_data(bio)); }

// TLS moves its bytes with the plain socket's calls: sends never raise SIGPIPE.
int SocketWrite(BIO* bio, const char* data, std::size_t length, std::size_t* written) {
  BIO_clear_retry_flags(bio);
  Transport::Session& session = SessionOf(bio);
  if (session.gathering || !session.outgoing.empty()) {
    session.outgoing.insert(session.outgoing.end(), data, data + length);
    *written = length;
    return 1;
  }
  const ssize_t sent = ::send(session.fd, data, length, MSG_NOSIGNAL);
  if (sent >= 0) {
    *written = static_cast<std::size_t>(sent);
    return 1;
  }
  if (IsRetryable(errno)) BIO_set_retry_write(bio);
  return 0;
}

int SocketRead(BIO* bio, char* buffer, std::size_t length, std::size_t* read) {
  BIO_clear_retry_flags(bio);
  const ssize_t got = ::recv(SessionOf(bio).fd, buffer, length, 0);
  if (got > 0) {
    *read = static_cast<std::size_t>(got);
    return 1;
  }
  if (got == 0) SessionOf(bio).atEnd = true;
  if (got < 0 && IsRetryable(errno)) BIO_set_retry_read(bio);
  return 0;
}

long SocketControl(BIO* bio, int command, long, void*) {
  if (command == BIO_CTRL_FLUSH) return 1;
  if (command == BIO_CTRL_EOF) return SessionOf(bio).atEnd ? 1 : 0;
  return 0;
}

BIO_METHOD* SocketMethod() {
  static BIO_METHOD* const method = NewSourceSinkMethod("wexmoor socket", SocketWrite, SocketRead, SocketControl);
  return method;
}

// What a failed TLS call means to a caller of the plain socket's calls.
IoStatus StatusAfter(SSL* ssl, int result) {
  switch (SSL_get_error(ssl, result)) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE: return IoStatus::WouldBlock;
    case SSL_ERROR_ZERO_RETURN: return IoStatus::Closed;
    default: break;
  }
  ERR_clear_error();
  return IoStatus::Failed;
}

// Starts the session's TLS over `bio` (which the session owns from then on) in
// its context's role; false when it could not be made.
bool StartSession(Transport::Session& session, BIO* bio) {
  session.ssl = SSL_new(session.context->Native());
  if (session.ssl == nullptr || bio == nullptr) {
    BIO_free(bio);
    ERR_clear_error();
    return false;
  }
  SSL_set_bio(session.ssl, bio, bio);
  if (session.context->GetRole() == TlsContext::Role::Server) {
    SSL_set_accept_state(session.ssl);
  } else {
    SSL_set_connect_state(session.ssl);
  }
  return true;
}

}  // namespace

Transport::Transport() = default;

Transport::Transport(Socket socket) : socket_(std::move(socket)) {}

Transport::Transport(Socket socket, std::shared_ptr<const TlsContext> context) : socket_(std::move(socket)) {
  if (!socket_.IsOpen() || context == nullptr) {
    socket_.Close();
    return;
  }
  auto session = std::make_unique<Session>();
  session->context = std::move(context);
  session->fd = socket_.Descriptor();
  BIO* bio = SocketMethod() != nullptr ? BIO_new(SocketMethod()) : nullptr;
  if (bio != nullptr) {
    BIO_set_data(bio, session.get());
    BIO_set_init(bio, 1);
  }
  if (!StartSession(*session, bio)) {
    socket_.Close();
    return;
  }
  tls_ = std::move(session);
}

std::pair<Transport, Transport> Transport::MemoryPair(std::shared_ptr<const TlsContext> first,
                                                      std::shared_ptr<const TlsContext> second) {
  const auto link = std::make_shared<MemoryLink>();
  std::pair<Transport, Transport> ends;
  Transport* const both[2] = {&ends.first, &ends.second};
  std::shared_ptr<const TlsContext> contexts[2] = {std::move(first), std::move(second)};
  for (int side = 0; side < 2; ++side) {
    if (contexts[side] == nullptr) return {};
    auto session = std::make_unique<Session>();
    session->context = std::move(contexts[side]);
    session->memory = link;
    session->side = side;
    if (!StartSession(*session, link->NewBio(side))) return {};
    both[side]->tls_ = std::move(session);
  }
  return ends;
}

bool Transport::IsOpen() const {
  return socket_.IsOpen() || (tls_ && tls_->memory && tls_->memory->IsOpen(tls_->side));
}

Transport::Transport(Socket socket, std::shared_ptr<const TlsContext> context, std::string target,
                     std::string fingerprint)
    : Transport(std::move(socket), std::move(context)) {
  if (!tls_ || tls_->context->GetRole() != TlsContext::Role::Client || target.empty()) return;
  if (SSL_SESSION* kept = tls_->context->Sessions().Find(target, fingerprint)) {
    SSL_set_session(tls_->ssl, kept);   // takes its own reference
    SSL_SESSION_free(kept);
  }
  tls_->target = std::move(target);
  tls_->fingerprint = std::move(fingerprint);
}

Transport::~Transport() { Close(); }

Transport::Transport(Transport&& other) noexcept
    : socket_(std::move(other.socket_)), tls_(std::move(other.tls_)) {}

Transport& Transport::operator=(Transport&& other) noexcept {
  if (this != &other) {
    Close();
    socket_ = std::move(other.socket_);
    tls_ = std::move(other.tls_);
  }
  return *this;
}

Transport::Handshake Transport::Advance() {
  if (!tls_) return socket_.IsOpen() ? Handshake::Done : Handshake::Failed;
  std::lock_guard lock(tls_->mutex);
  if (tls_->established) return Handshake::Done;
  if (!IsOpen()) return Handshake::Failed;
  const int result = SSL_do_handshake(tls_->ssl);
  if (result == 1) {
    tls_->established = true;
    // Records are read ahead from now on: one socket read brings several instead
    // of two reads (header, then body) for each. Not in the handshake, where bytes
    // read ahead would hide the peer's next step from a poll of the socket.
    SSL_set_read_ahead(tls_->ssl, 1);
    return Handshake::Done;
  }
  return StatusAfter(tls_->ssl, result) == IoStatus::WouldBlock ? Handshake::Pending : Handshake::Failed;
}

IoResult Transport::Send(const void* data, std::size_t length) {
  if (!tls_) return socket_.Send(data, length);
  const Handshake handshake = Advance();
  if (handshake != Handshake::Done) {
    return IoResult{handshake == Handshake::Pending ? IoStatus::WouldBlock : IoStatus::Failed, 0};
  }
  if (length == 0) return IoResult{IoStatus::Ok, 0};
  std::lock_guard lock(tls_->mutex);
  if (!IsOpen()) return IoResult{IoStatus::Failed, 0};
  int result = 1;
  if (tls_->memory) {
    // In memory nothing waits for a socket: the record is the link's at once.
    std::size_t written = 0;
    result = SSL_write_ex(tls_->ssl, data, length, &written);
    if (result == 1) return IoResult{IoStatus::Ok, written};
  } else {
    // Records the socket did not take go first; the caller, told only of records
    // sent whole, gives their bytes again and is told of them once they are out.
    if (!tls_->outgoing.empty()) return SendOutgoingLocked();
    // Each TLS write makes one record: gather several for one socket write, as one
    // plain send takes many bytes.
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    tls_->gathering = true;
    while (done < length && result == 1 && tls_->outgoing.size() < kGatheredBytes) {
      std::size_t written = 0;
      result = SSL_write_ex(tls_->ssl, bytes + done, length - done, &written);
      if (result == 1) {
        done += written;
        tls_->records.push_back(Session::Record{tls_->outgoing.size(), written});
      }
    }
    tls_->gathering = false;
    if (done > 0) {
      ERR_clear_error();   // what stopped the writing is met again by the next call
      return SendOutgoingLocked();
    }
  }
  const IoStatus status = StatusAfter(tls_->ssl, result);
  // The peer's farewell ends what it reads too: writing on is a failure.
  return IoResult{status == IoStatus::Closed ? IoStatus::Failed : status, 0};
}

IoResult Transport::SendOutgoingLocked() {
  Session& session = *tls_;
  while (session.outgoingSent < session.outgoing.size()) {
    const ssize_t sent = ::send(session.fd, session.outgoing.data() + session.outgoingSent,
                                session.outgoing.size() - session.outgoingSent, MSG_NOSIGNAL);
    if (sent > 0) {
      session.outgoingSent += static_cast<std::size_t>(sent);
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && IsRetryable(errno)) {
      break;
    } else {
      return IoResult{IoStatus::Failed, 0};
    }
  }
  std::size_t told = 0;
  std::size_t whole = 0;
  while (whole < session.records.size() && session.records[whole].end <= session.outgoingSent) {
    told += session.records[whole++].plainBytes;
  }
  session.records.erase(session.records.begin(), session.records.begin() + static_cast<std::ptrdiff_t>(whole));
  if (session.outgoingSent == session.outgoing.size()) {
    session.outgoing.clear();
    session.outgoingSent = 0;
  }
  return told > 0 ? IoResult{IoStatus::Ok, told} : IoResult{IoStatus::WouldBlock, 0};
}

IoResult Transport::ReadLocked(void* buffer, std::size_t length) {
  // Each TLS read gives one record: go on while bytes already taken from the
  // socket hold more, as one plain receive gives all that has arrived.
  char* bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  int result = 1;
  while (done < length && result == 1 && (done == 0 || SSL_has_pending(tls_->ssl) == 1)) {
    std::size_t read = 0;
    result = SSL_read_ex(tls_->ssl, bytes + done, length - done, &read);
    if (result == 1) done += read;
  }
  if (done > 0) {
    ERR_clear_error();   // an end or failure after the bytes is met again by the next call
    return IoResult{IoStatus::Ok, done};
  }
  return IoResult{StatusAfter(tls_->ssl, result), 0};
}

std::optional<IoResult> Transport::NotReadable(std::size_t length) {
  const Handshake handshake = Advance();
  if (handshake != Handshake::Done) {
    return IoResult{handshake == Handshake::Pending ? IoStatus::WouldBlock : IoStatus::Failed, 0};
  }
  if (length == 0) return IoResult{IoStatus::Ok, 0};
  return std::nullopt;
}

IoResult Transport::Receive(void* buffer, std::size_t length) {
  if (!tls_) return socket_.Receive(buffer, length);
  if (const std::optional<IoResult> early = NotReadable(length)) return *early;
  std::lock_guard lock(tls_->mutex);
  if (!IsOpen()) return IoResult{IoStatus::Failed, 0};
  std::vector<char>& peeked = tls_->peeked;
  if (!peeked.empty()) {
    const std::size_t taken = std::min(length, peeked.size());
    std::memcpy(buffer, peeked.data(), taken);
    peeked.erase(peeked.begin(), peeked.begin() + static_cast<std::ptrdiff_t>(taken));
    return IoResult{IoStatus::Ok, taken};
  }
  return ReadLocked(buffer, length);
}

IoResult Transport::Peek(void* buffer, std::size_t length) {
  if (!tls_) return socket_.Peek(buffer, length);
  if (const std::optional<IoResult> early = NotReadable(length)) return *early;
  std::lock_guard lock(tls_->mutex);
  if (!IsOpen()) return IoResult{IoStatus::Failed, 0};
  std::vector<char>& peeked = tls_->peeked;
  // A message may span records: gather what has arrived, up to what is asked.
  IoResult last{IoStatus::WouldBlock, 0};
  while (peeked.size() < length) {
    const std::size_t had = peeked.size();
    peeked.resize(length);
    last = ReadLocked(peeked.data() + had, length - had);
    peeked.resize(had + (last.status == IoStatus::Ok ? last.bytes : 0));
    if (last.status != IoStatus::Ok) break;
  }
  if (peeked.empty()) return IoResult{last.status, 0};
  const std::size_t copied = std::min(length, peeked.size());
  std::memcpy(buffer, peeked.data(), copied);
  return IoResult{IoStatus::Ok, copied};
}

bool Transport::WaitReadable(int timeoutMs) const {
  if (tls_ && HoldsReadable()) return true;
  if (tls_ && tls_->memory) return tls_->memory->WaitReadable(tls_->side, timeoutMs);
  return socket_.WaitReadable(timeoutMs);
}

bool Transport::WaitWritable(int timeoutMs) const {
  if (tls_ && tls_->memory) return IsOpen();
  return socket_.WaitWritable(timeoutMs);
}
bool Transport::HoldsReadable() const {
  std::lock_guard lock(tls_->mutex);
  // Bytes TLS took from the socket are not seen by a poll of it: decrypted ones,
  // and records read ahead, which count once a whole one is there (a part of one
  // waits for the rest from the socket).
  if (!tls_->peeked.empty() || SSL_pending(tls_->ssl) > 0) return true;
  if (!tls_->established || SSL_has_pending(tls_->ssl) != 1) return false;
  char byte = 0;
  std::size_t read = 0;
  const int result = SSL_peek_ex(tls_->ssl, &byte, 1, &read);
  // An end or a failure is news to a reader too.
  return result == 1 || StatusAfter(tls_->ssl, result) != IoStatus::WouldBlock;
}

bool Transport::Shutdown() {
  if (tls_) {
    std::lock_guard lock(tls_->mutex);
    if (tls_->established && IsOpen()) {
      SSL_shutdown(tls_->ssl);
      SendOutgoingLocked();
    }
    ERR_clear_error();
    if (tls_->memory) {
      tls_->memory->Close(tls_->side);
      return true;
    }
  }
  return socket_.Shutdown();
}

void Transport::Close() {
  if (!tls_) {
    socket_.Close();
    return;
  }
  std::lock_guard lock(tls_->mutex);
  // The session, with the ticket the server gave since the handshake, serves the next connection.
  if (tls_->established && !tls_->target.empty()) {
    tls_->context->Sessions().Keep(tls_->target, tls_->fingerprint, SSL_get0_session(tls_->ssl));
    tls_->target.clear();
  }
  // The farewell goes if the socket takes it at once; the peer reads Closed either way.
  if (tls_->established && IsOpen()) {
    SSL_shutdown(tls_->ssl);
    SendOutgoingLocked();
  }
  ERR_clear_error();
  if (tls_->memory) tls_->memory->Close(tls_->side);
  socket_.Close();
}

std::string Transport::PeerFingerprint() const {
  if (!tls_) return "";
  std::lock_guard lock(tls_->mutex);
  if (!tls_->established) return "";
  return TlsCredentials::FingerprintOf(SSL_get0_peer_certificate(tls_->ssl));
}

bool Transport::IsResumed() const {
  if (!tls_) return false;
  std::lock_guard lock(tls_->mutex);
  return tls_->established && SSL_session_reused(tls_->ssl) == 1;
}

}  // namespace platform
