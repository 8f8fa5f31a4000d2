#include "server/admin/GroupAdministration.h"

#include <algorithm>
#include <map>

#include "platform/CriticalSection.h"
#include "server/admin/NameRule.h"
#include "server/admin/ProjectPlaces.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr const char* kRoleRule = "Role: write reader, author or publisher";

GroupAdministration::Outcome Refused(const std::string& why) { return {false, why}; }
std::string NoGroup(const std::string& name) { return "No group is named " + name; }
std::string NoUser(const std::string& name) { return "No TCP/IP user is named " + name; }

std::string GroupNameRefusal(const std::string& name) {
  const std::string broken = NameRuleBroken(name);
  return broken.empty() ? "" : "Group name: " + broken;
}

std::string SubtreesText(const std::vector<std::string>& paths) {
  if (paths.empty()) return "the whole library";
  std::string text;
  for (const std::string& path : paths) text += (text.empty() ? "" : ", ") + path;
  return text;
}

}  // namespace

std::vector<GroupAdministration::GroupView> GroupAdministration::List() const {
  std::map<std::string, std::string> pathOf;
  for (const ProjectPlace& place : ListProjectPlaces(document_)) pathOf[place.internalName] = place.path;
  const auto table = document_.GetGroups().Snapshot();
  std::vector<GroupView> views;
  for (const Group& group : table->groups) {
    GroupView view{group.name, group.role, {}, {}, group.name == table->defaultGroup};
    for (const std::string& subtree : group.subtrees) {
      const auto found = pathOf.find(subtree);
      view.subtrees.push_back(found != pathOf.end() ? found->second : "(no project: " + subtree + ")");
    }
    for (int member : group.members) view.members.push_back(AccountName(member));
    views.push_back(std::move(view));
  }
  return views;
}

std::vector<std::string> GroupAdministration::GroupsOf(const std::string& user) const {
  const int id = AccountId(user);
  std::vector<std::string> names;
  for (const Group& group : document_.GetGroups().Snapshot()->groups) {
    if (id != -1 && group.HasMember(id)) names.push_back(group.name);
  }
  return names;
}

GroupAdministration::Outcome GroupAdministration::Add(const std::string& name, const std::string& role,
                                                      const std::vector<std::string>& subtrees) {
  if (const std::string refusal = GroupNameRefusal(name); !refusal.empty()) return Refused(refusal);
  const std::optional<GroupRole> parsed = ParseGroupRole(role);
  if (!parsed) return Refused(kRoleRule);
  std::vector<std::string> internalNames;
  if (Outcome resolved = ResolveSubtrees(subtrees, internalNames); !resolved.done) return resolved;
  return Apply("Group " + name + " added: " + GroupRoleText(*parsed) + " over " + SubtreesText(subtrees),
               [&](GroupTable& table, std::string& refusal) {
                 if (table.Find(name) != nullptr) {
                   refusal = "A group named " + name + " already exists";
                 } else if (table.groups.size() >= LibraryGroups::kMaxGroups) {
                   refusal = "A library holds at most " + std::to_string(LibraryGroups::kMaxGroups) + " groups";
                 } else {
                   table.groups.push_back({name, *parsed, internalNames, {}});
                 }
                 return refusal.empty();
               });
}

GroupAdministration::Outcome GroupAdministration::Set(const std::string& name, const std::string& role,
                                                      const std::vector<std::string>& subtrees) {
  const std::optional<GroupRole> parsed = ParseGroupRole(role);
  if (!parsed) return Refused(kRoleRule);
  std::vector<std::string> internalNames;
  if (Outcome resolved = ResolveSubtrees(subtrees, internalNames); !resolved.done) return resolved;
  return Apply("Group " + name + " is " + GroupRoleText(*parsed) + " over " + SubtreesText(subtrees),
               [&](GroupTable& table, std::string& refusal) {
                 Group* group = table.Find(name);
                 if (group == nullptr) {
                   refusal = NoGroup(name);
                   return false;
                 }
                 group->role = *parsed;
                 group->subtrees = internalNames;
                 return true;
               });
}

GroupAdministration::Outcome GroupAdministration::Rename(const std::string& name, const std::string& newName) {
  if (const std::string refusal = GroupNameRefusal(newName); !refusal.empty()) return Refused(refusal);
  return Apply("Group " + name + " renamed " + newName, [&](GroupTable& table, std::string& refusal) {
    Group* group = table.Find(name);
    if (group == nullptr) {
      refusal = NoGroup(name);
    } else if (newName != name && table.Find(newName) != nullptr) {
      refusal = "A group named " + newName + " already exists";
    } else {
      if (table.defaultGroup == name) table.defaultGroup = newName;
      group->name = newName;
    }
    return refusal.empty();
  });
}

GroupAdministration::Outcome GroupAdministration::Delete(const std::string& name) {
  return Apply("Group " + name + " deleted", [&](GroupTable& table, std::string& refusal) {
    if (table.Find(name) == nullptr) {
      refusal = NoGroup(name);
    } else if (table.defaultGroup == name) {
      refusal = "Group " + name + " is the default group of new accounts: make another group the default first";
    } else {
      std::erase_if(table.groups, [&name](const Group& group) { return group.name == name; });
    }
    return refusal.empty();
  });
}

