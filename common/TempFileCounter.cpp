#include "common/TempFileCounter.h"

#include <limits>

std::int32_t TempFileCounter::Next() {
  std::lock_guard<std::mutex> lock(mutex_);
  value_ = (value_ <= 0 || value_ == std::numeric_limits<std::int32_t>::max()) ? 1 : value_ + 1;
  return value_;
}

void TempFileCounter::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  value_ = 0;
}

TempFileCounter& TempFileCounter::Client() {
  static TempFileCounter counter;
  return counter;
}
