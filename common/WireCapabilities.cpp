#include "common/WireCapabilities.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "common/Msg.h"

namespace {

constexpr std::string_view kClientMark = "WXC1";
constexpr std::string_view kServerMark = "WXS1";
constexpr std::size_t kDigits = Msg::kTimeSize - kClientMark.size();
static_assert(kServerMark.size() == kClientMark.size());
// Ten hex digits hold 40 extension bits.
constexpr std::uint64_t kBitsMask = (std::uint64_t{1} << (4 * kDigits)) - 1;

std::string_view MarkOf(WireCapabilities::Side side) {
  return side == WireCapabilities::Side::kClient ? kClientMark : kServerMark;
}

std::uint64_t BitOf(WireExtension extension) { return std::uint64_t{1} << static_cast<unsigned>(extension); }

std::optional<unsigned> HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return std::nullopt;
}

}  // namespace

WireCapabilities WireCapabilities::Ours() {
  return WireCapabilities().With(WireExtension::kRights).With(WireExtension::kUndoCheckOut);
}

bool WireCapabilities::Has(WireExtension extension) const { return (bits_ & BitOf(extension)) != 0; }

WireCapabilities WireCapabilities::With(WireExtension extension) const {
  return WireCapabilities(bits_ | BitOf(extension));
}

std::string WireCapabilities::Announcement(Side side) const {
  std::array<char, kDigits + 1> digits{};
  std::snprintf(digits.data(), digits.size(), "%010llx", static_cast<unsigned long long>(bits_ & kBitsMask));
  return std::string(MarkOf(side)) + digits.data();
}

WireCapabilities WireCapabilities::Announced(Side side, std::string_view field) {
  const std::string_view mark = MarkOf(side);
  if (field.size() != Msg::kTimeSize || field.substr(0, mark.size()) != mark) return {};
  std::uint64_t bits = 0;
  for (const char c : field.substr(mark.size())) {
    const std::optional<unsigned> value = HexDigitValue(c);
    if (!value) return {};
    bits = (bits << 4) | *value;
  }
  return WireCapabilities(bits);
}

std::optional<WireExtension> ExtensionOfRequest(MessageId id) {
  switch (id) {
    case MSGID_LIST_RIGHTS: return WireExtension::kRights;
    case MSGID_UNDO_CHECK_OUT: return WireExtension::kUndoCheckOut;
    default: return std::nullopt;
  }
}

bool MayRequest(const WireCapabilities& capabilities, MessageId id) {
  const std::optional<WireExtension> extension = ExtensionOfRequest(id);
  return extension && capabilities.Has(*extension);
}
