#include "client/rules/LocalFolderListing.h"

#include <algorithm>
#include <utility>

#include "client/document/CBrannockDoc.h"
#include "client/document/LocalFolderScan.h"
#include "client/rules/LocalAddRules.h"
#include "client/rules/LocalFileOrder.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"

namespace {

// The list shows every file and sub-folder.
FolderRuleSet Everything() {
  FolderRuleSet rules;
  rules.AddInclusion(FolderRule::kAllFolders, "");
  rules.AddInclusion(FolderRule::kAllDocuments, "");
  return rules;
}

LocalFileEntry NavigationEntry(const char* name) {
  LocalFileEntry entry;
  entry.SetBaseName(name);
  entry.SetDirectory(true);
  entry.SetReadOnly(false);
  return entry;
}

// The index name under which the scan asks for the listed folder's documents.
constexpr const char* kListedFolderProjects = "\x01listed";

}  // namespace

LocalFolderListing::Library LocalFolderListing::LibraryOf(CBrannockDoc& document) {
  Library library;
  library.projectsMappedTo = [&document](const std::string& folder) {
    std::vector<std::string> names;
    document.GetProjectTree().FindProjectsMappedToFolder(folder, names);
    return names;
  };
  library.documentNames = [&document](const std::string& indexName) -> std::optional<std::vector<std::string>> {
    ProjectDocumentList list;
    if (!document.GetListCache().GetProjectDocumentList(indexName, document.GetProjectTree(),
                                                        document.GetLibraryFolder(), list)) {
      return std::nullopt;
    }
    std::vector<std::string> names;
    for (int i = 0; i < list.GetCount(); ++i) names.push_back(list.GetAt(i)->GetName());
    return names;
  };
  library.loadMappedProject = [&document](const std::string& folder) {
    if (ProjectNode* node = document.GetProjectTree().FindProjectByLocalFolder(folder)) {
      document.LoadProjectDocuments(*node);
    }
  };
  return library;
}

LocalFolderListing::LocalFolderListing(Library library) : library_(std::move(library)) {}

void LocalFolderListing::Fill() {
  entries_.clear();
  if (folder_.empty() || !platform::fs::IsFolder(folder_)) return;
  const std::vector<std::string> mapped = library_.projectsMappedTo(folder_);
  std::vector<std::string> documents;
  for (const std::string& indexName : mapped) {
    if (ProjectNode::IsRootIndexName(indexName)) continue;
    if (const auto names = library_.documentNames(indexName))
      documents.insert(documents.end(), names->begin(), names->end());
  }
  if (!mapped.empty()) library_.loadMappedProject(folder_);

  // The scan's lookups: the listed folder stands for all its projects at once.
  LocalFolderLookups lookups;
  lookups.findProjectByLocalFolder = [&](const std::string& path) -> std::optional<std::string> {
    if (SameFolder(path, folder_))
      return mapped.empty() ? std::nullopt : std::optional<std::string>(kListedFolderProjects);
    if (library_.projectsMappedTo(path).empty()) return std::nullopt;
    return std::string();
  };
  lookups.loadProjectDocuments = [&](const std::string&) -> std::optional<std::vector<std::string>> {
    return documents;
  };
  // A linked folder is shown wherever it leads, unless back up this folder's own path.
  lookups.linkBound = "/";
  LocalFolderScan(std::move(lookups)).Scan(folder_, Everything(), entries_);

  entries_.push_back(NavigationEntry(kChooseEntry));
  if (ParentOf(folder_)) entries_.push_back(NavigationEntry(kParentEntry));
  LocalFileOrder::Sort(entries_, sortColumn_, ascending_);
}

void LocalFolderListing::SetSort(int column, bool ascending) {
  sortColumn_ = column >= 0 && column < kColumnCount ? column : kName;
  ascending_ = ascending;
}

void LocalFolderListing::ClickColumn(int column) {
  if (column == sortColumn_) {
    ascending_ = !ascending_;
  } else {
    SetSort(column, true);
  }
}

bool LocalFolderListing::IsNavigationEntry(const LocalFileEntry& entry) {
  return entry.IsDirectory() && (entry.GetBaseName() == kChooseEntry || entry.GetBaseName() == kParentEntry);
}

std::optional<std::string> LocalFolderListing::ParentOf(const std::string& folder) {
  const std::string path = StripTrailingBackslash(folder);
  const std::size_t slash = path.rfind('/');
  if (path.empty() || slash == std::string::npos) return std::nullopt;
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string LocalFolderListing::ChildOf(const std::string& folder, const std::string& name) {
  return EnsureTrailingBackslash(folder) + name;
}

bool LocalFolderListing::SameFolder(const std::string& first, const std::string& second) {
  if (first.empty() || second.empty()) return false;
  return first == second || StripTrailingBackslash(first) == StripTrailingBackslash(second);
}

std::string LocalFolderListing::PathOf(const LocalFileEntry& entry) const {
  if (entry.IsDirectory() && entry.GetBaseName() == kChooseEntry) return folder_;
  if (entry.IsDirectory() && entry.GetBaseName() == kParentEntry) return ParentOf(folder_).value_or(folder_);
  return ChildOf(folder_, entry.GetFileName());
}
