#pragma once
// Secure random bytes from the system (getrandom).
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

void RandomBytes(void* buffer, std::size_t length);   // never fails (retries on EINTR, aborts only if the kernel cannot serve)
std::uint32_t RandomBelow(std::uint32_t bound);        // uniform in [0, bound); bound > 0

}  // namespace platform
