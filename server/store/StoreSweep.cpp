#include "server/store/StoreSweep.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "server/store/CWexmoorDoc.h"
#include "server/store/FileStatistics.h"
#include "server/store/InternalNameCounter.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerProject.h"
#include "server/store/ServerSettings.h"
#include "server/store/StoreChange.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/StringList.h"

namespace {

using platform::fs::FolderEntry;

constexpr const char* kOutsideFolderName = "Outside";
constexpr std::string_view kInternalNamePrefix = "WXFiName_Hi";
constexpr std::size_t kTemporarySuffixDigits = 8;

enum class StoreName { Other, InternalName, Statistics, Backup, FileList, Version };

bool AllOf(std::string_view text, int (*test)(int)) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [test](char c) {
    return test(static_cast<unsigned char>(c)) != 0;
  });
}

// Length of the internal name "WXFiName_Hi<digits>Lo<digits>" that `name` begins with; 0 when none.
std::size_t InternalNameLength(std::string_view name) {
  if (name.substr(0, kInternalNamePrefix.size()) != kInternalNamePrefix) return 0;
  std::size_t at = kInternalNamePrefix.size();
  const auto skipDigits = [&name, &at] {
    const std::size_t start = at;
    while (at < name.size() && std::isdigit(static_cast<unsigned char>(name[at])) != 0) ++at;
    return at > start;
  };
  if (!skipDigits() || name.substr(at, 2) != "Lo") return 0;
  at += 2;
  return skipDigits() ? at : 0;
}

// What a name of the store's own patterns is; `internalName` receives its internal name.
StoreName Classify(std::string_view name, std::string& internalName) {
  const std::size_t length = InternalNameLength(name);
  if (length == 0) return StoreName::Other;
  internalName = std::string(name.substr(0, length));
  const std::string_view rest = name.substr(length);
  if (rest.empty()) return StoreName::InternalName;
  if (rest == "_FileStatistics.wxf") return StoreName::Statistics;
  if (rest == "_FileStatistics.bak") return StoreName::Backup;
  if (rest == "_ProjectFileList.wxf") return StoreName::FileList;
  constexpr std::string_view kVersion = "Ver", kExtension = ".wxf";
  if (rest.size() > kVersion.size() + kExtension.size() && rest.substr(0, kVersion.size()) == kVersion &&
      rest.substr(rest.size() - kExtension.size()) == kExtension &&
      AllOf(rest.substr(kVersion.size(), rest.size() - kVersion.size() - kExtension.size()), std::isdigit)) {
    return StoreName::Version;
  }
  return StoreName::Other;
}

// A record file the store writes in the root or in a project folder.
bool IsRecordFileName(std::string_view name) {
  for (const char* fixed : {ServerSettings::kUsersFileName, ServerProject::kInventoryFileName,
                            InternalNameCounter::kFileName, CWexmoorDoc::kRootPathFileName,
                            LibraryGroups::kFileName}) {
    if (name == fixed) return true;
  }
  std::string internalName;
  const StoreName kind = Classify(name, internalName);
  return kind != StoreName::Other && kind != StoreName::InternalName;
}

// X of a hidden temporary "." + X + "." + tag + "-" + 8 hex digits (a cut atomic write
// or copy of X); "" for any other name.
std::string_view TemporaryTarget(std::string_view name) {
  if (name.empty() || name[0] != '.') return {};
  const std::size_t dash = name.rfind('-');
  if (dash == std::string_view::npos || name.size() - dash - 1 != kTemporarySuffixDigits ||
      !AllOf(name.substr(dash + 1), std::isxdigit)) {
    return {};
  }
  const std::size_t dot = name.rfind('.', dash);
  if (dot == std::string_view::npos || dot < 2 || !AllOf(name.substr(dot + 1, dash - dot - 1), std::isalpha)) {
    return {};
  }
  return name.substr(1, dot - 1);
}

// The temporary of a journal record that was never completed.
bool IsJournalTemporary(std::string_view name) {
  constexpr std::string_view kSuffix = StoreChange::kRecordSuffix;
  const std::string_view target = TemporaryTarget(name);
  return target.size() > kSuffix.size() && target[0] != '.' && target.substr(target.size() - kSuffix.size()) == kSuffix;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

const FolderEntry* FindEntry(const std::vector<FolderEntry>& entries, const std::string& name) {
  const auto found =
      std::find_if(entries.begin(), entries.end(), [&name](const FolderEntry& entry) { return entry.name == name; });
  return found == entries.end() ? nullptr : &*found;
}

}  // namespace

