#pragma once
// How far the file the link is receiving has come: the receive thread counts the
// bytes as blocks arrive, the windows read them on their own timer.
#include <cstdint>
#include <mutex>

class TransferProgress {
 public:
  struct Counts {
    std::int64_t done = 0;
    std::int64_t total = 0;   // 0: no file under way
  };

  void Start(std::int64_t total);
  void Add(std::int64_t bytes);
  void Finish();
  Counts Get() const;

 private:
  // One lock keeps done and total of the same file together.
  mutable std::mutex mutex_;
  Counts counts_;
};
