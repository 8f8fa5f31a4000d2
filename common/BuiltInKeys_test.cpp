#include "common/BuiltInKeys.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::uint64_t Fingerprint(const BuiltInKey& key) {
  std::uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
  for (unsigned char b : key) {
    hash ^= b;
    hash *= 0x100000001B3ull;
  }
  return hash;
}

// Users files and certificates already written depend on these bytes: a change
// to the generator must show up here.
TEST(BuiltInKeysTest, KeysNeverChange) {
  EXPECT_EQ(Fingerprint(SettingsBuiltInKey()), 0x6203E6C726E772CFull);
  EXPECT_EQ(Fingerprint(CertificateBuiltInKey()), 0x757131EB702479ADull);
  EXPECT_NE(SettingsBuiltInKey(), CertificateBuiltInKey());
}

}  // namespace
