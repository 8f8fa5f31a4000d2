#include "common/DateTime.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "platform/Clock.h"

namespace {

// atoi of the characters [first, first + count) of the text.
int FieldValue(const std::string& text, std::size_t first, std::size_t count) {
  return std::atoi(text.substr(first, count).c_str());
}

}  // namespace

void DateTime::SetNow() {
  const platform::LocalTime now = platform::Now();
  date_.SetYear(now.year);
  date_.SetMonth(now.month);
  date_.SetDay(now.day);
  time_.Set(now.hour, now.minute, std::min(now.second, 59));
}

bool DateTime::Parse(const std::string& text) {
  if (text.size() >= 8) {
    date_.SetYear(FieldValue(text, 0, 4));
    date_.SetMonth(FieldValue(text, 4, 2));
    date_.SetDay(FieldValue(text, 6, 2));
  }
  if (text.size() < 14) return true;
  return time_.Set(FieldValue(text, 8, 2), FieldValue(text, 10, 2), FieldValue(text, 12, 2));
}

bool DateTime::Parse(const char* text) { return text == nullptr || Parse(std::string(text)); }

std::string DateTime::Format() const { return date_.Format() + time_.Format(); }

bool DateTime::operator>(const DateTime& other) const { return Format() > other.Format(); }

bool DateTime::operator==(const DateTime& other) const { return Format() == other.Format(); }

bool DateTime::operator<(const DateTime& other) const { return Format() < other.Format(); }

unsigned int DateTime::MinutesBetween(const DateTime& other) const {
  if (*this == other) return 0;
  const bool thisIsLater = *this > other;
  const DateTime& later = thisIsLater ? *this : other;
  const DateTime& earlier = thisIsLater ? other : *this;
  const std::int64_t minutes = std::int64_t{later.date_.DaysBetween(earlier.date_)} * 1440 +
                               later.time_.GetMinutesOfDay() -
                               std::int64_t{earlier.time_.GetMinutesOfDay()};
  if (minutes < 0) return 0;
  if (minutes > std::int64_t{UINT_MAX}) return UINT_MAX;
  return static_cast<unsigned int>(minutes);
}

std::string DateTime::FormatForDisplay(int style) const {
  if (style < 1 || style > 6) return std::string();
  return FormatForDisplay(style, platform::UserDateLocale());
}

std::string DateTime::FormatForDisplay(int style, const platform::DateLocale& locale) const {
  if (style >= 1 && style <= 3) return date_.FormatForDisplay(style, locale);
  if (style >= 4 && style <= 6) return date_.FormatForDisplay(style - 3, locale) + " " + time_.FormatForDisplay();
  return std::string();
}
