#pragma once
// A program's temporary-file counter: a signed 32-bit number, 0 at start, advanced
// under its own lock so that threads never share a number. It never goes negative:
// past the largest value it starts again at 1.
#include <cstdint>
#include <mutex>

class TempFileCounter {
 public:
  TempFileCounter() = default;
  // Starts from `value` instead of 0 (the next number is value + 1).
  explicit TempFileCounter(std::int32_t value) : value_(value) {}
  TempFileCounter(const TempFileCounter&) = delete;
  TempFileCounter& operator=(const TempFileCounter&) = delete;

  // Adds 1 and returns the new value; 1 when the result would not be positive.
  std::int32_t Next();
  // Back to 0, so the next number is 1 (a program that has just emptied its
  // temporary folder starts its names again).
  void Reset();

  // The client application's counter, shared by its own "%sTemporaryFile_%d.wxf"
  // names and the client form of MakeTempFileName, so the two never share a number.
  static TempFileCounter& Client();

 private:
  std::mutex mutex_;
  std::int32_t value_ = 0;
};
