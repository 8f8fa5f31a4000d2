#include "server/admin/LibraryVerifier.h"

#include <cstdio>
#include <cstdint>

#include "common/StringHelpers.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/FileStatistics.h"
#include "server/store/InternalNameCounter.h"
#include "server/store/LibraryGroups.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ProjectFolders.h"
#include "server/store/ServerProject.h"
#include "server/store/StoreFilePaths.h"

namespace {

// The counter pair of a name "WXFiName_Hi<high>Lo<low>"; false for any other name.
bool ParseInternalName(const std::string& name, std::pair<int, int>& pair) {
  int consumed = 0;
  return std::sscanf(name.c_str(), "WXFiName_Hi%dLo%d%n", &pair.first, &pair.second, &consumed) == 2 &&
         static_cast<std::size_t>(consumed) == name.size();
}

// Frees the nodes ReadInventoryFile made.
struct OwnedProjects {
  PointerArray<ServerProject> projects;
  ~OwnedProjects() {
    for (int i = 0; i < projects.GetSize(); ++i) delete projects.GetAt(i);
  }
};

}  // namespace

LibraryVerifier::Report LibraryVerifier::Verify() {
  report_ = Report{};
  newestName_ = {0, 0};
  projectNames_.clear();
  CheckJournal();
  OwnedProjects inventory;
  std::string fault;
  const std::string inventoryPath = EnsureTrailingBackslash(document_.GetRootPath()) + CWexmoorDoc::kInventoryFileName;
  if (!ServerProject::ReadInventoryFile(inventoryPath, inventory.projects, fault)) {
    Problem("the inventory " + inventoryPath + " cannot be read: " + fault);
  }
  for (int i = 0; i < inventory.projects.GetSize(); ++i) {
    const ServerProject& project = *inventory.projects.GetAt(i);
    CheckProject(project, CopiedFromRoot(project));
  }
  CheckCounters();
  CheckGroups();
  return report_;
}

void LibraryVerifier::CheckGroups() {
  const std::string path = LibraryGroups::FilePath(document_.GetRootPath());
  std::string text;
  GroupTable table;
  if (!platform::fs::Exists(path)) return;   // an earlier library: its next start makes it
  if (!platform::fs::ReadWholeFile(path, text)) return Problem("the groups file " + path + " cannot be read");
  if (!table.Decode(text)) return Problem("the groups file " + path + " is damaged");
  const ServerSettings& settings = document_.GetSettings();
  for (const Group& group : table.groups) {
    for (int member : group.members) {
      if (!settings.FindUser(member)) {
        Problem("the group " + group.name + " in " + path + " holds account " + std::to_string(member) +
                ", which the users file does not");
      }
    }
    for (const std::string& subtree : group.subtrees) {
      if (!projectNames_.count(subtree)) {
        Problem("the group " + group.name + " in " + path + " covers the project " + subtree +
                ", which the inventory does not hold");
      }
    }
  }
}

void LibraryVerifier::CheckJournal() {
  const std::string journal = EnsureTrailingBackslash(document_.GetRootPath()) + CWexmoorDoc::kJournalFolderName;
  std::vector<platform::fs::FolderEntry> entries;
  if (!platform::fs::IsFolder(journal) || !platform::fs::ListFolder(journal, entries) || entries.empty()) return;
  Problem("the journal " + journal + " holds " + std::to_string(entries.size()) +
          " unfinished change(s), which the server finishes at its next start");
}

