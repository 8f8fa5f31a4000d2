#include "server/store/LibraryGroups.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sstream>

#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"

namespace {

constexpr std::int32_t kHeaderRecord = 1;
constexpr std::int32_t kGroupRecord = 2;
constexpr std::int32_t kSubtreeRecord = 3;
constexpr std::int32_t kMemberRecord = 4;
constexpr std::int32_t kFormatVersion = 1;

bool IsRole(std::int32_t value) {
  return value >= static_cast<int>(GroupRole::Reader) && value <= static_cast<int>(GroupRole::Publisher);
}

}  // namespace

const char* GroupRoleText(GroupRole role) {
  switch (role) {
    case GroupRole::Reader:
      return "reader";
    case GroupRole::Author:
      return "author";
    case GroupRole::Publisher:
      return "publisher";
    default:
      return "none";
  }
}

std::optional<GroupRole> ParseGroupRole(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  for (GroupRole role : {GroupRole::Reader, GroupRole::Author, GroupRole::Publisher}) {
    if (lower == GroupRoleText(role)) return role;
  }
  return std::nullopt;
}

bool Group::HasMember(int id) const { return std::find(members.begin(), members.end(), id) != members.end(); }

Group* GroupTable::Find(const std::string& name) {
  const auto found = std::find_if(groups.begin(), groups.end(), [&name](const Group& g) { return g.name == name; });
  return found == groups.end() ? nullptr : &*found;
}

const Group* GroupTable::Find(const std::string& name) const { return const_cast<GroupTable*>(this)->Find(name); }

std::vector<GroupRight> GroupTable::RightsOf(int id) const {
  std::vector<GroupRight> rows;
  for (const Group& group : groups) {
    if (!group.HasMember(id)) continue;
    if (group.CoversWholeLibrary()) rows.push_back({group.role, "", group.name});
    for (const std::string& subtree : group.subtrees) rows.push_back({group.role, subtree, group.name});
  }
  return rows;
}

ProjectRight GroupTable::RightIn(int id, const std::vector<std::string>& chain) const {
  ProjectRight best;
  for (const Group& group : groups) {
    if (group.role <= best.role || !group.HasMember(id)) continue;
    const bool covers = group.CoversWholeLibrary() ||
                        std::any_of(group.subtrees.begin(), group.subtrees.end(), [&chain](const std::string& s) {
                          return std::find(chain.begin(), chain.end(), s) != chain.end();
                        });
    if (covers) best = {group.role, group.name};
  }
  return best;
}

std::string GroupTable::Encode() const {
  std::string text = EndRecord(AppendIntField(
      placedUpTo, AppendStringField(defaultGroup, AppendIntField(kFormatVersion, AppendIntField(kHeaderRecord, "")))));
  for (const Group& group : groups) {
    text = EndRecord(AppendIntField(static_cast<int>(group.role),
                                    AppendStringField(group.name, AppendIntField(kGroupRecord, std::move(text)))));
    for (const std::string& subtree : group.subtrees) {
      text = EndRecord(AppendStringField(subtree, AppendIntField(kSubtreeRecord, std::move(text))));
    }
    for (int member : group.members) {
      text = EndRecord(AppendIntField(member, AppendIntField(kMemberRecord, std::move(text))));
    }
  }
  return text;
}

bool GroupTable::Decode(const std::string& text) {
  GroupTable read;
  std::istringstream in(text);
  std::string line;
  bool headerRead = false;
  while (ReadWholeLine(in, line)) {
    if (line.empty()) continue;
    std::int32_t type = 0;
    std::string rest = ReadIntField(type, line);
    if (type == kHeaderRecord && !headerRead) {
      std::int32_t version = 0;
      rest = ReadStringField(read.defaultGroup, ReadIntField(version, rest));
      ReadIntField(read.placedUpTo, rest);
      if (version != kFormatVersion) return false;
      headerRead = true;
    } else if (type == kGroupRecord && headerRead) {
      Group group;
      std::int32_t role = 0;
      ReadIntField(role, ReadStringField(group.name, rest));
      if (group.name.empty() || !IsRole(role) || read.Find(group.name) != nullptr) return false;
      group.role = static_cast<GroupRole>(role);
      read.groups.push_back(std::move(group));
    } else if (type == kSubtreeRecord && !read.groups.empty()) {
      std::string subtree;
      ReadStringField(subtree, rest);
      if (subtree.empty()) return false;
      read.groups.back().subtrees.push_back(subtree);
    } else if (type == kMemberRecord && !read.groups.empty()) {
      std::int32_t member = 0;
      ReadIntField(member, rest);
      if (!read.groups.back().HasMember(member)) read.groups.back().members.push_back(member);
    } else {
      return false;
    }
  }
  if (!headerRead || (!read.defaultGroup.empty() && read.Find(read.defaultGroup) == nullptr)) return false;
  *this = std::move(read);
  return true;
}

