#pragma once
// A time of day as hour, minute and second, always in range (0-23, 0-59, 0-59), so that
// its text forms have fixed width and read back to the same value.
// Text forms: "HHMMSS" for records and "HH:MM:SS" for display.
#include <string>

class TimeOfDay {
 public:
  TimeOfDay() = default;

  // Stores the three values when all are in range and returns true; otherwise changes
  // nothing and returns false.
  bool Set(int hour, int minute, int second);

  int GetHour() const { return hour_; }
  int GetMinute() const { return minute_; }
  int GetSecond() const { return second_; }

  // hour * 60 + minute; seconds are ignored.
  int GetMinutesOfDay() const;

  // "%2.2d%2.2d%2.2d"
  std::string Format() const;
  // "%2.2d:%2.2d:%2.2d"
  std::string FormatForDisplay() const;

 private:
  int hour_ = 0;
  int minute_ = 0;
  int second_ = 0;
};
