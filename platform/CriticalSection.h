#pragma once
// A re-entrant lock: the thread that holds it may enter again, and must leave as
// often as it entered. Lock is the scoped way to hold it.
// A section may carry a rank: a thread holding ranked sections enters only a
// higher-ranked one (or one it already holds), so sections taken in rank order
// cannot deadlock. Debug and sanitizer builds check this and abort, naming both
// sections, at the first entry out of order; release builds keep no record.
#include <mutex>

namespace platform {

class CriticalSection {
 public:
  CriticalSection() = default;  // unranked: free of any order
  // `name` (a literal) is what the abort message calls the section.
  CriticalSection(int rank, const char* name) : rank_(rank), name_(name) {}
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter();
  bool TryEnter();  // false when another thread holds it
  void Leave();     // only by the holding thread

  int Rank() const { return rank_; }
  const char* Name() const { return name_; }

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
  const int rank_ = 0;
  const char* const name_ = "unranked";
};

}  // namespace platform
