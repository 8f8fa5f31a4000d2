#pragma once
// A re-entrant lock: the thread that holds it may enter again, and must leave as
// often as it entered. Lock is the scoped way to hold it.
#include <mutex>

namespace platform {

class CriticalSection {
 public:
  CriticalSection() = default;
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { mutex_.lock(); }
  bool TryEnter() { return mutex_.try_lock(); }  // false when another thread holds it
  void Leave() { mutex_.unlock(); }              // only by the holding thread

  // Holds the section from construction to destruction.
  class Lock {
   public:
    explicit Lock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~Lock() { section_.Leave(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    CriticalSection& section_;
  };

 private:
  std::recursive_mutex mutex_;
};

}  // namespace platform
