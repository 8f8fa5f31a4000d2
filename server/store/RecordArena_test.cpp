#include "server/store/RecordArena.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct Block {
  unsigned char* bytes;
  std::size_t size;
  unsigned char pattern;
};

Block Take(RecordArena& arena, std::size_t size, unsigned char pattern) {
  Block block{static_cast<unsigned char*>(arena.Allocate(size)), size, pattern};
  std::memset(block.bytes, pattern, size);
  return block;
}

// True when no other block wrote over the block.
bool Intact(const Block& block) {
  for (std::size_t i = 0; i < block.size; ++i) {
    if (block.bytes[i] != block.pattern) return false;
  }
  return true;
}

}  // namespace

// Blocks of each size keep their bytes while others come and go, and what is
// given back is mapped no longer (but for one kept slab) and serves again.
TEST(RecordArenaTest, BlocksKeepTheirBytesAndTheirMemoryComesBack) {
  struct Case {
    std::size_t size;
    int count;
  };
  for (const Case& c : std::vector<Case>{{1, 3000}, {RecordArena::kStep, 3000}, {RecordArena::kStep + 1, 3000},
                                         {1500, 400}, {RecordArena::kLargestInSlab, 30},
                                         {RecordArena::kLargestInSlab + 1, 10}, {300000, 3}}) {
    RecordArena arena;
    std::vector<Block> blocks;
    for (int i = 0; i < c.count; ++i) blocks.push_back(Take(arena, c.size, static_cast<unsigned char>(i % 251)));
    const std::size_t peak = arena.MappedBytes();
    EXPECT_GE(peak, static_cast<std::size_t>(c.count) * c.size) << c.size;
    for (const Block& block : blocks) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.bytes) % alignof(std::max_align_t), 0U) << c.size;
    }
    // Every second one given back and taken again with another pattern.
    for (std::size_t i = 0; i < blocks.size(); i += 2) {
      arena.Release(blocks[i].bytes, c.size);
      blocks[i] = Take(arena, c.size, 0xEE);
    }
    EXPECT_EQ(arena.MappedBytes(), peak) << c.size;
    for (const Block& block : blocks) ASSERT_TRUE(Intact(block)) << c.size;
    for (const Block& block : blocks) arena.Release(block.bytes, c.size);
    EXPECT_LE(arena.MappedBytes(), RecordArena::kSlabBytes) << c.size;
  }
}

// Threads taking and giving back blocks of many sizes at once never share a block.
TEST(RecordArenaTest, ThreadsShareTheArena) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  RecordArena arena;
  std::vector<int> damaged(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::vector<Block> held;
      for (int round = 0; round < kRounds; ++round) {
        const std::size_t size = 1 + static_cast<std::size_t>((round * 97 + t * 31) % 3000);
        held.push_back(Take(arena, size, static_cast<unsigned char>(t + 1)));
        if (round % 3 == 2) {
          damaged[static_cast<std::size_t>(t)] += Intact(held.front()) ? 0 : 1;
          arena.Release(held.front().bytes, held.front().size);
          held.erase(held.begin());
        }
      }
      for (const Block& block : held) {
        damaged[static_cast<std::size_t>(t)] += Intact(block) ? 0 : 1;
        arena.Release(block.bytes, block.size);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(damaged, std::vector<int>(kThreads, 0));
  EXPECT_LE(arena.MappedBytes(), RecordArena::kSlabBytes);
}
