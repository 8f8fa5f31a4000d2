#include "platform/ServiceNotifier.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// A positive decimal number, or nullopt.
std::optional<unsigned long long> PositiveNumber(const char* text) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (*end != '\0' || value == 0 || text[0] == '-') return std::nullopt;
  return value;
}

}  // namespace

ServiceNotifier::ServiceNotifier() {
  const char* path = std::getenv("NOTIFY_SOCKET");
  if (path != nullptr && (path[0] == '/' || path[0] == '@') && std::strlen(path) < sizeof(sockaddr_un::sun_path)) {
    socketPath_ = path;
  }
  // The watchdog is meant for this process only when no other one is named.
  const std::optional<unsigned long long> pid = PositiveNumber(std::getenv("WATCHDOG_PID"));
  const std::optional<unsigned long long> usec = PositiveNumber(std::getenv("WATCHDOG_USEC"));
  if (Enabled() && usec && (!pid || *pid == static_cast<unsigned long long>(::getpid()))) {
    watchdog_ = std::chrono::microseconds(*usec);
  }
}

bool ServiceNotifier::Notify(const std::string& state) const {
  if (!Enabled()) return false;
  const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketPath_.data(), socketPath_.size());
  if (socketPath_[0] == '@') address.sun_path[0] = '\0';
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketPath_.size());
  const ssize_t sent =
      ::sendto(socket, state.data(), state.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address), length);
  ::close(socket);
  return sent == static_cast<ssize_t>(state.size());
}

}  // namespace platform
