#include "common/TimeOfDay.h"

#include <climits>
#include <cstdint>
#include <cstdio>

namespace {

std::string FormatThree(const char* format, int a, int b, int c) {
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, format, a, b, c);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

void TimeOfDay::Set(int hour, int minute, int second) {
  hour_ = hour;
  minute_ = minute;
  second_ = second;
}

int TimeOfDay::GetMinutesOfDay() const {
  const std::int64_t minutes = std::int64_t{hour_} * 60 + minute_;
  if (minutes > INT_MAX) return INT_MAX;
  if (minutes < INT_MIN) return INT_MIN;
  return static_cast<int>(minutes);
}

std::string TimeOfDay::Format() const { return FormatThree("%2.2d%2.2d%2.2d", hour_, minute_, second_); }

std::string TimeOfDay::FormatForDisplay() const {
  return FormatThree("%2.2d:%2.2d:%2.2d", hour_, minute_, second_);
}
