#pragma once
// A calendar date of year, month and day (Gregorian). A new date is the empty date
// 0-0-0; the setters refuse out-of-range values, so a date only ever holds the empty
// fields or values in range (year > 0, month 1-12, day 1-31, not checked against the month).
// Text form: 8 digits "YYYYMMDD", "00000000" for the empty date.
#include <string>

namespace platform {
struct DateLocale;
}

class Date {
 public:
  Date() = default;

  // Each setter stores the value only when it is in range, else leaves the field as it was.
  void SetYear(int year);    // year > 0
  void SetMonth(int month);  // 1-12
  void SetDay(int day);      // 1-31

  int GetYear() const { return year_; }
  int GetMonth() const { return month_; }
  int GetDay() const { return day_; }

  // "%4.4d%2.2d%2.2d" of year, month, day.
  std::string Format() const;

  bool operator==(const Date& other) const;
  // Compares the Format() texts.
  bool operator>(const Date& other) const;

  // Divisible by 4 and not by 100, or divisible by 400.
  static bool IsLeapYear(int year);
  bool IsLeapYear() const { return IsLeapYear(year_); }

  // 1-based day of the year; months outside 1-12 count no whole months before the day.
  int GetDayOfYear() const;

  // Days from `other` to this date: positive when this date is the later one. The later
  // date is the one with the greater Format() text, so the count is exact for years
  // 1-9999; clamped to the int range.
  int DaysBetween(const Date& other) const;

  // "Jan".."Dec" and "January".."December"; "???" for a month outside 1-12.
  std::string GetShortMonthName() const;
  std::string GetLongMonthName() const;

  // The date in the order and with the separator of `locale`'s short-date picture:
  // style 1 all digits, 2 with the short month name, 3 with the long month name and
  // blanks. Any other style gives "". Reading the user's locale costs far more than
  // the formatting, so a caller showing many dates reads it once and passes it in.
  std::string FormatForDisplay(int style, const platform::DateLocale& locale) const;
  // The same with the user's locale, read at each call.
  std::string FormatForDisplay(int style) const;

 private:
  int year_ = 0;
  int month_ = 0;
  int day_ = 0;
};
