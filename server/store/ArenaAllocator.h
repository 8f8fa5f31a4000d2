#pragma once
// A standard allocator drawing on a RecordArena, so that containers and shared
// records of the cache keep their memory there. Copies share the arena, which
// lives as long as the last of them.
#include <cstddef>
#include <memory>
#include <string>

#include "server/store/RecordArena.h"

template <class T>
class ArenaAllocator {
 public:
  using value_type = T;

  explicit ArenaAllocator(std::shared_ptr<RecordArena> arena) : arena_(std::move(arena)) {}
  template <class U>
  ArenaAllocator(const ArenaAllocator<U>& other) : arena_(other.Arena()) {}  // NOLINT: rebinding converts

  T* allocate(std::size_t n) { return static_cast<T*>(arena_->Allocate(n * sizeof(T))); }
  void deallocate(T* block, std::size_t n) noexcept { arena_->Release(block, n * sizeof(T)); }
  const std::shared_ptr<RecordArena>& Arena() const { return arena_; }

  template <class U>
  bool operator==(const ArenaAllocator<U>& other) const {
    return arena_ == other.Arena();
  }

 private:
  std::shared_ptr<RecordArena> arena_;
};

using ArenaString = std::basic_string<char, std::char_traits<char>, ArenaAllocator<char>>;
