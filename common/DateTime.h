#pragma once
// A local time stamp: a Date followed by a TimeOfDay. A new value is the empty date at
// 00:00:00. Text form: 14 digits "YYYYMMDDHHMMSS" (Date::Format then TimeOfDay::Format);
// ordering and equality are those of that text, chronological for years 1-9999.
#include <string>

#include "common/Date.h"
#include "common/TimeOfDay.h"

class DateTime {
 public:
  DateTime() = default;

  // Current local date and time from the platform clock; the date goes through the
  // Date setters (out-of-range fields keep their old values), a leap second counts as 59.
  void SetNow();

  // From 8 characters or more takes year (1-4), month (5-6) and day (7-8) through the
  // Date setters; from 14 or more also hour, minute, second (9-14) through
  // TimeOfDay::Set. Each field is read as atoi would. A shorter text changes nothing; the
  // pointer form ignores null. Returns false when the time of day was out of range (the
  // time is then kept): the text is damaged, since this class never writes such a time.
  bool Parse(const std::string& text);
  bool Parse(const char* text);

  // The 14-digit text.
  std::string Format() const;

  // Comparisons of the Format() texts.
  bool operator>(const DateTime& other) const;
  bool operator==(const DateTime& other) const;
  bool operator<(const DateTime& other) const;

  // Whole minutes between the two, whichever is later; seconds are ignored. Computed in
  // 64 bits and clamped to 0..UINT_MAX.
  unsigned int MinutesBetween(const DateTime& other) const;

  // Styles 1-3: Date::FormatForDisplay of that style; 4-6: Date::FormatForDisplay of
  // style 1-3, a blank and "HH:MM:SS". Any other style gives "". With the user's
  // locale, or with `locale` read once by a caller that shows many.
  std::string FormatForDisplay(int style) const;
  std::string FormatForDisplay(int style, const platform::DateLocale& locale) const;

  const Date& GetDate() const { return date_; }
  const TimeOfDay& GetTimeOfDay() const { return time_; }

 private:
  Date date_;
  TimeOfDay time_;
};
