#include "common/BuiltInKeys.h"

#include <cstdint>

namespace {

// A splitmix64 stream from a fixed seed: simple, fully determined, and the same on
// every platform, so server and clients always derive identical keys.
BuiltInKey GenerateKey(std::uint64_t seed) {
  BuiltInKey key{};
  std::uint64_t state = seed;
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (i % 8 == 0) {
      state += 0x9E3779B97F4A7C15ull;
      word = state;
      word = (word ^ (word >> 30)) * 0xBF58476D1CE4E5B9ull;
      word = (word ^ (word >> 27)) * 0x94D049BB133111EBull;
      word ^= word >> 31;
    }
    key[i] = static_cast<unsigned char>(word >> (8 * (i % 8)));
  }
  return key;
}

constexpr std::uint64_t kSettingsKeySeed = 0x57584D6F6F725331ull;
constexpr std::uint64_t kCertificateKeySeed = 0x4252616E6E43654Bull;

}  // namespace

BuiltInKey SettingsBuiltInKey() { return GenerateKey(kSettingsKeySeed); }

BuiltInKey CertificateBuiltInKey() { return GenerateKey(kCertificateKeySeed); }
