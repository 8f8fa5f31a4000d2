#include "common/NameValidation.h"

#include <algorithm>

#include "common/StringHelpers.h"

namespace {

bool IsForbiddenByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F || c == '/' || c == '\\';
}

}  // namespace

bool IsValidStoredName(const std::string& name) {
  std::string trimmed = name;
  TrimString(trimmed);
  if (trimmed.empty() || trimmed.size() > kMaxStoredNameBytes || trimmed == "." || trimmed == ".." ||
      trimmed.front() == '!') {
    return false;
  }
  return std::none_of(trimmed.begin(), trimmed.end(), IsForbiddenByte);
}
