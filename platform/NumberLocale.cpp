#include "platform/NumberLocale.h"

#include <langinfo.h>
#include <locale.h>

#include <mutex>

namespace platform {
namespace {

std::mutex overrideMutex;
std::function<NumberLocale()> localeOverride;

NumberLocale RealNumberLocale() {
  // Asked through a locale object of its own, so the process's global locale stays
  // untouched and any thread may ask.
  locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return NumberLocale{};
  NumberLocale result;
  // GROUPING is a byte string of group sizes, the first one for the lowest digits.
  const char* grouping = nl_langinfo_l(GROUPING, locale);
  if (grouping != nullptr && grouping[0] > 0 && grouping[0] < 127) result.grouping = grouping[0];
  const char* separator = nl_langinfo_l(THOUSEP, locale);
  if (separator != nullptr) result.thousandsSeparator = separator;
  freelocale(locale);
  return result;
}

}  // namespace

NumberLocale UserNumberLocale() {
  std::function<NumberLocale()> chosen;
  {
    std::lock_guard<std::mutex> lock(overrideMutex);
    chosen = localeOverride;
  }
  return chosen ? chosen() : RealNumberLocale();
}

void SetNumberLocaleForTesting(std::function<NumberLocale()> locale) {
  std::lock_guard<std::mutex> lock(overrideMutex);
  localeOverride = std::move(locale);
}

std::string GroupDigits(std::int64_t value, const NumberLocale& locale) {
  const std::size_t group = locale.grouping < 1 ? 3 : static_cast<std::size_t>(locale.grouping);
  const std::string separator = locale.thousandsSeparator.empty() ? "," : locale.thousandsSeparator;
  // The magnitude as unsigned, so the smallest value has one too.
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::string digits = std::to_string(magnitude);
  std::string result = value < 0 ? "-" : "";
  const std::size_t lead = digits.size() % group == 0 ? group : digits.size() % group;
  result += digits.substr(0, lead);
  for (std::size_t at = lead; at < digits.size(); at += group) result += separator + digits.substr(at, group);
  return result;
}

std::string GroupDigits(std::int64_t value) { return GroupDigits(value, UserNumberLocale()); }

}  // namespace platform
