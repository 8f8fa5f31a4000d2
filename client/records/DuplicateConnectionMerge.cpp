#include "client/records/DuplicateConnectionMerge.h"

#include <algorithm>

#include "platform/fs.h"

namespace {

const LibraryEntry* EntryNamed(const std::vector<LibraryEntry>& entries, const std::string& name) {
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [&name](const LibraryEntry& entry) { return entry.GetName() == name; });
  return found == entries.end() ? nullptr : &*found;
}

}  // namespace

bool DuplicateConnectionMerge::SameLibraryAndUser(const LibraryConnection& a, const LibraryConnection& b,
                                                  const std::vector<LibraryEntry>& entries) {
  if (a.GetUserNumber() != b.GetUserNumber()) return false;
  if (a.GetName() == b.GetName()) return true;
  const LibraryEntry* entryA = EntryNamed(entries, a.GetName());
  const LibraryEntry* entryB = EntryNamed(entries, b.GetName());
  // A copied library keeps the key too, but it cannot listen where the original does.
  return entryA != nullptr && entryB != nullptr && entryA->GetKeyText() == entryB->GetKeyText() &&
         entryA->GetKeyLength() == entryB->GetKeyLength() && a.GetServerText() == b.GetServerText();
}

bool DuplicateConnectionMerge::Merge(std::vector<UserProfile>& profiles, std::vector<LibraryEntry>& entries) {
  std::vector<std::string> dropped;
  bool changed = false;
  for (UserProfile& profile : profiles) changed = MergeProfile(profile, entries, dropped) || changed;
  for (const std::string& name : dropped) {
    if (NamedByAnyConnection(profiles, name)) continue;
    std::erase_if(entries, [&name](const LibraryEntry& entry) { return entry.GetName() == name; });
  }
  return changed;
}

bool DuplicateConnectionMerge::MergeProfile(UserProfile& profile, const std::vector<LibraryEntry>& entries,
                                            std::vector<std::string>& dropped) {
  bool changed = false;
  for (int first = 0; first < profile.GetConnectionCount(); ++first) {
    std::vector<int> group{first};
    for (int other = first + 1; other < profile.GetConnectionCount(); ++other) {
      if (SameLibraryAndUser(*profile.GetConnection(first), *profile.GetConnection(other), entries)) {
        group.push_back(other);
      }
    }
    if (group.size() == 1) continue;
    LibraryConnection merged = *profile.GetConnection(group.back());
    if (!platform::fs::IsFolder(merged.GetLocalFolder())) {
      merged.SetLocalFolder(profile.GetConnection(first)->GetLocalFolder());
    }
    for (const int i : group) {
      const std::string& name = profile.GetConnection(i)->GetName();
      if (name != merged.GetName()) dropped.push_back(name);
    }
    *profile.GetConnection(first) = merged;
    // From the back, so the indices still to go stay valid.
    for (auto i = group.rbegin(); i + 1 != group.rend(); ++i) profile.RemoveConnection(*i);
    profile.MarkModified();
    changed = true;
  }
  return changed;
}

bool DuplicateConnectionMerge::NamedByAnyConnection(const std::vector<UserProfile>& profiles,
                                                    const std::string& name) {
  for (const UserProfile& profile : profiles) {
    for (int i = 0; i < profile.GetConnectionCount(); ++i) {
      if (profile.GetConnection(i)->GetName() == name) return true;
    }
  }
  return false;
}
