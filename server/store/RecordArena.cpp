#include "server/store/RecordArena.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <new>

// Kept at the start of its slab, which is aligned to its size, so a block finds it.
struct RecordArena::Slab {
  Slab* previous = nullptr;
  Slab* next = nullptr;
  void* freeBlocks = nullptr;  // each freed block holds the next one's address
  char* untouched = nullptr;   // blocks from here to the end were never handed out
  std::size_t blockBytes = 0;
  std::size_t held = 0;
  bool linked = false;
};

namespace {

// The slab's header takes whole steps, so blocks keep the step's alignment.
constexpr std::size_t kHeaderBytes = 2 * RecordArena::kStep;
static_assert(RecordArena::kStep % alignof(std::max_align_t) == 0 && sizeof(void*) <= RecordArena::kStep);

std::size_t PageBytes() {
  static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return page;
}

std::size_t RoundUp(std::size_t bytes, std::size_t step) { return (bytes + step - 1) / step * step; }

void* Map(std::size_t bytes) {
  void* mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  return mapped;
}

// A mapping of kSlabBytes aligned to its size: twice as much mapped, the rest cut off.
void* MapAlignedSlab() {
  constexpr std::size_t size = RecordArena::kSlabBytes;
  char* mapped = static_cast<char*>(Map(2 * size));
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(mapped);
  char* aligned = mapped + (RoundUp(address, size) - address);
  if (aligned != mapped) ::munmap(mapped, static_cast<std::size_t>(aligned - mapped));
  ::munmap(aligned + size, static_cast<std::size_t>(mapped + 2 * size - (aligned + size)));
  return aligned;
}

}  // namespace

RecordArena::~RecordArena() {
  // Every block is back by now (each holder keeps the arena alive): only emptied slabs are left.
  for (Slab* slab : withRoom_) {
    while (slab != nullptr) {
      Slab* next = slab->next;
      ::munmap(slab, kSlabBytes);
      slab = next;
    }
  }
  if (spare_ != nullptr) ::munmap(spare_, kSlabBytes);
}

std::size_t RecordArena::BlockBytes(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  return bytes > kLargestInSlab ? RoundUp(bytes, PageBytes()) : RoundUp(bytes, kStep);
}

void* RecordArena::Allocate(std::size_t bytes) {
  const std::size_t size = BlockBytes(bytes);
  if (size > kLargestInSlab) {
    void* block = Map(size);
    std::lock_guard<std::mutex> hold(mutex_);
    mappedBytes_ += size;
    return block;
  }
  std::lock_guard<std::mutex> hold(mutex_);
  Slab*& first = withRoom_[size / kStep - 1];
  if (first == nullptr) Link(NewSlab(size));
  Slab* slab = first;
  void* block = slab->freeBlocks;
  if (block != nullptr) {
    slab->freeBlocks = *static_cast<void**>(block);
  } else {
    block = slab->untouched;
    slab->untouched += size;
  }
  ++slab->held;
  const char* end = reinterpret_cast<const char*>(slab) + kSlabBytes;
  if (slab->freeBlocks == nullptr && static_cast<std::size_t>(end - slab->untouched) < size) Unlink(slab);
  return block;
}

void RecordArena::Release(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  const std::size_t size = BlockBytes(bytes);
  if (size > kLargestInSlab) {
    ::munmap(block, size);
    std::lock_guard<std::mutex> hold(mutex_);
    mappedBytes_ -= size;
    return;
  }
  std::lock_guard<std::mutex> hold(mutex_);
  Slab* slab = reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(block) & ~(kSlabBytes - 1));
  *static_cast<void**>(block) = slab->freeBlocks;
  slab->freeBlocks = block;
  if (--slab->held == 0) {
    if (slab->linked) Unlink(slab);
    if (spare_ == nullptr) {
      spare_ = slab;
    } else {
      ::munmap(slab, kSlabBytes);
      mappedBytes_ -= kSlabBytes;
    }
  } else if (!slab->linked) {
    Link(slab);
  }
}

std::size_t RecordArena::MappedBytes() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return mappedBytes_;
}

RecordArena::Slab* RecordArena::NewSlab(std::size_t blockBytes) {
  static_assert(sizeof(Slab) <= kHeaderBytes);
  void* memory = spare_;
  spare_ = nullptr;
  if (memory == nullptr) {
    memory = MapAlignedSlab();
    mappedBytes_ += kSlabBytes;
  }
  Slab* slab = new (memory) Slab;
  slab->untouched = static_cast<char*>(memory) + kHeaderBytes;
  slab->blockBytes = blockBytes;
  return slab;
}

void RecordArena::Link(Slab* slab) {
  Slab*& first = withRoom_[slab->blockBytes / kStep - 1];
  slab->previous = nullptr;
  slab->next = first;
  if (first != nullptr) first->previous = slab;
  first = slab;
  slab->linked = true;
}

void RecordArena::Unlink(Slab* slab) {
  Slab*& first = withRoom_[slab->blockBytes / kStep - 1];
  if (slab->previous != nullptr) slab->previous->next = slab->next;
  if (slab->next != nullptr) slab->next->previous = slab->previous;
  if (first == slab) first = slab->next;
  slab->previous = slab->next = nullptr;
  slab->linked = false;
}
