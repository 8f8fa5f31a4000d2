#include "common/TimeOfDay.h"

#include <cstdio>

namespace {

std::string FormatThree(const char* format, int a, int b, int c) {
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, format, a, b, c);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

bool TimeOfDay::Set(int hour, int minute, int second) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return false;
  hour_ = hour;
  minute_ = minute;
  second_ = second;
  return true;
}

int TimeOfDay::GetMinutesOfDay() const { return hour_ * 60 + minute_; }

std::string TimeOfDay::Format() const { return FormatThree("%2.2d%2.2d%2.2d", hour_, minute_, second_); }

std::string TimeOfDay::FormatForDisplay() const {
  return FormatThree("%2.2d:%2.2d:%2.2d", hour_, minute_, second_);
}
