#pragma once
// A byte link held in memory between two ends (0 and 1), for a TLS session that
// runs without a socket: what one end writes queues for the other to read. Any
// thread may use either end. Once an end is closed the other reads the end of the
// stream after what was queued for it, and writes either way are refused.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

struct bio_st;

namespace platform {

class MemoryLink {
 public:
  MemoryLink() = default;
  MemoryLink(const MemoryLink&) = delete;
  MemoryLink& operator=(const MemoryLink&) = delete;

  // A BIO over end `side` that the TLS session owning it frees; the link must
  // outlive it. Null when none could be made.
  bio_st* NewBio(int side);

  // Queues `length` bytes for the other end; false once either end is closed.
  bool Write(int side, const char* data, std::size_t length);
  // Takes up to `length` bytes queued for `side`: how many; 0 with `ended` when
  // none wait and the other end is closed.
  std::size_t Read(int side, char* buffer, std::size_t length, bool& ended);
  // Waits up to `timeoutMs` until bytes wait for `side` or an end is closed.
  bool WaitReadable(int side, int timeoutMs);
  // Closes end `side`; readers waiting at either end wake.
  void Close(int side);
  bool IsOpen(int side) const;

  // One end as its BIO holds it.
  struct End {
    MemoryLink* link;
    int side;
  };

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<char> toward_[2];   // the bytes end i reads
  bool closed_[2] = {false, false};
  End ends_[2] = {{this, 0}, {this, 1}};
};

}  // namespace platform
