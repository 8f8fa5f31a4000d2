#include "client/rules/CheckedProjectsWalk.h"

#include "client/library/VersionedDocumentList.h"
#include "common/StringHelpers.h"

namespace {

bool IsPlainProject(const ProjectNode& node) { return !node.IsEdition() && !node.IsSupplement(); }

}  // namespace

std::optional<std::string> CheckedProjectsWalk::Collect(const PublicationSelection& selection, FolderMapping& mapping,
                                                        bool takeStart) {
  mapping.Clear();
  pathFiles_.clear();
  const ProjectNode* base = tree_.FindProjectByPath(selection.baseIndexName);
  if (base == nullptr) return std::nullopt;
  const ProjectNode* start = base;
  if (base->IsEdition()) {
    start = tree_.FindProjectByPath(base->GetEdition().GetProjectInternalName());
    if (start == nullptr) return std::string(kEditionNotFound);
  } else if (base->IsSupplement()) {
    start = tree_.FindProjectByPath(base->GetSupplement().GetProjectInternalName());
    if (start == nullptr) return std::string(kSupplementNotFound);
  }
  if (start->GetTreeItem() != 0) Walk(start->GetTreeItem(), std::string(), mapping, takeStart);
  return std::nullopt;
}

bool CheckedProjectsWalk::ReadSelections(const std::string& path, std::map<std::string, std::string>& selections) const {
  const auto known = pathFiles_.find(path);
  if (known == pathFiles_.end()) return true;
  FolderMapping files;
  files.SetFolderList(known->second);
  for (int f = 0; f < files.GetFolderCount(); ++f) {
    VersionedDocumentList list;
    if (!list.ReadFile(files.GetFolder(f))) return false;
    for (int d = 0; d < list.GetCount(); ++d) {
      const VersionedDocument& document = *list.GetAt(d);
      if (const DocumentVersionEntry* version = document.GetVersion(document.GetSelectedIndex())) {
        selections[version->GetName()] = version->GetIndexName();
      }
    }
  }
  return true;
}

FolderMapping& CheckedProjectsWalk::EnterMapping(const ProjectNode& node, bool top, const std::string& cacheFile,
                                                 FolderMapping& mapping) {
  if (top) {
    if (!mapping.GetProjectName().empty()) {
      mapping.AddFolder(cacheFile);
    } else {
      mapping.SetProjectName(IsPlainProject(node) ? node.GetName() : node.GetRecordedProjectName());
      mapping.SetFolderList(cacheFile);
      mapping.SetLocalFolder(node.GetLocalFolder());
    }
    return mapping;
  }
  const int found = mapping.FindChild(node.GetName());
  if (found >= 0) {
    mapping.GetChild(found)->AddFolder(cacheFile);
    return *mapping.GetChild(found);
  }
  FolderMapping child;
  child.SetProjectName(node.GetName());
  child.SetFolderList(cacheFile);
  child.SetLocalFolder(node.GetLocalFolder());
  mapping.AddChild(child);
  return *mapping.GetChild(mapping.GetChildCount() - 1);
}

void CheckedProjectsWalk::Walk(TreeItem id, std::string path, FolderMapping& mapping, bool take) {
  const LibraryTreeItems::Item* item = items_.Find(id);
  const ProjectNode* node = tree_.FindProjectByTreeItem(id);
  if (item == nullptr || node == nullptr) return;
  if (!take && item->state != LibraryTreeItems::kNoBox && item->state != LibraryTreeItems::kTicked) return;

  bool top = path.empty();
  if (!top) path += ":";
  if (IsPlainProject(*node)) {
    path += node->GetName();
  } else if (!top) {
    path.pop_back();
    top = true;
  } else {
    path = node->GetRecordedProjectName();
  }

  std::map<std::string, std::string> selections;
  if (!ReadSelections(path, selections)) return;
  const bool isRoot = id == items_.GetRoot();
  const std::string cacheFile =
      isRoot ? std::string() : EnsureTrailingBackslash(libraryFolder_) + node->GetVersionsCacheFilePath();
  VersionedDocumentList list;
  if (!isRoot && !list.ReadFile(cacheFile)) return;

  FolderMapping& entry = EnterMapping(*node, top, cacheFile, mapping);

  if (!isRoot) {
    for (int d = 0; d < list.GetCount(); ++d) {
      VersionedDocument& document = *list.GetAt(d);
      const DocumentVersionEntry* version = document.GetVersion(document.GetSelectedIndex());
      if (version == nullptr) continue;
      if (selections.count(version->GetName()) != 0) {
        document.SetSelectedIndex(-1);
      } else {
        selections[version->GetName()] = version->GetIndexName();
      }
    }
    if (!list.WriteFile(cacheFile)) return;
    std::string& files = pathFiles_[path];
    // No empty piece: it would read as a file that cannot be read.
    if (!files.empty() && files.back() != ';') files += ';';
    files += cacheFile;
  }
  WalkChildren(*node, *item, path, entry);
}

void CheckedProjectsWalk::WalkChildren(const ProjectNode& node, const LibraryTreeItems::Item& item,
                                       const std::string& path, FolderMapping& mapping) {
  // Children are looked up by item each time: the walk rewrites no node, but keeps no pointer either.
  const std::vector<TreeItem> children = item.children;
  const auto nodeOf = [this](TreeItem child) { return tree_.FindProjectByTreeItem(child); };
  if (node.IsEdition()) {
    for (const TreeItem child : children) {
      const ProjectNode* childNode = nodeOf(child);
      if (childNode != nullptr && !childNode->IsSupplement() && childNode->GetFlag2()) Walk(child, path, mapping, false);
    }
    return;
  }
  for (const TreeItem child : children) {
    const ProjectNode* childNode = nodeOf(child);
    if (childNode != nullptr && IsPlainProject(*childNode)) Walk(child, path, mapping, false);
  }
  for (const TreeItem child : children) {
    const ProjectNode* edition = nodeOf(child);
    if (edition == nullptr || !edition->IsEdition()) continue;
    const LibraryTreeItems::Item* editionItem = items_.Find(child);
    if (editionItem == nullptr) continue;
    const std::vector<TreeItem> supplements = editionItem->children;
    for (auto s = supplements.rbegin(); s != supplements.rend(); ++s) {
      const ProjectNode* supplement = nodeOf(*s);
      if (supplement != nullptr && supplement->IsSupplement()) Walk(*s, path, mapping, false);
    }
    Walk(child, path, mapping, false);
  }
}
