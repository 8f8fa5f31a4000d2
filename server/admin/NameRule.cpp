#include "server/admin/NameRule.h"

#include "common/NameValidation.h"
#include "common/StringHelpers.h"

std::string NameRuleBroken(const std::string& name) {
  std::string trimmed = name;
  TrimString(trimmed);
  if (trimmed.empty()) return "a name is required";
  if (trimmed.size() > kMaxStoredNameBytes) {
    return "a name can be at most " + std::to_string(kMaxStoredNameBytes) + " bytes long";
  }
  if (!IsValidStoredName(trimmed)) {
    return "a name cannot contain / \\ or control characters, be . or .., or begin with !";
  }
  return "";
}
