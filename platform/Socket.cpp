#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace platform {
namespace {

bool IsRetryable(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS || error == EINTR;
}

// A message's last piece goes out at once instead of waiting for the peer's delayed
// acknowledgement of the piece before it (some 40 ms per reply of over one piece).
void SendPiecesAtOnce(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// A blocking connect that is interrupted goes on in the background; wait for it.
bool ConnectBlocking(int fd, const sockaddr* address, socklen_t length) {
  if (::connect(fd, address, length) == 0) return true;
  if (errno != EINTR) return false;
  pollfd p{fd, POLLOUT, 0};
  while (::poll(&p, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  int error = 0;
  socklen_t size = sizeof error;
  return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

using NameGetter = int (*)(int, sockaddr*, socklen_t*);

bool AddressOf(int fd, NameGetter getter, sockaddr_in& address) {
  socklen_t length = sizeof address;
  return fd >= 0 && getter(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
         address.sin_family == AF_INET;
}

std::string DottedAddress(int fd, NameGetter getter) {
  sockaddr_in address{};
  char text[INET_ADDRSTRLEN] = {};
  if (!AddressOf(fd, getter, address) ||
      ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) {
    return "";
  }
  return text;
}

std::uint16_t PortOf(int fd, NameGetter getter) {
  sockaddr_in address{};
  return AddressOf(fd, getter, address) ? ntohs(address.sin_port) : 0;
}

}  // namespace

Socket::~Socket() { Close(); }

Socket::Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

Socket Socket::Connect(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return Socket();
  Socket connected;
  for (const addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
    sockaddr_in address{};
    address = *reinterpret_cast<const sockaddr_in*>(candidate->ai_addr);
    address.sin_port = htons(port);
    Socket attempt(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (attempt.IsOpen() &&
        ConnectBlocking(attempt.fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) &&
        SetNonBlocking(attempt.fd_)) {
      SendPiecesAtOnce(attempt.fd_);
      connected = std::move(attempt);
      break;
    }
  }
  ::freeaddrinfo(found);
  return connected;
}

Socket Socket::ConnectStoppable(const sockaddr_in& address, const std::atomic<bool>& stop, int limitMs, int* error) {
  constexpr int kStepMs = 20;
  int why = 0;
  const auto failed = [&](int cause) {
    if (error != nullptr) *error = cause;
    return Socket();
  };
  Socket attempt(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!attempt.IsOpen()) return failed(errno);
  SendPiecesAtOnce(attempt.fd_);
  if (::connect(attempt.fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return attempt;
  if (errno != EINPROGRESS && errno != EINTR) return failed(errno);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!stop.load()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return failed(ETIMEDOUT);
    pollfd p{attempt.fd_, POLLOUT, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), kStepMs)));
    if (ready < 0 && errno != EINTR) return failed(errno);
    if (ready <= 0) continue;
    socklen_t size = sizeof why;
    if (::getsockopt(attempt.fd_, SOL_SOCKET, SO_ERROR, &why, &size) != 0) return failed(errno);
    if (why != 0) return failed(why);
    return attempt;
  }
  return failed(ECANCELED);
}

Socket Socket::Listen(std::uint16_t port, int backlog, const std::string& address) {
  sockaddr_in bound{};
  bound.sin_family = AF_INET;
  bound.sin_port = htons(port);
  bound.sin_addr.s_addr = htonl(INADDR_ANY);
  if (!address.empty() && ::inet_pton(AF_INET, address.c_str(), &bound.sin_addr) != 1) return Socket();
  Socket listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  const int reuse = 1;
  if (!listener.IsOpen() ||
      ::setsockopt(listener.fd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
      ::bind(listener.fd_, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
      ::listen(listener.fd_, backlog) != 0) {
    return Socket();
  }
  return listener;
}

IoStatus Socket::Accept(Socket& accepted) {
  const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd >= 0) {
    SendPiecesAtOnce(fd);
    accepted = Socket(fd);
    return IoStatus::Ok;
  }
  // A connection that died while queued is the caller's cue to try again.
  return IsRetryable(errno) || errno == ECONNABORTED ? IoStatus::WouldBlock : IoStatus::Failed;
}

IoResult Socket::Send(const void* data, std::size_t length) {
  if (fd_ < 0) return IoResult{IoStatus::Failed, 0};
  if (length == 0) return IoResult{IoStatus::Ok, 0};
  const ssize_t sent = ::send(fd_, data, length, MSG_NOSIGNAL);
  if (sent >= 0) return IoResult{IoStatus::Ok, static_cast<std::size_t>(sent)};
  return IoResult{IsRetryable(errno) ? IoStatus::WouldBlock : IoStatus::Failed, 0};
}

IoResult Socket::Receive(void* buffer, std::size_t length) { return ReceiveWith(buffer, length, 0); }

IoResult Socket::Peek(void* buffer, std::size_t length) const { return ReceiveWith(buffer, length, MSG_PEEK); }

IoResult Socket::ReceiveWith(void* buffer, std::size_t length, int flags) const {
  if (fd_ < 0 || length == 0) return IoResult{fd_ < 0 ? IoStatus::Failed : IoStatus::Ok, 0};
  const ssize_t got = ::recv(fd_, buffer, length, flags);
  if (got > 0) return IoResult{IoStatus::Ok, static_cast<std::size_t>(got)};
  if (got == 0) return IoResult{IoStatus::Closed, 0};
  return IoResult{IsRetryable(errno) ? IoStatus::WouldBlock : IoStatus::Failed, 0};
}

bool Socket::Wait(short events, int timeoutMs) const {
  if (fd_ < 0) return true;   // the next call reports the failure at once
  pollfd p{fd_, events, 0};
  const int result = ::poll(&p, 1, timeoutMs);
  return result != 0;         // ready, error or interrupted: let the caller look
}

bool Socket::WaitReadable(int timeoutMs) const { return Wait(POLLIN, timeoutMs); }

bool Socket::WaitAnyReadable(const std::vector<const Socket*>& sockets, int timeoutMs, std::vector<char>& ready) {
  std::vector<pollfd> polled;
  polled.reserve(sockets.size());
  for (const Socket* socket : sockets) polled.push_back(pollfd{socket->fd_, POLLIN, 0});
  const int result = ::poll(polled.data(), polled.size(), timeoutMs);
  ready.assign(sockets.size(), 0);
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    // A closed socket or an interrupted wait: let the caller look.
    ready[i] = sockets[i]->fd_ < 0 || result < 0 || polled[i].revents != 0 ? 1 : 0;
  }
  return result != 0;
}

bool Socket::WaitWritable(int timeoutMs) const { return Wait(POLLOUT, timeoutMs); }

bool Socket::Shutdown() { return fd_ >= 0 && ::shutdown(fd_, SHUT_RDWR) == 0; }

void Socket::Close() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

bool Socket::SetBufferSizes(int sendBytes, int receiveBytes) {
  if (fd_ < 0) return false;
  bool ok = true;
  if (sendBytes > 0) ok = ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &sendBytes, sizeof sendBytes) == 0;
  if (receiveBytes > 0) {
    ok = ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBytes, sizeof receiveBytes) == 0 && ok;
  }
  return ok;
}

std::string Socket::LocalAddress() const { return DottedAddress(fd_, ::getsockname); }
std::uint16_t Socket::LocalPort() const { return PortOf(fd_, ::getsockname); }
std::string Socket::PeerAddress() const { return DottedAddress(fd_, ::getpeername); }
std::uint16_t Socket::PeerPort() const { return PortOf(fd_, ::getpeername); }

}  // namespace platform
