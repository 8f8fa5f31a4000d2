// Moving the library root: the library-level files go first, the switch of the root
// last, so a failure or a crash in between never leaves the root-path file naming a
// root without its inventory.
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <vector>

#include "common/StringHelpers.h"
#include "platform/Notifier.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFolders.h"

namespace {


// What BeginRootMove put into the new root, to be taken out again on failure.
class WrittenInNewRoot {
 public:
  void AddFile(std::string path) { files_.push_back(std::move(path)); }
  void AddFolder(std::string path) { folders_.push_back(std::move(path)); }
  void Remove() const {
    for (const std::string& file : files_) platform::fs::DeleteFile(file);
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) platform::fs::RemoveFolder(*folder);
  }

 private:
  std::vector<std::string> files_;
  std::vector<std::string> folders_;
};

// Creates `folder` (with its parents); remembers it when it did not exist before.
bool MakeFolder(const std::string& folder, WrittenInNewRoot& written) {
  const bool existed = platform::fs::IsFolder(folder);
  if (!existed && !CreateFolders(folder)) return false;
  if (!existed) written.AddFolder(folder);
  return true;
}

}  // namespace

bool CWexmoorDoc::BeginRootMove(const std::string& newRoot) {
  platform::CriticalSection::Lock inventory(inventorySection_);
  platform::CriticalSection::Lock users(userTableSection_);
  if (!nameCounter_ || newRoot.empty()) return false;
  const std::string base = EnsureTrailingBackslash(newRoot);
  const std::string counterPath = base + InternalNameCounter::kFileName;
  const std::string inventoryPath = base + kInventoryFileName;
  WrittenInNewRoot written;
  const auto fail = [&written] {
    written.Remove();
    return false;
  };

  if (!MakeFolder(newRoot, written)) return fail();
  written.AddFile(counterPath);
  if (!nameCounter_->SaveAs(counterPath)) return fail();
  written.AddFile(base + ServerSettings::kUsersFileName);
  if (!settings_.SaveUsers(newRoot)) return fail();
  written.AddFile(LibraryGroups::FilePath(newRoot));
  if (!groups_.MoveRoot(newRoot)) return fail();
  written.AddFile(inventoryPath);
  {
    std::shared_lock<std::shared_mutex> latch(treeLatch_);
    if (!ServerProject::WriteInventoryFile(inventoryPath, projects_)) return fail();
  }
  if (!MakeFolder(base + kTemporaryFolderName, written)) return fail();

  const std::string oldRoot = GetRootPath();
  const std::string oldPending = GetPendingOldRoot();
  const std::string oldCounterPath = nameCounter_->GetFilePath();
  {
    std::lock_guard<std::mutex> hold(rootMutex_);
    pendingOldRoot_ = oldRoot;
    rootPath_ = newRoot;
  }
  settings_.SetRootPath(newRoot);
  nameCounter_->SetFilePath(counterPath);
  if (SaveRootPath()) return true;

  {
    std::lock_guard<std::mutex> hold(rootMutex_);
    pendingOldRoot_ = oldPending;
    rootPath_ = oldRoot;
  }
  settings_.SetRootPath(oldRoot);
  nameCounter_->SetFilePath(oldCounterPath);
  // A change saved into the new root only is taken back with it.
  groups_.MoveRoot(oldRoot);
  return fail();
}

bool CWexmoorDoc::EndRootMove() {
  platform::CriticalSection::Lock inventory(inventorySection_);
  SetPendingOldRoot("");
  return SaveRootPath();
}

bool CWexmoorDoc::SwitchProjectFolder(const std::string& internalName, const std::string& newFolder) {
  platform::CriticalSection::Lock inventory(inventorySection_);
  std::unique_lock<std::shared_mutex> latch(treeLatch_);
  ServerProject* project = FindProjectByInternalName(internalName);
  if (project == nullptr) return false;
  const std::string oldFolder = project->GetFolderPath();
  const std::string oldDiskFolder = DiskFolder(oldFolder);
  project->SetFolderPath(newFolder);
  // The files at the new folder were written outside the store.
  records_.DropBelow(oldDiskFolder);
  records_.DropBelow(DiskFolder(newFolder));
  if (WriteInventoryLatched()) return true;
  project->SetFolderPath(oldFolder);
  return false;
}

