#include "server/engine/LibraryRootMove.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/CriticalSection.h"
#include "platform/Notifier.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/FileStatistics.h"
#include "server/store/LockTable.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ProjectFolders.h"
#include "server/store/StoreFilePaths.h"

namespace {

namespace stdfs = std::filesystem;

constexpr std::chrono::milliseconds kLockRetry{10};

// The canonical form of a path (links of its existing part resolved, "." and ".."
// folded, no trailing separator); the path itself when that fails.
stdfs::path Canonical(const std::string& path) {
  std::error_code error;
  stdfs::path canonical = stdfs::weakly_canonical(path, error);
  if (error) canonical = stdfs::path(path).lexically_normal();
  if (!canonical.has_filename() && canonical.has_parent_path() && canonical != canonical.root_path()) {
    canonical = canonical.parent_path();
  }
  return canonical;
}

bool Refuse(const std::string& text) {
  platform::Notify(platform::Notification{text, "", platform::NotifyIcon::Error, platform::NotifyButtons::Ok});
  return false;
}

bool AskYes(const std::string& text) {
  return platform::Notify(platform::Notification{text, "", platform::NotifyIcon::Question,
                                                 platform::NotifyButtons::YesNo}) == platform::NotifyAnswer::Yes;
}

// `text` with the system's reason why no file can be made in `folder` (or in the
// nearest folder above it that exists), found by making and removing a trial file;
// `text` alone when a file can be made there (the failure lay elsewhere).
std::string WithWriteFailureReason(const std::string& text, const std::string& folder) {
  stdfs::path existing = stdfs::path(folder).lexically_normal();
  std::error_code error;
  while (!stdfs::exists(existing, error) && existing.has_relative_path()) existing = existing.parent_path();
  std::string trial = (existing / ".wexmoor-trial-XXXXXX").string();
  const int fd = ::mkstemp(trial.data());
  if (fd < 0) return text + ": " + std::strerror(errno);
  ::close(fd);
  ::unlink(trial.c_str());
  return text;
}

std::string WithSeparator(const std::string& folder) {
  return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

// Copies over an existing destination even when it is read-only (an interrupted
// run's copy): the bytes go to a temporary name beside it, which is renamed over it.
bool CopyReplacing(const std::string& source, const std::string& destination) {
  const std::string temporary = destination + ".moving";
  if (!platform::fs::DeleteFile(temporary) ||
      !platform::fs::CopyFile(source, temporary, platform::fs::CopyMode::FailIfExists)) {
    return false;
  }
  if (std::rename(temporary.c_str(), destination.c_str()) == 0) return true;
  platform::fs::DeleteFile(temporary);
  return false;
}

// Holds a project's named lock exclusively for one scope, waiting until granted.
class ExclusiveProjectLock {
 public:
  ExclusiveProjectLock(LockTable& table, std::string name) : table_(table), name_(std::move(name)) {
    while (!table_.Lock(name_, LockTable::kExclusive)) std::this_thread::sleep_for(kLockRetry);
  }
  ~ExclusiveProjectLock() { table_.Unlock(name_); }
  ExclusiveProjectLock(const ExclusiveProjectLock&) = delete;
  ExclusiveProjectLock& operator=(const ExclusiveProjectLock&) = delete;

 private:
  LockTable& table_;
  std::string name_;
};

}  // namespace

LibraryRootMove::LibraryRootMove(CWexmoorDoc& document, Environment environment)
    : document_(document), environment_(std::move(environment)) {}

bool LibraryRootMove::IsSameOrBelow(const std::string& path, const std::string& folder) {
  const stdfs::path inner = Canonical(path);
  const stdfs::path outer = Canonical(folder);
  auto innerPart = inner.begin();
  for (auto outerPart = outer.begin(); outerPart != outer.end(); ++outerPart, ++innerPart) {
    if (innerPart == inner.end() || *innerPart != *outerPart) return false;
  }
  return true;
}

bool LibraryRootMove::CheckRootMove(const std::string& oldRoot, const std::string& newRoot) {
  if (Canonical(oldRoot) == Canonical(newRoot)) return Refuse("The library root path cannot be moved to itself");
  if (IsSameOrBelow(newRoot, oldRoot)) {
    return Refuse("You cannot move the library root to a sub-folder of the current library root");
  }
  const int contents = ScanFolderContents(newRoot);
  if ((contents & kHoldsFiles) != 0) {
    return Refuse("The new root folder must be empty of files before you can proceed with a move of the library root");
  }
  if ((contents & kHoldsFolders) != 0 &&
      !AskYes("The new root folder you have specified contains sub-folders.  Do you want to proceed anyway?")) {
    return false;
  }
  const std::vector<std::string> names = environment_.loggedOnNames ? environment_.loggedOnNames()
                                                                    : std::vector<std::string>{};
  if (!names.empty()) {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    if (!AskYes("Warning!  The following users are still logged on to the Library.  Do you wish to proceed "
                "anyway?\n" +
                joined)) {
      return false;
    }
  }
  std::uint64_t needed = SumFolderBytes(oldRoot);
  needed += needed / 20;
  const std::uint64_t available = environment_.freeBytes ? environment_.freeBytes(newRoot) : 0;
  if (needed > available) {
    return Refuse("There is not enough storage space to move the library root\n( Bytes needed: " +
                  std::to_string(needed) + "   Bytes available: " + std::to_string(available) + " )");
  }
  return true;
}

bool LibraryRootMove::BeginMove(const std::string& newRoot) {
  if (document_.BeginRootMove(newRoot)) return true;
  return Fail(WithWriteFailureReason("Failed to write the library files into " + newRoot, newRoot));
}

bool LibraryRootMove::MoveAllProjects() {
  oldRoot_ = document_.GetPendingOldRoot();
  newRoot_ = document_.GetRootPath();
  if (oldRoot_.empty()) return true;
  std::vector<std::string> topLevel;
  {
    std::shared_lock<std::shared_mutex> latch(document_.GetProjectTreeLatch());
    const CWexmoorDoc::ProjectArray& projects = document_.GetProjects();
    for (int i = 0; i < projects.GetSize(); ++i) topLevel.push_back(projects.GetAt(i)->GetInternalName());
  }
  for (const std::string& project : topLevel) {
    if (!MoveProject(project)) return false;
  }
  return true;
}

bool LibraryRootMove::MoveProject(const std::string& internalName) {
  if (oldRoot_.empty()) {
    oldRoot_ = document_.GetPendingOldRoot();
    newRoot_ = document_.GetRootPath();
  }
  const ProjectFolder project = ReadProject(internalName);
  if (!project.found) return true;  // deleted meanwhile: nothing left to move
  if (NeedsMoving(project.folder) && !MoveOneProject(internalName, project.folder)) return false;
  for (const std::string& subProject : project.subProjects) {
    if (!MoveProject(subProject)) return false;
  }
  return true;
}

LibraryRootMove::ProjectFolder LibraryRootMove::ReadProject(const std::string& internalName) {
  ProjectFolder result;
  std::shared_lock<std::shared_mutex> latch(document_.GetProjectTreeLatch());
  const ServerProject* project = document_.FindProjectByInternalName(internalName);
  if (project == nullptr) return result;
  result.found = true;
  result.folder = project->GetFolderPath();
  while (result.folder.size() > 1 && result.folder.back() == '/') result.folder.pop_back();
  for (int i = 0; i < project->GetSubProjectCount(); ++i) {
    result.subProjects.push_back(project->GetSubProjects().GetAt(i)->GetInternalName());
  }
  return result;
}

bool LibraryRootMove::NeedsMoving(const std::string& folder) const {
  if (IsSameOrBelow(oldRoot_, newRoot_)) return IsSameOrBelow(folder, oldRoot_);
  return !IsSameOrBelow(folder, newRoot_);
}

bool LibraryRootMove::MoveOneProject(const std::string& internalName, const std::string& oldFolder) {
  ExclusiveProjectLock lock(document_.GetLocks(), internalName);
  std::string problem;
  {
    // A backup's last pass holds this section: no file of the library changes under it.
    platform::CriticalSection::Lock inventory(document_.GetInventorySection());
    problem = MoveHeldProject(internalName, oldFolder);
  }
  return problem.empty() || Fail(problem);
}

std::string LibraryRootMove::MoveHeldProject(const std::string& internalName, const std::string& oldFolder) {
  // The folder is read again under the lock: a writer that held it may have moved on.
  const ProjectFolder current = ReadProject(internalName);
  if (!current.found || current.folder != oldFolder) return "";
  if (!IsSameOrBelow(oldFolder, oldRoot_)) {
    return "MoveProject(): " + oldFolder + " lies under neither the old nor the new root";
  }
  const stdfs::path relative = Canonical(oldFolder).lexically_relative(Canonical(oldRoot_));
  std::string newFolder = (stdfs::path(newRoot_) / relative).lexically_normal().string();
  while (newFolder.size() > 1 && newFolder.back() == '/') newFolder.pop_back();
  // The files lie where each root's layout puts them.
  const std::string oldDiskFolder = ProjectFolderOnDisk(oldFolder, oldRoot_);
  const std::string newDiskFolder = ProjectFolderOnDisk(newFolder, newRoot_);
  if (!CreateFolders(newDiskFolder)) {
    return WithWriteFailureReason("MoveProject(): Failed to create path " + newDiskFolder, newDiskFolder);
  }
  if (std::string problem = CopyProjectFiles(internalName, WithSeparator(oldDiskFolder), WithSeparator(newDiskFolder));
      !problem.empty()) {
    return problem;
  }
  if (!document_.SwitchProjectFolder(internalName, newFolder)) {
    return "MoveProject(): Failed to save inventory for project " + internalName;
  }
  return "";
}

std::string LibraryRootMove::CopyProjectFiles(const std::string& internalName, const std::string& oldFolder,
                                              const std::string& newFolder) {
  ProjectFileList list;
  const std::string oldListPath = ProjectFileListPath(oldFolder, internalName);
  // A list that is there but cannot be read fails the project: saving what was read
  // of it would lose documents.
  if (!list.Load(oldListPath)) return "MoveProject(): Failed to read " + oldListPath;
  const std::string newListPath = ProjectFileListPath(newFolder, internalName);
  if (!list.Save(newListPath)) return "MoveProject(): pfl.Save(" + newListPath + ") failed";

  StringList documents;
  list.GetValues(documents);
  for (int d = 0; d < documents.GetSize(); ++d) {
    const std::string document = documents.GetAt(d);
    FileStatistics statistics;
    int lines = 0;
    const std::string oldStatistics = StatisticsPath(oldFolder, document);
    if (statistics.Load(oldStatistics, lines) != 0) {
      return "MoveProject(): FileStatistics.Load(" + oldStatistics + ") failed";
    }
    const std::string newStatistics = StatisticsPath(newFolder, document);
    if (statistics.Save(newStatistics) != 0) return "MoveProject(): Failed to save " + newStatistics;
    for (int v = 0; v < statistics.GetVersionCount(); ++v) {
      const FileEntry& version = statistics.GetVersion(v);
      // A reference version has no file of its own: it points at its original's.
      if (!version.GetInternalProjectName().empty()) continue;
      const std::string source = oldFolder + version.GetVersionFileName();
      const std::string destination = newFolder + version.GetVersionFileName();
      if (!CopyReplacing(source, destination)) {
        return WithWriteFailureReason("MoveProject(): Failed to Copy from " + source + " to " + destination,
                                      newFolder);
      }
    }
  }
  return "";
}

bool LibraryRootMove::Fail(const std::string& text) {
  platform::NotifyText(text, platform::NotifyIcon::Error);
  return false;
}

int LibraryRootMove::ScanFolderContents(const std::string& folder) {
  std::vector<platform::fs::FolderEntry> entries;
  if (!platform::fs::IsFolder(folder) || !platform::fs::ListFolder(folder, entries)) return 0;
  int flags = 0;
  for (const platform::fs::FolderEntry& entry : entries) {
    flags |= entry.isFolder && !entry.isLink ? kHoldsFolders : kHoldsFiles;
  }
  return flags;
}

std::uint64_t LibraryRootMove::SumFolderBytes(const std::string& folder) {
  std::vector<platform::fs::FolderEntry> entries;
  if (!platform::fs::IsFolder(folder) || !platform::fs::ListFolder(folder, entries)) return 0;
  std::uint64_t total = 0;
  for (const platform::fs::FolderEntry& entry : entries) {
    if (entry.isLink) continue;
    total += entry.isFolder ? SumFolderBytes(WithSeparator(folder) + entry.name)
                            : static_cast<std::uint64_t>(entry.size);
  }
  return total;
}

std::uint64_t LibraryRootMove::GetFreeBytes(const std::string& folder) {
  // A root that does not exist yet will be made on the disk of its nearest existing parent.
  std::string existing = folder;
  while (!existing.empty() && !platform::fs::IsFolder(existing)) {
    const std::string parent = platform::fs::ParentFolder(existing);
    if (parent == existing) break;
    existing = parent;
  }
  std::uint64_t bytes = 0;
  return platform::fs::FreeBytes(existing, bytes) ? bytes : 0;
}
