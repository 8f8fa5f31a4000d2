#pragma once
// A time of day as hour, minute and second, stored exactly as given (no range checks).
// Text forms: "HHMMSS" for records and "HH:MM:SS" for display.
#include <string>

class TimeOfDay {
 public:
  TimeOfDay() = default;

  // Stores the three values unchanged.
  void Set(int hour, int minute, int second);

  int GetHour() const { return hour_; }
  int GetMinute() const { return minute_; }
  int GetSecond() const { return second_; }

  // hour * 60 + minute; seconds are ignored. Clamped to the int range for absurd fields.
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
