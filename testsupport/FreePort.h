#pragma once
// A port for a test's server to listen on. The kernel hands ports of its ephemeral
// range to outgoing connections as well, so a port probed there can be taken by any
// connect of a test running beside this one before the server binds it. Ports below
// that range are taken only by listeners, and the probe finds those.
#include <cstdint>
#include <fstream>
#include <random>

#include "platform/Socket.h"

namespace testsupport {

inline int FirstEphemeralPort() {
  std::ifstream range("/proc/sys/net/ipv4/ip_local_port_range");
  int low = 0;
  return range >> low && low > 0 && low <= 65535 ? low : 32768;
}

// A port no listener holds on any address (the server binds them all), below the
// ephemeral range where that range leaves room; 0 when none was found.
inline std::uint16_t FreeListeningPort() {
  constexpr int kLowest = 10000;
  const int highest = FirstEphemeralPort() - 1;
  if (highest < kLowest + 1000) return platform::Socket::Listen(0, 1).LocalPort();
  std::mt19937 pick{std::random_device{}()};
  std::uniform_int_distribution<int> ports(kLowest, highest);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate = static_cast<std::uint16_t>(ports(pick));
    if (platform::Socket::Listen(candidate, 1).IsOpen()) return candidate;
  }
  return 0;
}

}  // namespace testsupport