void LibraryVerifier::CheckProject(const ServerProject& project, const std::string& oldRoot) {
  ++report_.projects;
  NoteName(project.GetInternalName());
  projectNames_.insert(project.GetInternalName());
  const std::string folder = DiskFolder(project.GetFolderPath(), oldRoot);
  const std::string listPath = ProjectFileListPath(folder, project.GetInternalName());
  const ProjectFileList list(listPath);
  if (list.LoadFailed()) {
    Problem("the file list " + listPath + " of project " + project.GetName() + " cannot be read");
  } else {
    StringList names;
    StringList files;
    list.GetKeys(names);
    list.GetValues(files);
    for (int i = 0; i < names.GetSize() && i < files.GetSize(); ++i) {
      CheckDocument(folder, names.GetAt(i), files.GetAt(i));
    }
  }
  for (int i = 0; i < project.GetSubProjectCount(); ++i) CheckProject(*project.GetSubProjects().GetAt(i), oldRoot);
}

void LibraryVerifier::CheckDocument(const std::string& folder, const std::string& name,
                                    const std::string& internalName) {
  ++report_.documents;
  NoteName(internalName);
  const std::string path = StatisticsPath(folder, internalName);
  FileStatistics statistics;
  int line = 0;
  if (const int code = statistics.Load(path, line); code != 0) {
    Problem("the record " + path + " of document " + name + " cannot be read (code " + std::to_string(code) +
            ", line " + std::to_string(line) + ")");
    return;
  }
  for (int v = 0; v < statistics.GetVersionCount(); ++v) {
    const FileEntry& version = statistics.GetVersion(v);
    // A reference's file is the original's, checked with its own document.
    if (!version.GetInternalProjectName().empty()) continue;
    ++report_.versions;
    const std::string file = folder + version.GetVersionFileName();
    std::int64_t size = 0;
    if (!platform::fs::FileSize(file, size)) {
      Problem("version " + std::to_string(version.GetVersion()) + " of document " + name + " is missing: " + file);
    } else if (size != version.GetFileSize()) {
      Problem("version " + std::to_string(version.GetVersion()) + " of document " + name + " holds " +
              std::to_string(size) + " bytes where " + std::to_string(version.GetFileSize()) +
              " are recorded: " + file);
    }
  }
}

void LibraryVerifier::CheckCounters() {
  InternalNameCounter counter(EnsureTrailingBackslash(document_.GetRootPath()) + InternalNameCounter::kFileName);
  if (!platform::fs::IsFile(counter.GetFilePath()) && report_.projects == 0) return;   // a new library
  if (!counter.Load(/*newLibrary=*/false)) {
    Problem("the counter file " + counter.GetFilePath() + " cannot be read");
    return;
  }
  if (NamePair(counter.GetHigh(), counter.GetLow()) <= newestName_) {
    Problem("the counter file " + counter.GetFilePath() + " names " + std::to_string(counter.GetHigh()) + "," +
            std::to_string(counter.GetLow()) + " next, which is not past the name WXFiName_Hi" +
            std::to_string(newestName_.first) + "Lo" + std::to_string(newestName_.second) + " in use");
  }
}

std::string LibraryVerifier::DiskFolder(const std::string& recorded, const std::string& oldRoot) const {
  if (oldRoot.empty()) return EnsureTrailingBackslash(document_.DiskFolder(recorded));
  return EnsureTrailingBackslash(
      RebasedFolder(ProjectFolderOnDisk(recorded, oldRoot), oldRoot, document_.GetRootPath()));
}

std::string LibraryVerifier::CopiedFromRoot(const ServerProject& topLevel) const {
  const std::string folder = StripTrailingBackslash(topLevel.GetFolderPath());
  const std::string pending = document_.GetPendingOldRoot();
  if (IsFolderOrBelow(folder, document_.GetRootPath()) || (!pending.empty() && IsFolderOrBelow(folder, pending))) {
    return "";
  }
  const std::string oldRoot = platform::fs::ParentFolder(folder);
  return folder == EnsureTrailingBackslash(oldRoot) + topLevel.GetInternalName() ? oldRoot : "";
}

void LibraryVerifier::NoteName(const std::string& internalName) {
  NamePair pair;
  if (ParseInternalName(internalName, pair) && pair > newestName_) newestName_ = pair;
}
