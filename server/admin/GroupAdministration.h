#pragma once
// The changes the administration makes to the library's groups, for the windowed
// dialogs and the command line alike, with the same rules and texts. Projects are
// named by the paths the tree and "checked-out" show ("Library->Project->Sub");
// accounts by their TCP/IP names. Every change is saved before it counts; a refused
// or unsaved one changes nothing and says why.
#include <string>
#include <vector>

#include "server/store/LibraryGroups.h"

class CWexmoorDoc;

class GroupAdministration {
 public:
  static constexpr const char* kSaveFailedText = "Failed to save the groups file to disk";

  // What a change did: done, with the line for the console, or refused, with why.
  struct Outcome {
    bool done = false;
    std::string text;
  };

  struct GroupView {
    std::string name;
    GroupRole role = GroupRole::Reader;
    std::vector<std::string> subtrees;   // project paths; empty: the whole library
    std::vector<std::string> members;    // account names
    bool isDefault = false;
  };

  // One group of an account: its role over a subtree ("" for the whole library).
  struct RightView {
    GroupRole role = GroupRole::None;
    std::string subtree;
    std::string group;
  };

  explicit GroupAdministration(CWexmoorDoc& document) : document_(document) {}

  // Every group in stored order. A subtree whose project is gone shows as
  // "(no project: INTERNAL-NAME)".
  std::vector<GroupView> List() const;
  // Names of the groups holding the account, in stored order.
  std::vector<std::string> GroupsOf(const std::string& user) const;

  // `role` is "reader", "author" or "publisher"; no `subtrees`: the whole library.
  Outcome Add(const std::string& name, const std::string& role, const std::vector<std::string>& subtrees);
  Outcome Set(const std::string& name, const std::string& role, const std::vector<std::string>& subtrees);
  Outcome Rename(const std::string& name, const std::string& newName);
  // The default group cannot be deleted.
  Outcome Delete(const std::string& name);
  Outcome Join(const std::string& user, const std::string& group);
  Outcome Leave(const std::string& user, const std::string& group);
  Outcome SetDefault(const std::string& name);

  // The account's groups, one row per subtree; refused for an unknown account.
  Outcome Rights(const std::string& user, std::vector<RightView>& rows) const;
  // The account's role in the project shown as `project` and the group giving it
  // (role None, group empty: the account may not see it); refused for an unknown
  // account or project.
  Outcome RightIn(const std::string& user, const std::string& project, RightView& right) const;

  // What a role lets an account do, for the administrator.
  static std::string RoleAbilities(GroupRole role);

 private:
  // The internal names of the projects shown as `paths`, or why one is unknown.
  Outcome ResolveSubtrees(const std::vector<std::string>& paths, std::vector<std::string>& internalNames) const;
  // The id of the TCP/IP account of that name; -1 when there is none.
  int AccountId(const std::string& user) const;
  std::string AccountName(int id) const;
  // Saves the edit, which sets `refusal` (and returns false) to refuse it.
  Outcome Apply(const std::string& done, const std::function<bool(GroupTable&, std::string&)>& edit);

  CWexmoorDoc& document_;
};