bool CWexmoorDoc::RebaseCopiedProjects() {
  const std::string root = GetRootPath();
  std::set<std::string> oldRoots;
  std::string problem;
  std::unique_lock<std::shared_mutex> latch(treeLatch_);
  for (int i = 0; i < projects_.GetSize() && problem.empty(); ++i) {
    ServerProject& project = *projects_.GetAt(i);
    const std::string oldRoot = CopiedFromRoot(project);
    if (!oldRoot.empty() && RebaseSubtree(project, oldRoot, {}, problem)) oldRoots.insert(oldRoot);
  }
  if (problem.empty() && !oldRoots.empty() && !WriteInventoryLatched()) {
    problem = "the inventory " + LibraryFilePath(kInventoryFileName) + " could not be saved";
  }
  if (!problem.empty()) {
    platform::NotifyText("The library's projects could not be taken into the root " + root + ": " + problem +
                             ". Wexmoor stops; the library's files outside the root were not touched.",
                         platform::NotifyIcon::Error);
    return false;
  }
  if (oldRoots.empty()) return true;
  std::string from;
  for (const std::string& oldRoot : oldRoots) from += (from.empty() ? "" : ", ") + oldRoot;
  platform::NotifyText("Projects recorded under " + from + " now use their copies under the library root " + root +
                           ".",
                       platform::NotifyIcon::Information);
  return true;
}

std::string CWexmoorDoc::CopiedFromRoot(const ServerProject& topLevel) const {
  const std::string root = GetRootPath();
  const std::string pending = GetPendingOldRoot();
  const std::string folder = StripTrailingBackslash(topLevel.GetFolderPath());
  const std::string oldRoot = platform::fs::ParentFolder(folder);
  if (IsFolderOrBelow(folder, root) || (!pending.empty() && IsFolderOrBelow(folder, pending)) ||
      folder != EnsureTrailingBackslash(oldRoot) + topLevel.GetInternalName()) {
    return "";
  }
  // A folder this root does not hold stays where it was recorded. It may have been
  // put in this root's layout already by a start that stopped before saving.
  const bool held = platform::fs::IsFolder(RebasedFolder(ProjectFolderOnDisk(folder, oldRoot), oldRoot, root)) ||
                    platform::fs::IsFolder(ProjectFolderOnDisk(RebasedFolder(folder, oldRoot, root), root));
  return held ? oldRoot : "";
}

bool CWexmoorDoc::RebaseSubtree(ServerProject& project, const std::string& oldRoot,
                                std::vector<RebasedLayout> ancestors, std::string& problem) {
  const std::string recorded = project.GetFolderPath();
  const std::string rebased = RebasedFolder(recorded, oldRoot, GetRootPath());
  if (!rebased.empty()) {
    const std::string oldLayout = ProjectFolderOnDisk(recorded, oldRoot);
    // The copy keeps the old layout, but a folder inside an ancestor's has moved with it.
    std::string current = RebasedFolder(oldLayout, oldRoot, GetRootPath());
    for (auto ancestor = ancestors.rbegin(); ancestor != ancestors.rend(); ++ancestor) {
      if (IsFolderOrBelow(oldLayout, ancestor->oldLayout)) {
        current = ancestor->disk + oldLayout.substr(ancestor->oldLayout.size());
        break;
      }
    }
    const std::string target = ProjectFolderOnDisk(rebased, GetRootPath());
    if (current != target && platform::fs::IsFolder(current) && !platform::fs::IsFolder(target) &&
        !(CreateFolders(platform::fs::ParentFolder(target)) && platform::fs::MoveNoReplace(current, target))) {
      problem = current + " could not be moved to " + target;
      return false;
    }
    project.SetFolderPath(rebased);
    ancestors.push_back(RebasedLayout{oldLayout, target});
  }
  for (int i = 0; i < project.GetSubProjectCount(); ++i) {
    if (!RebaseSubtree(*project.GetSubProjects().GetAt(i), oldRoot, ancestors, problem)) return false;
  }
  return true;
}