StoreSweep::StoreSweep(const std::string& root, const std::vector<Project>& projects)
    : root_(WithoutTrailingSeparators(root)), projects_(projects) {
  for (Project& project : projects_) {
    project.folder = WithoutTrailingSeparators(project.folder);
    projectFolders_.insert(project.folder);
  }
}

StoreSweep::Result StoreSweep::Run(const platform::LocalTime& now) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day, now.hour,
                now.minute, now.second);
  stamp_ = stamp;
  std::vector<FolderEntry> rootEntries;
  if (!platform::fs::ListFolder(root_, rootEntries) || JournalIsPending(rootEntries)) return {};
  // The leftovers go below "DeletedProjects": it must be a plain folder or absent.
  const FolderEntry* deleted = FindEntry(rootEntries, CWexmoorDoc::kDeletedProjectsFolder);
  if (deleted != nullptr && (deleted->isLink || !deleted->isFolder)) return {};

  ReadLists();
  SweepFolder(root_, rootEntries, true);
  const std::string deletedPrefix = root_ + "/" + CWexmoorDoc::kDeletedProjectsFolder + "/";
  for (const std::string& folder : projectFolders_) {
    if (folder == root_ || folder.compare(0, deletedPrefix.size(), deletedPrefix) == 0 || LiesUnderLink(folder)) {
      continue;
    }
    std::vector<FolderEntry> entries;
    if (platform::fs::ListFolder(folder, entries)) SweepFolder(folder, entries, false);
  }
  return result_;
}

bool StoreSweep::JournalIsPending(const std::vector<FolderEntry>& rootEntries) const {
  const FolderEntry* journal = FindEntry(rootEntries, CWexmoorDoc::kJournalFolderName);
  if (journal == nullptr) return false;
  return journal->isLink || !journal->isFolder ||
         StoreChange::HasRecords(root_ + "/" + CWexmoorDoc::kJournalFolderName);
}

void StoreSweep::ReadLists() {
  for (const Project& project : projects_) {
    const std::string folder = project.folder + "/";
    ownListPaths_.insert(ProjectFileListPath(folder, project.internalName));
    ProjectFileList list;
    if (!list.Load(ProjectFileListPath(folder, project.internalName))) {
      unreadListFolders_.insert(project.folder);
      continue;
    }
    StringList documents;
    list.GetValues(documents);
    for (int i = 0; i < documents.GetSize(); ++i) {
      const std::string& document = documents.GetAt(i);
      if (!listedDocuments_.insert(document).second) continue;
      FileStatistics statistics;
      int lineCounter = 0;
      if (statistics.Load(StatisticsPath(folder, document), lineCounter) != 0) {
        unreadDocuments_.insert(document);
        continue;
      }
      for (int v = 0; v < statistics.GetVersionCount(); ++v) {
        const FileEntry& version = statistics.GetVersion(v);
        if (version.GetInternalProjectName().empty()) ownVersionFiles_.insert(version.GetVersionFileName());
      }
    }
  }
}

void StoreSweep::SweepFolder(const std::string& folder, const std::vector<FolderEntry>& entries, bool isRoot) {
  for (const FolderEntry& entry : entries) {
    const std::string path = folder + "/" + entry.name;
    if (entry.isLink) {
      links_.insert(path);
      continue;
    }
    if (isRoot && entry.isFolder && entry.name == CWexmoorDoc::kTemporaryFolderName) {
      SweepInside(path, [this](const std::string& inside, const FolderEntry&) { return !HoldsProjectFolder(inside); });
      continue;
    }
    if (isRoot && entry.isFolder && entry.name == CWexmoorDoc::kJournalFolderName) {
      SweepInside(path, [](const std::string&, const FolderEntry& inside) {
        return !inside.isFolder && IsJournalTemporary(inside.name);
      });
      continue;
    }
    if (entry.isFolder) {
      ConsiderFolder(path, entry);
    } else {
      ConsiderFile(folder, entry.name);
    }
  }
}

void StoreSweep::SweepInside(const std::string& folder, const LeftoverTest& isLeftover) {
  std::vector<FolderEntry> entries;
  if (!platform::fs::ListFolder(folder, entries)) return;
  for (const FolderEntry& entry : entries) {
    const std::string path = folder + "/" + entry.name;
    if (!entry.isLink && isLeftover(path, entry)) Sweep(path, entry);
  }
}

