#pragma once
// Lists one local folder (not its sub-folders) as LocalFileEntry records, marks
// the entries that belong to the library: documents of the project mapped to the
// folder, sub-folders that a project is mapped to, and keeps those a FolderRuleSet
// admits. The library's side is reached through the look-ups it is given.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "client/document/LocalFileEntry.h"
#include "client/records/FolderRuleSet.h"

// What the scan asks of the open library.
struct LocalFolderLookups {
  // The index name of the first project mapped to `folder`; none when no project is.
  std::function<std::optional<std::string>(const std::string& folder)> findProjectByLocalFolder;
  // Makes the project's document list current and gives its document names; none
  // when no list is held yet (the library is then asked for it).
  std::function<std::optional<std::vector<std::string>>(const std::string& indexName)> loadProjectDocuments;
  // A link to a folder is followed (taken as a folder) when its target lies within this
  // folder; empty: no link is. A link back to the scanned folder or above it, through
  // any folder of its path, never is: a walk through it would not end.
  std::string linkBound;
};

class LocalFolderScan {
 public:
  explicit LocalFolderScan(LocalFolderLookups lookups);

  // Empties `entries`, then appends the admitted entries of `folder` in listing
  // order. "." and ".." are never listed; a link to a folder is a folder when it is
  // followed (see linkBound), else left out, as is anything that is neither a folder
  // nor a file. A document is a
  // project member when its name is, with case, one of the mapped project's
  // documents (the root project has none); a sub-folder when a project is mapped
  // to its path. A missing folder or an empty path leaves `entries` empty.
  void Scan(const std::string& folder, const FolderRuleSet& rules, std::vector<LocalFileEntry>& entries) const;

 private:
  std::optional<std::string> FindProject(const std::string& folder) const;
  bool FollowsLink(const std::string& folder, const std::string& link) const;
  // The names of the mapped project's documents; none for no project, the root,
  // or a list that is not held.
  std::optional<std::vector<std::string>> MemberDocuments(const std::string& folder) const;

  LocalFolderLookups lookups_;
};
