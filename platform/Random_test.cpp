#include "platform/Random.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace platform {
namespace {

TEST(Random, BelowStaysInRangeAndReachesEveryValue) {
  std::set<std::uint32_t> seen;
  for (int i = 0; i < 2000; ++i) {
    const std::uint32_t value = RandomBelow(7);
    ASSERT_LT(value, 7u);
    seen.insert(value);
  }
  EXPECT_EQ(seen.size(), 7u);
  EXPECT_EQ(RandomBelow(1), 0u);
}

TEST(Random, BytesFillTheWholeBuffer) {
  std::array<unsigned char, 4096> first{}, second{};
  RandomBytes(first.data(), first.size());
  RandomBytes(second.data(), second.size());
  EXPECT_NE(first, second);
  std::set<unsigned char> distinct(first.begin(), first.end());
  EXPECT_GT(distinct.size(), 200u);   // zeros left at the end would show here
  EXPECT_NE(first[4095] | first[4094] | first[4093] | first[4092], 0);
}

}  // namespace
}  // namespace platform
