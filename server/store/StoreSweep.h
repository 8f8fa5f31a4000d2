#pragma once
// The start-up sweep of a library's leftovers: what a cut operation left behind and
// no file list, inventory node or journal record names. It looks only at the root,
// "TemporaryFiles", "Journal" and the inventory's project folders, at entries named
// by the store's own patterns, never through symbolic links and never into
// "DeletedProjects". Only what can never hold acknowledged data is moved (never
// deleted): transfer temporaries and the temporaries of cut writes, and folders
// named like a project that hold no project data. They go into one dated folder
// "<root>/DeletedProjects/Leftovers YYYYMMDD-HHMMSS", keeping the layout under the
// root (folders outside the root go under "Outside/<their full path>").
// A file list, statistics or version file, or a folder holding one, stays where it
// is whatever the records say; when nothing owns it, it is reported as kept. A
// version file its listed document does not name gets the suffix ".stray", so
// that no later version of the document can be taken for it or blocked by it.
#include <functional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/Clock.h"
#include "platform/fs.h"

class StoreSweep {
 public:
  // One inventory node: its internal name and folder.
  struct Project {
    std::string internalName;
    std::string folder;
  };
  struct Result {
    int moved = 0;       // entries now in `folder`
    int failed = 0;      // leftovers that could not be moved
    std::string folder;  // the dated folder; "" when nothing was tried
    std::vector<std::string> kept;  // project data nothing owns, left in place (as renamed)
  };

  static constexpr const char* kStraySuffix = ".stray";

  StoreSweep(const std::string& root, const std::vector<Project>& projects);

  // Sweeps once, naming the dated folder after `now`. Nothing at all is moved while
  // the journal folder holds a record or is not a plain folder, and no folder is
  // made when there is nothing to move.
  Result Run(const platform::LocalTime& now);

  // True for a file named as a file list, statistics (or their backup) or a version,
  // and for a folder holding one at any depth (symbolic links are not followed).
  static bool HoldsProjectData(const std::string& path, const platform::fs::FolderEntry& entry);

 private:
  // Reads every project's file list and each listed document's statistics once.
  void ReadLists();
  bool JournalIsPending(const std::vector<platform::fs::FolderEntry>& rootEntries) const;
  // Looks at one folder's entries (the root when `isRoot`) and moves the leftovers.
  void SweepFolder(const std::string& folder, const std::vector<platform::fs::FolderEntry>& entries, bool isRoot);
  using LeftoverTest = std::function<bool(const std::string& path, const platform::fs::FolderEntry& entry)>;
  // Moves the entries of `folder` that `isLeftover` accepts; symbolic links never.
  void SweepInside(const std::string& folder, const LeftoverTest& isLeftover);
  // Moves the file or folder, or keeps it when it holds project data.
  void Sweep(const std::string& path, const platform::fs::FolderEntry& entry);
  void ConsiderFile(const std::string& folder, const std::string& name);
  void ConsiderFolder(const std::string& path, const platform::fs::FolderEntry& entry);
  // Renames a version file its document does not name out of the version pattern.
  void RenameStrayVersion(const std::string& path);
  // True when `path` is a project folder or holds one below it.
  bool HoldsProjectFolder(const std::string& path) const;
  // True when the folder or a folder above it was seen as a symbolic link.
  bool LiesUnderLink(const std::string& folder) const;
  void Move(const std::string& path);
  bool MakeSweepFolder();

  std::string root_;
  std::set<std::string> projectFolders_;  // sorted: a folder before the folders below it
  std::vector<Project> projects_;
  std::unordered_set<std::string> listedDocuments_;    // internal file names some list names
  std::unordered_set<std::string> unreadDocuments_;    // listed, but their statistics unreadable
  std::unordered_set<std::string> ownVersionFiles_;    // version file names of non-reference versions
  std::unordered_set<std::string> unreadListFolders_;  // folders whose file list could not be read
  std::unordered_set<std::string> ownListPaths_;       // the file list path of every node
  std::set<std::string> links_;                        // symbolic links met while listing
  std::string stamp_;
  Result result_;
};
