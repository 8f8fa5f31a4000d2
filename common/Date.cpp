#include "common/Date.h"

#include <climits>
#include <cstdint>
#include <cstdio>

#include "platform/Clock.h"

namespace {

constexpr int kMonthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr const char* kShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLongMonthNames[12] = {"January", "February", "March",     "April",
                                             "May",     "June",     "July",      "August",
                                             "September", "October", "November", "December"};

bool IsMonthInTable(int month) { return month >= 1 && month <= 12; }

// Leap years in 0..year (year 0 counts as one, as the rule gives); none below 0.
std::int64_t LeapYearsUpTo(std::int64_t year) {
  return year < 0 ? 0 : year / 4 - year / 100 + year / 400 + 1;
}

// Days of the whole years from..to-1 (from <= to).
std::int64_t DaysOfYears(std::int64_t from, std::int64_t to) {
  return 365 * (to - from) + LeapYearsUpTo(to - 1) - LeapYearsUpTo(from - 1);
}

enum class DateOrder { MonthFirst, YearFirst, DayFirst };

struct DisplayConventions {
  DateOrder order;
  char separator;
};

DisplayConventions ConventionsOf(const platform::DateLocale& locale) {
  std::string picture = locale.shortDateFormat;
  for (char& c : picture) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  DisplayConventions conventions{DateOrder::DayFirst, '-'};
  if (!picture.empty() && picture[0] == 'M') {
    conventions.order = DateOrder::MonthFirst;
  } else if (!picture.empty() && picture[0] == 'Y') {
    conventions.order = DateOrder::YearFirst;
  }
  if (!locale.dateSeparator.empty()) conventions.separator = locale.dateSeparator[0];
  return conventions;
}

template <typename... Args>
std::string Printf(const char* format, Args... args) {
  char buffer[128];
  const int length = std::snprintf(buffer, sizeof buffer, format, args...);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

void Date::SetYear(int year) {
  if (year > 0) year_ = year;
}

void Date::SetMonth(int month) {
  if (IsMonthInTable(month)) month_ = month;
}

void Date::SetDay(int day) {
  if (day >= 1 && day <= 31) day_ = day;
}

std::string Date::Format() const { return Printf("%4.4d%2.2d%2.2d", year_, month_, day_); }

bool Date::operator==(const Date& other) const {
  return year_ == other.year_ && month_ == other.month_ && day_ == other.day_;
}

bool Date::operator>(const Date& other) const { return Format() > other.Format(); }

bool Date::IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int Date::GetDayOfYear() const {
  int dayOfYear = day_;
  if (month_ > 2 && IsLeapYear()) ++dayOfYear;
  for (int month = 1; month < month_ && month <= 12; ++month) dayOfYear += kMonthLengths[month - 1];
  return dayOfYear;
}

int Date::DaysBetween(const Date& other) const {
  if (*this == other) return 0;
  const bool thisIsLater = *this > other;
  const Date& later = thisIsLater ? *this : other;
  const Date& earlier = thisIsLater ? other : *this;
  std::int64_t count = later.GetDayOfYear() - earlier.GetDayOfYear();
  if (earlier.year_ < later.year_) count += DaysOfYears(earlier.year_, later.year_);
  if (!thisIsLater) count = -count;
  if (count > INT_MAX) return INT_MAX;
  if (count < INT_MIN) return INT_MIN;
  return static_cast<int>(count);
}

std::string Date::GetShortMonthName() const {
  return IsMonthInTable(month_) ? kShortMonthNames[month_ - 1] : "???";
}

std::string Date::GetLongMonthName() const {
  return IsMonthInTable(month_) ? kLongMonthNames[month_ - 1] : "???";
}

std::string Date::FormatForDisplay(int style) const {
  if (style < 1 || style > 3) return std::string();
  return FormatForDisplay(style, platform::UserDateLocale());
}

std::string Date::FormatForDisplay(int style, const platform::DateLocale& locale) const {
  if (style < 1 || style > 3) return std::string();
  const DisplayConventions conventions = ConventionsOf(locale);
  const char sep = conventions.separator;
  const std::string shortName = GetShortMonthName();
  const std::string longName = GetLongMonthName();
  switch (conventions.order) {
    case DateOrder::MonthFirst:
      if (style == 1) return Printf("%2.2d%c%2.2d%c%4.4d", month_, sep, day_, sep, year_);
      if (style == 2) return Printf("%s%c%2.2d%c%4.4d", shortName.c_str(), sep, day_, sep, year_);
      return Printf("%s %2.2d %4.4d", longName.c_str(), day_, year_);
    case DateOrder::YearFirst:
      if (style == 1) return Printf("%4.4d%c%2.2d%c%2.2d", year_, sep, month_, sep, day_);
      if (style == 2) return Printf("%4.4d%c%s%c%2.2d", year_, sep, shortName.c_str(), sep, day_);
      return Printf("%4.4d %s %2.2d", year_, longName.c_str(), day_);
    case DateOrder::DayFirst:
      break;
  }
  if (style == 1) return Printf("%2.2d%c%2.2d%c%4.4d", day_, sep, month_, sep, year_);
  if (style == 2) return Printf("%2.2d%c%s%c%4.4d", day_, sep, shortName.c_str(), sep, year_);
  return Printf("%2.2d %s %4.4d", day_, longName.c_str(), year_);
}
