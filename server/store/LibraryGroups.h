#pragma once
// The groups that give accounts their rights: each group has a name, a role and the
// project subtrees it covers (none listed: the whole library), and holds accounts by
// id. An account's role in a project is the highest role of its groups covering the
// project or one of its ancestors; in no such group it may not see the project.
// Stored in the library root as "WexmoorGroups.wxf", mode 0600, one record a line:
//   1,1,"<default group>",<highest account id the file has placed>
//   2,"<group name>",<role 1-3>     a group; the lines below it until the next group:
//   3,"<project internal name>"     a subtree it covers
//   4,<account id>                  a member
// An account added (or deleted) after the last save of this file is placed in (or taken
// out of) its groups when the library opens, so a change spanning the users file and
// this one is whole after a kill between the two saves.
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

enum class GroupRole : int { None = 0, Reader = 1, Author = 2, Publisher = 3 };

// "reader", "author", "publisher" ("none" for None); and back, none for another text.
const char* GroupRoleText(GroupRole role);
std::optional<GroupRole> ParseGroupRole(const std::string& text);

struct Group {
  std::string name;
  GroupRole role = GroupRole::Reader;
  std::vector<std::string> subtrees;   // project internal names; empty: the whole library
  std::vector<int> members;            // account ids
  bool CoversWholeLibrary() const { return subtrees.empty(); }
  bool HasMember(int id) const;
};

// One group of an account, as its rights list shows it.
struct GroupRight {
  GroupRole role = GroupRole::None;
  std::string subtree;   // a project internal name; empty: the whole library
  std::string group;
};

// The role an account holds in one project and the group that gives it.
struct ProjectRight {
  GroupRole role = GroupRole::None;
  std::string group;   // empty when no group covers the project
};

struct GroupTable {
  std::vector<Group> groups;
  std::string defaultGroup;
  int placedUpTo = 0;   // the highest id of an account placed in its groups

  Group* Find(const std::string& name);
  const Group* Find(const std::string& name) const;
  // One row per covered subtree of every group holding the account.
  std::vector<GroupRight> RightsOf(int id) const;
  // The account's role in the project whose internal name heads `chain`, followed by
  // its ancestors' internal names up to a top-level project.
  ProjectRight RightIn(int id, const std::vector<std::string>& chain) const;

  std::string Encode() const;
  // False for a text that is not such a file (the table is then unchanged).
  bool Decode(const std::string& text);
};

class LibraryGroups {
 public:
  static constexpr const char* kFileName = "WexmoorGroups.wxf";
  static constexpr std::size_t kMaxGroups = 256;
  static constexpr std::size_t kMaxSubtrees = 64;   // per group
  static constexpr const char* kReaders = "Readers";
  static constexpr const char* kAuthors = "Authors";
  static constexpr const char* kPublishers = "Publishers";

  // Reads the file in `rootPath`. Without one (an earlier library) makes the three
  // groups over the whole library with every account of `accounts` a publisher.
  // Accounts above the file's placed id join the default group and members that are
  // no account any more are dropped; the file is saved when anything was made so.
  // False, with `problem`, when the file cannot be read, is damaged, or cannot be saved.
  bool Open(const std::string& rootPath, const std::vector<int>& accounts, std::string& problem);

  // The table as it is now; it stays valid, unchanged, however the groups change.
  std::shared_ptr<const GroupTable> Snapshot() const;

  // Runs `edit` on a copy of the table; when it returns true the copy is saved and
  // becomes the table. False when `edit` refused or the save failed (nothing changed).
  // Edits run one at a time.
  bool Change(const std::function<bool(GroupTable&)>& edit);

  // A new account joins the default group. Kept in memory even when the save fails:
  // the next open places it the same way (as it does when the file was not opened).
  bool AdmitAccount(int id);
  // The account leaves every group, in memory even when the save fails (see AdmitAccount).
  bool ForgetAccount(int id);

  // Saves the table into `rootPath` and keeps the file there from now on; false
  // (the file stays where it was) when it cannot be saved there.
  bool MoveRoot(const std::string& rootPath);

  static std::string FilePath(const std::string& rootPath);

 private:
  bool SaveLocked(const GroupTable& table) const { return SaveInto(rootPath_, table); }
  static bool SaveInto(const std::string& rootPath, const GroupTable& table);
  bool ChangeKeptInMemory(const std::function<void(GroupTable&)>& edit);

  std::mutex changeMutex_;   // one edit at a time; taken before tableMutex_
  mutable std::mutex tableMutex_;
  std::shared_ptr<const GroupTable> table_ = std::make_shared<GroupTable>();
  std::string rootPath_;
};
