#pragma once
// Collects the ticked projects of a publication being prepared into a FolderMapping:
// one entry per published project (its name, the ';'-separated versions cache files
// that feed it and its local folder), nested as the projects nest. Walking the tree
// items in display order, it also rewrites each visited versions cache so that, under
// one project path, the first selection of a document name wins.
#include <map>
#include <optional>
#include <string>

#include "client/document/FolderMapping.h"
#include "client/rules/LibraryTreeItems.h"

class CheckedProjectsWalk {
 public:
  static constexpr const char* kEditionNotFound =
      "CBrannockView::MakeListOfCheckedProjects() 1 - Shouldn't be here Failed to find project from tree item";
  static constexpr const char* kSupplementNotFound =
      "CBrannockView::MakeListOfCheckedProjects() 2 - Shouldn't be here Failed to find project from tree item";

  CheckedProjectsWalk(const LibraryTreeItems& items, ProjectTree& tree, std::string libraryFolder)
      : items_(items), tree_(tree), libraryFolder_(std::move(libraryFolder)) {}

  // Empties `mapping` and fills it from the start project of the selection's base. The
  // start item is taken whatever its box when `takeStart`. Returns the text to show
  // when the base's own project cannot be found (then the mapping stays empty).
  std::optional<std::string> Collect(const PublicationSelection& selection, FolderMapping& mapping, bool takeStart);

 private:
  void Walk(TreeItem id, std::string path, FolderMapping& mapping, bool take);
  // Reads the selected versions under `path` so far; false when one cannot be read.
  bool ReadSelections(const std::string& path, std::map<std::string, std::string>& selections) const;
  // The item's mapping entry (step 5); the mapping its children are walked into.
  FolderMapping& EnterMapping(const ProjectNode& node, bool top, const std::string& cacheFile, FolderMapping& mapping);
  void WalkChildren(const ProjectNode& node, const LibraryTreeItems::Item& item, const std::string& path,
                    FolderMapping& mapping);

  const LibraryTreeItems& items_;
  ProjectTree& tree_;
  std::string libraryFolder_;
  std::map<std::string, std::string> pathFiles_;   // project path -> ';'-separated cache files
};
