#include "client/document/AccountRights.h"

#include <algorithm>
#include <cstdint>

#include "client/records/FieldCursor.h"
#include "common/QuotedLines.h"

namespace {

constexpr const char* kLevelMark = "->";

// The project names of a path below the library's name, which the path starts with;
// the library's name is left out, so a renamed library's rows still match.
std::vector<std::string> NamesBelowLibrary(const std::string& path) {
  std::vector<std::string> names;
  std::size_t from = path.find(kLevelMark);
  while (from != std::string::npos) {
    from += 2;
    const std::size_t next = path.find(kLevelMark, from);
    names.push_back(path.substr(from, next == std::string::npos ? std::string::npos : next - from));
    from = next;
  }
  return names;
}

bool Covers(const std::string& rowPath, const std::vector<std::string>& shownPath) {
  if (rowPath.empty()) return true;
  const std::vector<std::string> names = NamesBelowLibrary(rowPath);
  return names.size() <= shownPath.size() && std::equal(names.begin(), names.end(), shownPath.begin());
}

}  // namespace

std::optional<AccountRights> AccountRights::Decode(const std::string& body) {
  QuotedLines lines(body);
  std::string line;
  std::int32_t count = -1;
  if (!lines.Next(line) || !FieldCursor(line).Int(count).Ok() || count < 0) return std::nullopt;
  AccountRights rights;
  while (lines.Next(line)) {
    Row row;
    std::int32_t role = 0;
    if (!FieldCursor(line).Int(role).String(row.projectPath).String(row.group).Ok()) return std::nullopt;
    if (role < static_cast<int>(AccountRole::kReader) || role > static_cast<int>(AccountRole::kPublisher)) {
      return std::nullopt;
    }
    row.role = static_cast<AccountRole>(role);
    rights.rows_.push_back(std::move(row));
  }
  if (rights.rows_.size() != static_cast<std::size_t>(count)) return std::nullopt;
  return rights;
}

AccountRole AccountRights::RoleOf(const std::vector<std::string>& shownPath) const {
  AccountRole best = AccountRole::kNone;
  for (const Row& row : rows_) {
    if (row.role > best && Covers(row.projectPath, shownPath)) best = row.role;
  }
  return best;
}

const char* AccountRights::RoleName(AccountRole role) {
  switch (role) {
    case AccountRole::kReader: return "reader";
    case AccountRole::kAuthor: return "author";
    case AccountRole::kPublisher: return "publisher";
    case AccountRole::kNone: break;
  }
  return "";
}