void StoreSweep::Sweep(const std::string& path, const FolderEntry& entry) {
  if (HoldsProjectData(path, entry)) {
    result_.kept.push_back(path);
  } else {
    Move(path);
  }
}

void StoreSweep::ConsiderFile(const std::string& folder, const std::string& name) {
  const std::string path = folder + "/" + name;
  if (IsRecordFileName(TemporaryTarget(name))) {
    Move(path);
    return;
  }
  std::string internalName;
  const StoreName kind = Classify(name, internalName);
  if (kind == StoreName::Backup || (kind == StoreName::FileList && ownListPaths_.count(path) == 0)) {
    result_.kept.push_back(path);
    return;
  }
  // Without the folder's list, or the document's statistics, its files are unknown.
  if (unreadListFolders_.count(folder) != 0 || unreadDocuments_.count(internalName) != 0) return;
  const bool listed = listedDocuments_.count(internalName) != 0;
  if (kind == StoreName::Statistics && !listed) result_.kept.push_back(path);
  if (kind != StoreName::Version || ownVersionFiles_.count(name) != 0) return;
  if (listed) {
    RenameStrayVersion(path);
  } else {
    result_.kept.push_back(path);
  }
}

void StoreSweep::ConsiderFolder(const std::string& path, const FolderEntry& entry) {
  std::string internalName;
  if (Classify(entry.name, internalName) == StoreName::InternalName && !HoldsProjectFolder(path)) Sweep(path, entry);
}

void StoreSweep::RenameStrayVersion(const std::string& path) {
  std::string renamed = path + kStraySuffix;
  for (int n = 2; platform::fs::Exists(renamed); ++n) renamed = path + kStraySuffix + std::to_string(n);
  result_.kept.push_back(platform::fs::MoveNoReplace(path, renamed) ? renamed : path + " (could not be renamed)");
}

bool StoreSweep::HoldsProjectData(const std::string& path, const FolderEntry& entry) {
  if (entry.isLink) return false;
  if (!entry.isFolder) {
    std::string internalName;
    const StoreName kind = Classify(entry.name, internalName);
    return kind != StoreName::Other && kind != StoreName::InternalName;
  }
  std::vector<FolderEntry> entries;
  // A folder that cannot be read may hold anything.
  if (!platform::fs::ListFolder(path, entries)) return true;
  return std::any_of(entries.begin(), entries.end(),
                     [&path](const FolderEntry& inside) { return HoldsProjectData(path + "/" + inside.name, inside); });
}

bool StoreSweep::HoldsProjectFolder(const std::string& path) const {
  if (projectFolders_.count(path) != 0) return true;
  const std::string below = path + "/";
  const auto next = projectFolders_.lower_bound(below);
  return next != projectFolders_.end() && next->compare(0, below.size(), below) == 0;
}

bool StoreSweep::LiesUnderLink(const std::string& folder) const {
  for (std::string at = folder; at.size() > 1; at = platform::fs::ParentFolder(at)) {
    if (links_.count(at) != 0) return true;
  }
  return false;
}

void StoreSweep::Move(const std::string& path) {
  if (!MakeSweepFolder()) {
    ++result_.failed;
    return;
  }
  const std::string underRoot = root_ + "/";
  const std::string relative = path.compare(0, underRoot.size(), underRoot) == 0
                                   ? path.substr(underRoot.size())
                                   : kOutsideFolderName + path;
  // The layout above the entry is rebuilt inside the dated folder.
  bool placed = true;
  for (std::size_t slash = relative.find('/'); placed && slash != std::string::npos;
       slash = relative.find('/', slash + 1)) {
    placed = platform::fs::CreateFolder(result_.folder + "/" + relative.substr(0, slash));
  }
  if (placed && platform::fs::MoveNoReplace(path, result_.folder + "/" + relative)) {
    ++result_.moved;
  } else {
    ++result_.failed;
  }
}

bool StoreSweep::MakeSweepFolder() {
  if (!result_.folder.empty()) return true;
  const std::string deleted = root_ + "/" + CWexmoorDoc::kDeletedProjectsFolder;
  if (!platform::fs::CreateFolder(deleted)) return false;
  const std::string base = deleted + "/Leftovers " + stamp_;
  std::string folder = base;
  for (int n = 2; platform::fs::Exists(folder); ++n) folder = base + " (" + std::to_string(n) + ")";
  if (!platform::fs::CreateFolder(folder)) return false;
  result_.folder = folder;
  return true;
}
