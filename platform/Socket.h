#pragma once
// An owned IPv4 TCP socket. Connecting blocks; once connected (or accepted) all I/O
// is non-blocking, so Send and Receive report "try again" instead of waiting, and
// Wait* let a caller sleep until the socket is ready. Sends never raise SIGPIPE.
#include <netinet/in.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class IoStatus {
  Ok,          // `bytes` were moved (a send may be partial)
  WouldBlock,  // nothing moved now (would block, no buffers, interrupted): retry later
  Closed,      // the peer closed its sending side: 0 bytes read
  Failed       // the connection is unusable (reset, broken pipe, not connected, ...)
};

struct IoResult {
  IoStatus status = IoStatus::Failed;
  std::size_t bytes = 0;
};

class Socket {
 public:
  Socket() = default;   // not open
  ~Socket();
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Connects to `host` (a name or a dotted address). Not open on failure.
  static Socket Connect(const std::string& host, std::uint16_t port);
  // Connects to `address` without blocking the caller for long: the attempt is
  // polled in steps of at most 20 ms, giving up when `stop` becomes true or after
  // `limitMs`. Not open on failure, refusal, stop or time-out; then `error`, when
  // given, says why: ECONNREFUSED, ETIMEDOUT (the limit passed), ECANCELED (stopped)
  // or the system's error number.
  static Socket ConnectStoppable(const sockaddr_in& address, const std::atomic<bool>& stop, int limitMs = 10000,
                                 int* error = nullptr);
  // Listens on `port` (0: a free port, see LocalPort) of every address, or of the
  // dotted `address` when given, with SO_REUSEADDR. Not open on failure.
  static Socket Listen(std::uint16_t port, int backlog, const std::string& address = "");

  // On a listener: Ok with `accepted` open, WouldBlock when nobody waits, Failed.
  IoStatus Accept(Socket& accepted);
  IoResult Send(const void* data, std::size_t length);
  IoResult Receive(void* buffer, std::size_t length);
  // Copies up to `length` of the bytes that have arrived without taking them:
  // the next Receive still reads them. Same results as Receive.
  IoResult Peek(void* buffer, std::size_t length) const;

  // Waits up to `timeoutMs` (negative: for ever) until reading / writing (or
  // accepting) would not block, or the socket has an error or hang-up that the next
  // call will report. False on time-out.
  bool WaitReadable(int timeoutMs) const;
  bool WaitWritable(int timeoutMs) const;
  // WaitReadable over many sockets with one poll(2): `ready[i]` tells whether
  // sockets[i] is ready. False on time-out.
  static bool WaitAnyReadable(const std::vector<const Socket*>& sockets, int timeoutMs, std::vector<char>& ready);

  bool Shutdown();   // ends both directions; the peer reads Closed
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The descriptor, for a layer above (TLS) that moves the bytes itself; -1 when not open.
  int Descriptor() const { return fd_; }

  // Kernel buffer sizes (SO_SNDBUF / SO_RCVBUF); 0 leaves one unchanged.
  bool SetBufferSizes(int sendBytes, int receiveBytes);

  std::string LocalAddress() const;   // dotted; empty when unknown
  std::uint16_t LocalPort() const;    // 0 when unknown
  std::string PeerAddress() const;
  std::uint16_t PeerPort() const;

 private:
  explicit Socket(int fd) : fd_(fd) {}
  bool Wait(short events, int timeoutMs) const;
  IoResult ReceiveWith(void* buffer, std::size_t length, int flags) const;

  int fd_ = -1;
};

}  // namespace platform
