#include "client/link/TransferProgress.h"

void TransferProgress::Start(std::int64_t total) {
  std::lock_guard lock(mutex_);
  counts_ = Counts{0, total};
}

void TransferProgress::Add(std::int64_t bytes) {
  std::lock_guard lock(mutex_);
  counts_.done += bytes;
}

void TransferProgress::Finish() {
  std::lock_guard lock(mutex_);
  counts_ = Counts{};
}

TransferProgress::Counts TransferProgress::Get() const {
  std::lock_guard lock(mutex_);
  return counts_;
}
