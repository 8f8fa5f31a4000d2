#pragma once
// The user's digit grouping and thousands separator (LC_NUMERIC of the environment),
// replaceable for tests like the date locale in Clock.h.
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

struct NumberLocale {
  int grouping = 0;                 // digits per group; below 1 means "unknown"
  std::string thousandsSeparator;   // empty when unknown
};

// The environment's numeric locale, unless a test locale is installed.
NumberLocale UserNumberLocale();
void SetNumberLocaleForTesting(std::function<NumberLocale()> locale);   // null restores the real one

// `value` in decimal with its digits grouped from the right: groups of the locale's
// size (3 when below 1) joined by its separator ("," when empty). A minus sign stays
// in front of the first group.
std::string GroupDigits(std::int64_t value, const NumberLocale& locale);
// The same with the user's locale, read at each call.
std::string GroupDigits(std::int64_t value);

}  // namespace platform
