#pragma once
// A connected byte stream, plain or TLS, with the calls of a non-blocking Socket:
// Send and Receive report "try again" instead of waiting, and Wait* let a caller
// sleep until the stream may move bytes. A Send that took part of what it was
// given is followed by one that starts with the bytes it did not take, as on a
// socket. Over TLS every call is a TLS call: the handshake advances inside the
// first calls (which say "try again" until it is done), bytes are encrypted and
// decrypted, and Close sends the TLS farewell. One reading and one writing thread
// may use a TLS stream at once.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/Socket.h"

namespace platform {

class TlsContext;

class Transport {
 public:
  enum class Handshake { Done, Pending, Failed };

  Transport();   // not open
  // The plain socket.
  explicit Transport(Socket socket);
  // TLS over `socket` in the context's role (server or client).
  Transport(Socket socket, std::shared_ptr<const TlsContext> context);
  // Two TLS ends, in the contexts' roles, whose records pass to each other in
  // memory instead of over a socket (fuzzing and tests: no port, no kernel).
  // Closing one reads as the peer's end at the other. Neither is open when a
  // session could not be made.
  static std::pair<Transport, Transport> MemoryPair(std::shared_ptr<const TlsContext> first,
                                                    std::shared_ptr<const TlsContext> second);

  // TLS as a client of `target` (its address and port) whose certificate is pinned
  // by `fingerprint`: the handshake resumes the session the client context kept for
  // that target under that fingerprint, and on Close this one's session is kept.
  Transport(Socket socket, std::shared_ptr<const TlsContext> context, std::string target, std::string fingerprint);
  ~Transport();
  Transport(Transport&& other) noexcept;
  Transport& operator=(Transport&& other) noexcept;
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  struct Session;   // the TLS state (internal)

  bool IsTls() const { return tls_ != nullptr; }
  // Moves the handshake on as far as the bytes at hand allow; Done at once on a plain stream.
  Handshake Advance();

  IoResult Send(const void* data, std::size_t length);
  IoResult Receive(void* buffer, std::size_t length);
  // Copies up to `length` of the bytes that have arrived without taking them: the
  // next Receive still reads them. Over TLS it gathers across records.
  IoResult Peek(void* buffer, std::size_t length);

  bool WaitReadable(int timeoutMs) const;
  bool WaitWritable(int timeoutMs) const;

  bool Shutdown();
  void Close();
  bool IsOpen() const;

  // The SHA-256 fingerprint of the certificate the peer presented (see
  // TlsCredentials); empty on a plain stream or before the handshake is done.
  std::string PeerFingerprint() const;
  // Whether the handshake resumed a kept session instead of making a new one.
  bool IsResumed() const;

  const Socket& GetSocket() const { return socket_; }

 private:
  IoResult ReadLocked(void* buffer, std::size_t length);
  // Puts gathered records on the socket as far as it takes them; Ok with the bytes
  // of those now sent whole that the caller was not told of yet.
  IoResult SendOutgoingLocked();
  // What a read of `length` bytes gives before any is read: the handshake not done
  // yet (would block, or failed), or nothing asked; none when bytes may be read.
  std::optional<IoResult> NotReadable(std::size_t length);
  // Whether TLS holds bytes (or an end) a read would give without the socket.
  bool HoldsReadable() const;

  Socket socket_;
  std::unique_ptr<Session> tls_;
};

}  // namespace platform
