#include "platform/Random.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

void RandomBytes(void* buffer, std::size_t length) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (length > 0) {
    const ssize_t got = ::getrandom(bytes, length, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      std::abort();  // no secure source: keys and codes must not be made up
    }
    bytes += got;
    length -= static_cast<std::size_t>(got);
  }
}

std::uint32_t RandomBelow(std::uint32_t bound) {
  if (bound == 0) return 0;
  // Reject the top values that would make some results more likely than others.
  const std::uint32_t limit = UINT32_MAX - (UINT32_MAX % bound + 1) % bound;
  std::uint32_t value = 0;
  do {
    RandomBytes(&value, sizeof value);
  } while (value > limit);
  return value % bound;
}

}  // namespace platform
