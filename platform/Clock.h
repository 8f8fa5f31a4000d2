#pragma once
// Local time and the user's short-date conventions, both replaceable for tests.
#include <functional>
#include <string>

namespace platform {

struct LocalTime {
  int year = 0, month = 0, day = 0;     // month 1-12, day 1-31
  int hour = 0, minute = 0, second = 0;
};

struct DateLocale {
  std::string shortDateFormat;   // upper-case picture such as "MM/DD/YYYY", "DD.MM.YYYY", "YYYY-MM-DD"; empty when unknown
  std::string dateSeparator;     // such as "/", "." or "-"; empty when unknown
};

// Converts a strftime date format such as "%m/%d/%Y" (nl_langinfo(D_FMT)) into a
// DateLocale: %m -> MM, %d/%e -> DD, %y -> YY, %Y -> YYYY; the separator is the first
// character between two conversions. "%D" counts as "%m/%d/%y", "%F" as "%Y-%m-%d".
DateLocale DateLocaleFromStrftime(const std::string& format);

// Current local time (localtime_r), unless a test clock is installed.
LocalTime Now();
// The user's locale (LC_TIME of the environment), unless a test locale is installed.
DateLocale UserDateLocale();

void SetClockForTesting(std::function<LocalTime()> clock);        // null restores the real clock
void SetDateLocaleForTesting(std::function<DateLocale()> locale); // null restores the real locale

}  // namespace platform