std::string LibraryGroups::FilePath(const std::string& rootPath) { return EnsureTrailingBackslash(rootPath) + kFileName; }

bool LibraryGroups::Open(const std::string& rootPath, const std::vector<int>& accounts, std::string& problem) {
  std::lock_guard<std::mutex> change(changeMutex_);
  rootPath_ = rootPath;
  const std::string path = FilePath(rootPath);
  GroupTable table;
  bool save = false;
  if (!platform::fs::Exists(path)) {
    // Nobody loses what an earlier library let them do.
    table.groups = {{kReaders, GroupRole::Reader, {}, {}},
                    {kAuthors, GroupRole::Author, {}, {}},
                    {kPublishers, GroupRole::Publisher, {}, accounts}};
    table.defaultGroup = kAuthors;
    save = true;
  } else {
    std::string text;
    if (!platform::fs::ReadWholeFile(path, text)) {
      problem = "the groups file " + path + " cannot be read";
      return false;
    }
    if (!table.Decode(text)) {
      problem = "the groups file " + path + " is damaged";
      return false;
    }
  }
  for (Group& group : table.groups) {
    const auto gone = std::remove_if(group.members.begin(), group.members.end(), [&accounts](int id) {
      return std::find(accounts.begin(), accounts.end(), id) == accounts.end();
    });
    save = save || gone != group.members.end();
    group.members.erase(gone, group.members.end());
  }
  if (Group* joined = table.Find(table.defaultGroup)) {
    for (int id : accounts) {
      if (id <= table.placedUpTo || joined->HasMember(id)) continue;
      joined->members.push_back(id);
      save = true;
    }
  }
  // Existing accounts only: an id handed out to an account never saved places nothing.
  const int highest = accounts.empty() ? 0 : *std::max_element(accounts.begin(), accounts.end());
  if (highest > table.placedUpTo) {
    table.placedUpTo = highest;
    save = true;
  }
  if (save && !SaveLocked(table)) {
    problem = "the groups file " + path + " cannot be written";
    return false;
  }
  std::lock_guard<std::mutex> hold(tableMutex_);
  table_ = std::make_shared<const GroupTable>(std::move(table));
  return true;
}

std::shared_ptr<const GroupTable> LibraryGroups::Snapshot() const {
  std::lock_guard<std::mutex> hold(tableMutex_);
  return table_;
}

bool LibraryGroups::Change(const std::function<bool(GroupTable&)>& edit) {
  std::lock_guard<std::mutex> change(changeMutex_);
  GroupTable copy = *Snapshot();
  if (!edit(copy) || !SaveLocked(copy)) return false;
  std::lock_guard<std::mutex> hold(tableMutex_);
  table_ = std::make_shared<const GroupTable>(std::move(copy));
  return true;
}

bool LibraryGroups::ChangeKeptInMemory(const std::function<void(GroupTable&)>& edit) {
  std::lock_guard<std::mutex> change(changeMutex_);
  if (rootPath_.empty()) return true;   // not opened: its next open places the account
  GroupTable copy = *Snapshot();
  edit(copy);
  const bool saved = SaveLocked(copy);
  std::lock_guard<std::mutex> hold(tableMutex_);
  table_ = std::make_shared<const GroupTable>(std::move(copy));
  return saved;
}

bool LibraryGroups::AdmitAccount(int id) {
  return ChangeKeptInMemory([id](GroupTable& table) {
    Group* joined = table.Find(table.defaultGroup);
    if (joined != nullptr && !joined->HasMember(id)) joined->members.push_back(id);
    table.placedUpTo = std::max(table.placedUpTo, id);
  });
}

bool LibraryGroups::ForgetAccount(int id) {
  return ChangeKeptInMemory([id](GroupTable& table) {
    for (Group& group : table.groups) std::erase(group.members, id);
  });
}

bool LibraryGroups::MoveRoot(const std::string& rootPath) {
  std::lock_guard<std::mutex> change(changeMutex_);
  if (!SaveInto(rootPath, *Snapshot())) return false;
  rootPath_ = rootPath;
  return true;
}

bool LibraryGroups::SaveInto(const std::string& rootPath, const GroupTable& table) {
  return !rootPath.empty() && platform::AtomicFile::WriteOwnerOnly(FilePath(rootPath), table.Encode());
}
