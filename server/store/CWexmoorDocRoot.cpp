// Moving the library root: the library-level files go first, the switch of the root
// last, so a failure or a crash in between never leaves the root-path file naming a
// root without its inventory.
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "common/FileHelpers.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"

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
  if (!existed && !CreateFolderPath(folder)) return false;
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
  return fail();
}

bool CWexmoorDoc::EndRootMove() {
  SetPendingOldRoot("");
  return SaveRootPath();
}

bool CWexmoorDoc::SwitchProjectFolder(const std::string& internalName, const std::string& newFolder) {
  platform::CriticalSection::Lock inventory(inventorySection_);
  std::unique_lock<std::shared_mutex> latch(treeLatch_);
  ServerProject* project = FindProjectByInternalName(internalName);
  if (project == nullptr) return false;
  const std::string oldFolder = project->GetFolderPath();
  project->SetFolderPath(newFolder);
  // The files at the new folder were written outside the store.
  records_.DropBelow(oldFolder);
  records_.DropBelow(newFolder);
  if (WriteInventoryLatched()) return true;
  project->SetFolderPath(oldFolder);
  return false;
}
