#pragma once
// Storage of the record cache's own, apart from the allocator's pools. Requests
// parse records into many small passing strings; cached records made among them
// kept the pages the passing work freed resident long after it ended. Here blocks
// are taken from slabs of 64 KiB mapped for them alone, each slab holding blocks of
// one size (in steps of 32 bytes); a freed block serves the next block of its size,
// a slab none of whose blocks is held goes back to the system (one is kept for the
// next), and blocks above 8 KiB get mappings of their own. Thread-safe.
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

class RecordArena {
 public:
  static constexpr std::size_t kSlabBytes = std::size_t{64} << 10;
  static constexpr std::size_t kStep = 32;
  static constexpr std::size_t kLargestInSlab = std::size_t{8} << 10;

  RecordArena() = default;
  RecordArena(const RecordArena&) = delete;
  RecordArena& operator=(const RecordArena&) = delete;
  ~RecordArena();

  // A block of `bytes` (at least 1), aligned for any object; throws std::bad_alloc
  // when the system has no memory for it.
  void* Allocate(std::size_t bytes);
  // Gives back a block Allocate gave for the same `bytes`.
  void Release(void* block, std::size_t bytes) noexcept;
  // What a block of `bytes` takes of the arena's memory.
  static std::size_t BlockBytes(std::size_t bytes);
  // The memory the arena holds mapped, the kept empty slab included.
  std::size_t MappedBytes() const;

 private:
  struct Slab;
  static constexpr std::size_t kSizes = kLargestInSlab / kStep;

  Slab* NewSlab(std::size_t blockBytes);
  void Link(Slab* slab);
  void Unlink(Slab* slab);

  mutable std::mutex mutex_;
  std::array<Slab*, kSizes> withRoom_{};  // per block size, the slabs with a free block
  Slab* spare_ = nullptr;
  std::size_t mappedBytes_ = 0;
};
