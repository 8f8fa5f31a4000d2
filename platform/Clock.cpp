#include "platform/Clock.h"

#include <langinfo.h>
#include <locale.h>

#include <ctime>
#include <mutex>
#include <string_view>

namespace platform {
namespace {

std::mutex overrideMutex;
std::function<LocalTime()> clockOverride;
std::function<DateLocale()> localeOverride;

template <typename T>
T Current(const std::function<T()>& installed, T (*real)()) {
  std::function<T()> chosen;
  {
    std::lock_guard<std::mutex> lock(overrideMutex);
    chosen = installed;
  }
  return chosen ? chosen() : real();
}

LocalTime RealNow() {
  const std::time_t now = std::time(nullptr);
  struct tm parts {};
  localtime_r(&now, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                   parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

DateLocale RealDateLocale() {
  // The environment's LC_TIME (LC_ALL, LC_TIME, LANG), independent of the
  // process's global locale and safe to ask from any thread.
  locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) {
    locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) return DateLocale{};
  }
  const std::string format = nl_langinfo_l(D_FMT, locale);
  freelocale(locale);
  return DateLocaleFromStrftime(format);
}

// Length of the UTF-8 character that starts with `lead`.
std::size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xf0) return 4;
  if (lead >= 0xe0) return 3;
  if (lead >= 0xc0) return 2;
  return 1;
}

}  // namespace

DateLocale DateLocaleFromStrftime(const std::string& format) {
  std::string picture;
  std::string literal;       // text since the previous conversion
  std::string separator;
  int conversions = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      literal += format[i];
      picture += format[i];
      continue;
    }
    // Skip glibc flags, width and the E / O modifiers: "%-d", "%Ey", "%02m".
    const std::string_view flags = "-_0^#EO123456789";
    do {
      ++i;
    } while (i < format.size() && flags.find(format[i]) != std::string_view::npos);
    if (i >= format.size()) return DateLocale{};
    std::string_view part;
    switch (format[i]) {
      case '%': part = "%"; break;
      case 'm': part = "MM"; break;
      case 'd': case 'e': part = "DD"; break;
      case 'y': part = "YY"; break;
      case 'Y': part = "YYYY"; break;
      case 'D': part = "MM/DD/YY"; break;
      case 'F': part = "YYYY-MM-DD"; break;
      default: return DateLocale{};
    }
    if (part == "%") {
      literal += '%';
      picture += '%';
      continue;
    }
    if (conversions > 0 && separator.empty() && !literal.empty()) {
      separator = literal.substr(0, Utf8Length(static_cast<unsigned char>(literal[0])));
    }
    const auto inner = part.find_first_not_of("MDY");   // the separator inside %D and %F
    if (separator.empty() && inner != std::string_view::npos) separator.assign(1, part[inner]);
    picture.append(part.data(), part.size());
    literal.clear();
    ++conversions;
  }
  if (conversions == 0) return DateLocale{};
  return DateLocale{picture, separator};
}

LocalTime Now() { return Current<LocalTime>(clockOverride, RealNow); }

DateLocale UserDateLocale() { return Current<DateLocale>(localeOverride, RealDateLocale); }

void SetClockForTesting(std::function<LocalTime()> clock) {
  std::lock_guard<std::mutex> lock(overrideMutex);
  clockOverride = std::move(clock);
}

void SetDateLocaleForTesting(std::function<DateLocale()> locale) {
  std::lock_guard<std::mutex> lock(overrideMutex);
  localeOverride = std::move(locale);
}

}  // namespace platform
