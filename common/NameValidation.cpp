#include "common/NameValidation.h"

#include <algorithm>

#include "common/StringHelpers.h"

namespace {

bool IsForbiddenByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F || c == '/' || c == '\\';
}

}  // namespace

bool IsValidStoredName(const std::string& name) { return StoredNameProblem(name).empty(); }

std::string StoredNameProblem(const std::string& name) {
  std::string trimmed = name;
  TrimString(trimmed);
  if (trimmed.empty()) return "The name is blank: type a name.";
  if (trimmed.size() > kMaxStoredNameBytes) {
    return "Names are at most " + std::to_string(kMaxStoredNameBytes) + " bytes; this one has " +
           std::to_string(trimmed.size()) + ". Choose a shorter name.";
  }
  if (trimmed == "." || trimmed == "..") return "\".\" and \"..\" name folders of their own: choose another name.";
  if (trimmed.front() == '!') return "A name cannot begin with \"!\": choose another name.";
  if (std::any_of(trimmed.begin(), trimmed.end(), IsForbiddenByte)) {
    return "A name cannot hold \"/\", \"\\\", a line break or another control character: choose another name.";
  }
  return "";
}