GroupAdministration::Outcome GroupAdministration::Join(const std::string& user, const std::string& group) {
  const int id = AccountId(user);
  if (id == -1) return Refused(NoUser(user));
  return Apply("User " + user + " joined group " + group, [&](GroupTable& table, std::string& refusal) {
    Group* found = table.Find(group);
    if (found == nullptr) {
      refusal = NoGroup(group);
    } else if (found->HasMember(id)) {
      refusal = "User " + user + " is already in group " + group;
    } else {
      found->members.push_back(id);
    }
    return refusal.empty();
  });
}

GroupAdministration::Outcome GroupAdministration::Leave(const std::string& user, const std::string& group) {
  const int id = AccountId(user);
  if (id == -1) return Refused(NoUser(user));
  return Apply("User " + user + " left group " + group, [&](GroupTable& table, std::string& refusal) {
    Group* found = table.Find(group);
    if (found == nullptr) {
      refusal = NoGroup(group);
    } else if (!found->HasMember(id)) {
      refusal = "User " + user + " is not in group " + group;
    } else {
      std::erase(found->members, id);
    }
    return refusal.empty();
  });
}

GroupAdministration::Outcome GroupAdministration::SetDefault(const std::string& name) {
  return Apply("New accounts join group " + name, [&](GroupTable& table, std::string& refusal) {
    if (table.Find(name) == nullptr) refusal = NoGroup(name);
    if (refusal.empty()) table.defaultGroup = name;
    return refusal.empty();
  });
}

GroupAdministration::Outcome GroupAdministration::Rights(const std::string& user, std::vector<RightView>& rows) const {
  rows.clear();
  const int id = AccountId(user);
  if (id == -1) return Refused(NoUser(user));
  std::map<std::string, std::string> pathOf;
  for (const ProjectPlace& place : ListProjectPlaces(document_)) pathOf[place.internalName] = place.path;
  for (const GroupRight& right : document_.GetGroups().Snapshot()->RightsOf(id)) {
    const auto found = pathOf.find(right.subtree);
    const std::string shown =
        right.subtree.empty() ? "" : found != pathOf.end() ? found->second : "(no project: " + right.subtree + ")";
    rows.push_back({right.role, shown, right.group});
  }
  return {true, ""};
}

GroupAdministration::Outcome GroupAdministration::RightIn(const std::string& user, const std::string& project,
                                                          RightView& right) const {
  const int id = AccountId(user);
  if (id == -1) return Refused(NoUser(user));
  // The project and its ancestors: the places whose path leads to it.
  std::vector<std::string> chain;
  bool shown = false;
  for (const ProjectPlace& place : ListProjectPlaces(document_)) {
    if (place.path == project) {
      shown = true;
      chain.insert(chain.begin(), place.internalName);
    } else if (project.compare(0, place.path.size() + 2, place.path + "->") == 0) {
      chain.push_back(place.internalName);
    }
  }
  if (!shown) return Refused("No project is shown as " + project);
  const ProjectRight found = document_.GetGroups().Snapshot()->RightIn(id, chain);
  right = {found.role, project, found.group};
  return {true, ""};
}

std::string GroupAdministration::RoleAbilities(GroupRole role) {
  switch (role) {
    case GroupRole::Reader:
      return "see the tree, list and retrieve documents";
    case GroupRole::Author:
      return "read, check out, check in, add documents and references, make projects";
    case GroupRole::Publisher:
      return "author, make editions and supplements, add original projects and references, delete and rename";
    default:
      return "not see the project";
  }
}

GroupAdministration::Outcome GroupAdministration::ResolveSubtrees(const std::vector<std::string>& paths,
                                                                  std::vector<std::string>& internalNames) const {
  if (paths.size() > LibraryGroups::kMaxSubtrees) {
    return Refused("A group covers at most " + std::to_string(LibraryGroups::kMaxSubtrees) + " subtrees");
  }
  const std::vector<ProjectPlace> places = ListProjectPlaces(document_);
  for (const std::string& path : paths) {
    const auto found =
        std::find_if(places.begin(), places.end(), [&path](const ProjectPlace& place) { return place.path == path; });
    if (found == places.end()) {
      return Refused("No project is shown as " + path + " (write the path as \"checked-out\" shows it)");
    }
    if (std::find(internalNames.begin(), internalNames.end(), found->internalName) == internalNames.end()) {
      internalNames.push_back(found->internalName);
    }
  }
  return {true, ""};
}

int GroupAdministration::AccountId(const std::string& user) const {
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  const ServerSettings& settings = document_.GetSettings();
  for (int index = 0; index < settings.GetUserCount(); ++index) {
    const std::optional<UserAccount> account = settings.GetUser(index);
    if (account->GetName() == user && account->GetConnectionType() == UserAccount::kTcpIp) return account->GetId();
  }
  return -1;
}

std::string GroupAdministration::AccountName(int id) const {
  const std::optional<UserAccount> account = document_.GetSettings().FindUser(id);
  return account ? account->GetName() : "(no account " + std::to_string(id) + ")";
}

GroupAdministration::Outcome GroupAdministration::Apply(const std::string& done,
                                                        const std::function<bool(GroupTable&, std::string&)>& edit) {
  std::string refusal;
  if (document_.GetGroups().Change([&](GroupTable& table) { return edit(table, refusal); })) return {true, done};
  return Refused(refusal.empty() ? kSaveFailedText : refusal);
}
