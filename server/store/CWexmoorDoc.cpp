#include "server/store/CWexmoorDoc.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>

#include "common/RecordFields.h"
#include "common/ServerPathContext.h"
#include "common/StringHelpers.h"
#include "platform/AtomicFile.h"
#include "platform/Notifier.h"
#include "platform/Process.h"
#include "platform/fs.h"
#include "server/store/BackupLeftover.h"
#include "server/store/HiddenProject.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ProjectFolders.h"

namespace {

constexpr std::size_t kRootPathFileLimit = 4096;

// The version number in the header (FileStatistics hides FileEntry::GetVersion()).
int HeaderVersion(const FileStatistics& statistics) { return static_cast<const FileEntry&>(statistics).GetVersion(); }

}  // namespace

std::atomic<CWexmoorDoc*> CWexmoorDoc::current_{nullptr};

CWexmoorDoc* CWexmoorDoc::GetDocument() { return current_.load(); }
void CWexmoorDoc::SetDocument(CWexmoorDoc* document) { current_.store(document); }

CWexmoorDoc::CWexmoorDoc(const Setup& setup)
    : settings_(setup.usersFileKey),
      workingFolder_(setup.workingFolder.empty() ? platform::WorkingFolder() : setup.workingFolder),
      lockFolder_(setup.lockFolder),
      administration_(setup.administration) {
  records_.SetWriteListener(&checkedOut_);
}

CWexmoorDoc::~CWexmoorDoc() {
  stopCheckedOutWalk_ = true;
  if (checkedOutWalk_.joinable()) checkedOutWalk_.join();
  if (pathHooksInstalled_) ServerPathContext::Uninstall();
  if (!noSaveOnExit_) {
    settings_.SaveUsers(GetRootPath());
    SaveRootPath();
  }
  projectMap_.clear();
  for (int i = 0; i < projects_.GetSize(); ++i) delete projects_.GetAt(i);
  projects_.RemoveAll();
  CWexmoorDoc* self = this;
  current_.compare_exchange_strong(self, nullptr);
}

// --- start-up -------------------------------------------------------------------

bool CWexmoorDoc::OnNewDocument() {
  if (started_) return false;
  bool rootWasEmpty = false;
  bool usersFileLoaded = false;
  if (!OpenRoot(rootWasEmpty, usersFileLoaded)) return false;
  const std::string root = GetRootPath();

  // Both guards are held: from here on files may be written.
  if (rootWasEmpty) {
    SaveRootPath();
    notes_.Add("No library root was recorded or given with --root: the working folder \"" + root +
               "\" became the library root.");
  }
  if (!usersFileLoaded && !LoadUsersFile(root)) return false;
  settings_.SetRootPath(root);
  CheckLibraryWritable();
  RecoverJournal();
  if (!LoadInventory() || !RebaseCopiedProjects() || !LoadInternalNameCounters(projects_.GetSize() == 0)) {
    return FailStart("its records could not be loaded (the reason is above)");
  }
  if (!OpenGroupsFile(root)) return false;
  CreateFolders(EnsureTrailingBackslash(root) + kTemporaryFolderName);
  CreateFolders(JournalFolder());
  SweepLeftovers();

  ServerPathContext::Install(ServerPathHooks{[this] { return GetRootPath(); },
                                             [this] { return tempFileCounter_.Next(); }});
  pathHooksInstalled_ = true;
  started_ = true;
  noSaveOnExit_ = false;
  return true;
}

bool CWexmoorDoc::OpenUsers() {
  if (started_ || !noSaveOnExit_) return false;
  bool rootWasEmpty = false;
  bool usersFileLoaded = false;
  if (!OpenRoot(rootWasEmpty, usersFileLoaded)) return false;
  const std::string root = GetRootPath();
  if (rootWasEmpty) SaveRootPath();
  if (!usersFileLoaded && !LoadUsersFile(root)) return false;
  settings_.SetRootPath(root);
  noSaveOnExit_ = false;
  return true;
}

bool CWexmoorDoc::OpenRoot(bool& rootWasEmpty, bool& usersFileLoaded) {
  startProblem_.clear();
  if (!ReadRootPathFile()) {
    return FailStart("the file " + EnsureTrailingBackslash(workingFolder_) + kRootPathFileName + " cannot be read");
  }
  if (BackupLeftover::IsIn(workingFolder_) && !RemoveBackupLeftover()) return false;
  rootWasEmpty = GetRootPath().empty();
  if (rootWasEmpty) {
    if (workingFolder_.empty()) {
      platform::NotifyText("_getcwd() error", platform::NotifyIcon::None);
      return FailStart("the current folder is unknown");
    }
    SetRootPath(workingFolder_);
  }
  return TakeInstanceGuards(GetRootPath(), usersFileLoaded);
}

bool CWexmoorDoc::LoadUsersFile(const std::string& rootPath) {
  if (settings_.EnsureUsersFile(rootPath) && settings_.LoadUsers(rootPath, NoteLine())) return true;
  const std::string path = EnsureTrailingBackslash(rootPath) + ServerSettings::kUsersFileName;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FailStart(ServerNotes::WithReason("the users file " + path + " cannot be read", errno));
  ::close(fd);
  return FailStart("the users file " + path + " is damaged");
}

bool CWexmoorDoc::OpenGroupsFile(const std::string& rootPath) {
  std::vector<int> accounts;
  for (int index = 0; index < settings_.GetUserCount(); ++index) accounts.push_back(settings_.GetUser(index)->GetId());
  std::string problem;
  return groups_.Open(rootPath, accounts, problem) || FailStart(problem);
}

bool CWexmoorDoc::FailStart(const std::string& problem) {
  startProblem_ = problem;
  return false;
}

void CWexmoorDoc::CheckLibraryWritable() {
  const std::string root = GetRootPath();
  std::string probe;
  const int fd = platform::fs::CreateTemporaryBeside(LibraryFilePath(kInventoryFileName), "probe", 0600, probe);
  if (fd >= 0) {
    ::close(fd);
    platform::fs::DeleteFile(probe);
    return;
  }
  libraryWritable_ = false;
  notes_.Add(ServerNotes::WithReason("The library folder \"" + root + "\" cannot be written", errno));
  notes_.Add("Every change to the library will be refused until the server is restarted with write access to it.");
}

bool CWexmoorDoc::TakeInstanceGuards(const std::string& rootPath, bool& usersFileLoaded) {
  rootGuard_ = std::make_unique<platform::InstanceGuard>(RootGuardName(rootPath), kGuardTimeoutMs, lockFolder_);
  if (!rootGuard_->Held()) {
    return RefuseSecondInstance(*rootGuard_, "a running server holds it (stop the server first)");
  }

  // The port comes from an existing users file, read without writing anything.
  int port = kDefaultPort;
  if (platform::fs::Exists(EnsureTrailingBackslash(rootPath) + ServerSettings::kUsersFileName)) {
    if (!LoadUsersFile(rootPath)) {
      rootGuard_.reset();
      return false;
    }
    usersFileLoaded = true;
    port = settings_.GetPort();
  }
  if (administration_) return true;
  portGuard_ = std::make_unique<platform::InstanceGuard>("WX" + std::to_string(port), kGuardTimeoutMs, lockFolder_);
  if (!portGuard_->Held()) {
    return RefuseSecondInstance(*portGuard_, "another server listens on the same port " + std::to_string(port));
  }
  return true;
}

bool CWexmoorDoc::RefuseSecondInstance(const platform::InstanceGuard& refused, const std::string& heldText) {
  const std::string problem = refused.Problem();
  const std::string text =
      problem.empty() ? kAlreadyRunningText
                      : "Wexmoor cannot take its instance lock: " + problem + ".  Application aborting!";
  platform::Notify(platform::Notification{text, "", platform::NotifyIcon::Error, platform::NotifyButtons::Ok});
  startProblem_ = problem.empty() ? heldText : problem;
  portGuard_.reset();
  rootGuard_.reset();
  noSaveOnExit_ = true;
  return false;
}

std::string CWexmoorDoc::RootGuardName(const std::string& rootPath) {
  std::string name = "WX" + rootPath;
  std::replace_if(
      name.begin(), name.end(), [](char c) { return c == ':' || c == '/' || c == '\\' || c == '.'; }, '_');
  return name;
}

// --- the root-path file ---------------------------------------------------------

bool CWexmoorDoc::RemoveBackupLeftover() {
  std::string problem;
  std::string refusal;
  if (!BackupLeftover::Remove(workingFolder_, problem)) {
    refusal = "A backup cut short left its files in " + workingFolder_ + ": " + problem +
              ". Remove them before starting Wexmoor here.";
  } else if (GetRootPath().empty()) {
    refusal = "The folder " + workingFolder_ +
              " held only a backup that was cut short, which was removed: it holds no library, and none is made "
              "here. Run the backup again, or start with --root.";
  }
  if (!refusal.empty()) {
    platform::NotifyText(refusal, platform::NotifyIcon::Error);
    return FailStart(refusal);
  }
  notes_.Add("A backup cut short had left its files in \"" + workingFolder_ + "\"; they were removed.");
  return true;
}

bool CWexmoorDoc::ReadRootPathFile() {
  const std::string path = EnsureTrailingBackslash(workingFolder_) + kRootPathFileName;
  std::string root;
  std::string pendingOldRoot;
  bool onlyLatest = IsOnlyLatestCheckOut();
  if (platform::fs::Exists(path)) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string text(kRootPathFileLimit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    text.resize(std::min(text.size(), text.find('\0')));
    std::string rest = ReadStringField(pendingOldRoot, ReadStringField(root, text));
    if (!rest.empty()) ReadBoolField(onlyLatest, rest);
  }
  std::lock_guard<std::mutex> hold(rootMutex_);
  rootPath_ = root;
  pendingOldRoot_ = pendingOldRoot;
  onlyLatestCheckOut_ = onlyLatest;
  return true;
}

bool CWexmoorDoc::SaveRootPath() {
  std::string line;
  {
    std::lock_guard<std::mutex> hold(rootMutex_);
    line = AppendBoolField(onlyLatestCheckOut_, AppendStringField(pendingOldRoot_, AppendStringField(rootPath_, "")));
  }
  return platform::AtomicFile::Write(EnsureTrailingBackslash(workingFolder_) + kRootPathFileName, line);
}

std::string CWexmoorDoc::GetRootPath() const {
  std::lock_guard<std::mutex> hold(rootMutex_);
  return rootPath_;
}

void CWexmoorDoc::SetRootPath(const std::string& rootPath) {
  std::lock_guard<std::mutex> hold(rootMutex_);
  rootPath_ = rootPath;
}

std::string CWexmoorDoc::GetPendingOldRoot() const {
  std::lock_guard<std::mutex> hold(rootMutex_);
  return pendingOldRoot_;
}

void CWexmoorDoc::SetPendingOldRoot(const std::string& oldRoot) {
  std::lock_guard<std::mutex> hold(rootMutex_);
  pendingOldRoot_ = oldRoot;
}

bool CWexmoorDoc::IsOnlyLatestCheckOut() const {
  std::lock_guard<std::mutex> hold(rootMutex_);
  return onlyLatestCheckOut_;
}

void CWexmoorDoc::SetOnlyLatestCheckOut(bool onlyLatest) {
  std::lock_guard<std::mutex> hold(rootMutex_);
  onlyLatestCheckOut_ = onlyLatest;
}

std::string CWexmoorDoc::LibraryFilePath(const std::string& name) const {
  return EnsureTrailingBackslash(GetRootPath()) + name;
}

// --- inventory and internal names -----------------------------------------------

bool CWexmoorDoc::LoadInventory() {
  std::unique_lock<std::shared_mutex> latch(treeLatch_);
  const std::string path = LibraryFilePath(kInventoryFileName);
  std::string fault;
  const bool existed = platform::fs::Exists(path);
  if (!ServerProject::ReadInventoryFile(path, projects_, fault)) {
    // Serving a partial tree would let the next change save it over the whole one.
    const std::string remedy =
        !existed && !libraryWritable_
            ? ".\nThe library folder cannot be written: give the server's user write access to \"" + GetRootPath() +
                  "\" or choose another library root, then start again."
            : ". Wexmoor stops without changing it; repair or restore the file, then start again.";
    platform::NotifyText("The library's inventory " + path + " cannot be read: " + fault + remedy,
                         platform::NotifyIcon::Error);
    return false;
  }
  int nodeCount = 0;
  for (int i = 0; i < projects_.GetSize(); ++i) nodeCount += CountProjectNodes(*projects_.GetAt(i));
  projectMap_.clear();
  projectMap_.rehash(static_cast<std::size_t>(GetHashTableSize(nodeCount)));
  for (int i = 0; i < projects_.GetSize(); ++i) MapProjectNodes(*projects_.GetAt(i));
  return true;
}

int CWexmoorDoc::CountProjectNodes(const ServerProject& project) {
  int count = 1;
  for (int i = 0; i < project.GetSubProjectCount(); ++i) count += CountProjectNodes(*project.GetSubProjects().GetAt(i));
  return count;
}

void CWexmoorDoc::MapProjectNodes(ServerProject& project) {
  projectMap_[project.GetInternalName()] = &project;
  for (int i = 0; i < project.GetSubProjectCount(); ++i) MapProjectNodes(*project.GetSubProjects().GetAt(i));
}

int CWexmoorDoc::GetHashTableSize(int nodeCount) {
  constexpr int kLimit = 1000000;
  const int m = std::max(nodeCount, 50000);
  std::vector<int> primes{2, 3};
  const auto isPrime = [&primes](int candidate) {
    for (const int p : primes) {
      if (p * p > candidate) return true;
      if (candidate % p == 0) return false;
    }
    return true;
  };
  for (int k = 1; 6 * k < kLimit; ++k) {
    for (const int candidate : {6 * k - 1, 6 * k + 1}) {
      if (!isPrime(candidate)) continue;
      if (candidate > m) return candidate;
      primes.push_back(candidate);
    }
  }
  const long long grown = static_cast<long long>(m) + m / 5;
  return static_cast<int>(std::min<long long>(grown, INT_MAX));
}

bool CWexmoorDoc::SaveInventory() {
  std::shared_lock<std::shared_mutex> latch(treeLatch_);
  return ServerProject::WriteInventoryFile(LibraryFilePath(kInventoryFileName), projects_);
}

bool CWexmoorDoc::LoadInternalNameCounters(bool newLibrary) {
  platform::CriticalSection::Lock hold(inventorySection_);
  nameCounter_ = std::make_unique<InternalNameCounter>(LibraryFilePath(InternalNameCounter::kFileName));
  return nameCounter_->Load(newLibrary);
}

std::string CWexmoorDoc::GenerateInternalName() {
  platform::CriticalSection::Lock hold(inventorySection_);
  return nameCounter_ ? nameCounter_->Generate() : "";
}

std::vector<std::string> CWexmoorDoc::GenerateInternalNames(int count) {
  platform::CriticalSection::Lock hold(inventorySection_);
  return nameCounter_ ? nameCounter_->Generate(count) : std::vector<std::string>();
}

bool CWexmoorDoc::AddUser(UserAccount& account) {
  platform::CriticalSection::Lock hold(userTableSection_);
  if (!settings_.AddUserChecked(account)) return false;
  // Not saved, the next start places the account in the default group all the same.
  if (!groups_.AdmitAccount(account.GetId())) {
    notes_.Add("The groups file could not be saved: " + account.GetName() + " joins the default group at the next start.");
  }
  return true;
}

// --- look-ups -------------------------------------------------------------------

ServerProject* CWexmoorDoc::FindProjectByInternalName(const std::string& internalName) {
  if (HiddenProject::Hides(internalName)) return nullptr;
  auto found = projectMap_.find(internalName);
  return found == projectMap_.end() ? nullptr : found->second;
}

std::string CWexmoorDoc::GetProjectFolderPath(const std::string& internalName) {
  // Internal names are unique: the map finds what a walk of the whole tree would.
  std::shared_lock<std::shared_mutex> latch(treeLatch_);
  const ServerProject* project = FindProjectByInternalName(internalName);
  return project ? DiskFolder(project->GetFolderPath()) : "";
}

std::string CWexmoorDoc::DiskFolder(const std::string& recordedFolder) const {
  std::string layoutRoot = GetRootPath();
  const std::string pending = GetPendingOldRoot();
  // Of two roots that hold the folder, the deeper one made its layout.
  if (!pending.empty() && IsFolderOrBelow(recordedFolder, pending) &&
      !(IsFolderOrBelow(recordedFolder, layoutRoot) && layoutRoot.size() > pending.size())) {
    layoutRoot = pending;
  }
  return ProjectFolderOnDisk(recordedFolder, layoutRoot);
}

std::string CWexmoorDoc::GetProjectDisplayPath(const std::string& folderPath) {
  static const std::string kMarker = "WXFiName_Hi";
  std::string display = settings_.GetLibraryName();
  std::shared_lock<std::shared_mutex> latch(treeLatch_);
  for (std::size_t at = folderPath.find(kMarker); at != std::string::npos; at = folderPath.find(kMarker, at)) {
    const std::size_t end = std::min(folderPath.find('/', at), folderPath.size());
    if (const ServerProject* project = FindProjectByInternalName(folderPath.substr(at, end - at))) {
      display += "->" + project->GetName();
    }
    at = end;
  }
  return display;
}

std::string CWexmoorDoc::FolderOfProject(const std::string& internalName) {
  std::shared_lock<std::shared_mutex> latch(treeLatch_);
  const ServerProject* project = FindProjectByInternalName(internalName);
  return project ? EnsureTrailingBackslash(DiskFolder(project->GetFolderPath())) : "";
}

// --- reference walks ------------------------------------------------------------

std::string CWexmoorDoc::GetVersionFilePath(const FileStatistics& statistics) {
  FileEntry walk = statistics;
  std::string folder = FolderOfProject(statistics.GetOwnerProject());
  std::set<std::string> visited;
  for (int depth = 0; !folder.empty() && depth <= kMaxReferenceDepth; ++depth) {
    if (walk.GetInternalProjectName().empty()) return folder + walk.GetVersionFileName();
    const int linkVersion = walk.GetLinkVersion();
    const std::string project = walk.GetInternalProjectName();
    if (!visited.insert(project + "/" + walk.GetName() + "/" + std::to_string(linkVersion)).second) return "";
    folder = FolderOfProject(project);
    const RecordCache::StatisticsRecord original =
        folder.empty() ? nullptr : DocumentStatistics(folder, project, walk.GetName());
    if (!original) return "";
    int found = -1;
    for (int i = 0; i < original->GetVersionCount() && found < 0; ++i) {
      if (original->GetVersion(i).GetVersion() == linkVersion) found = i;
    }
    if (found < 0) return "";
    walk = original->GetVersion(found);
  }
  return "";
}

int CWexmoorDoc::CheckOutAlongReferences(std::vector<FileStatistics>& changed, const FileStatistics& current,
                                         const FileStatistics& origin, const std::string& user,
                                         const std::string& reference, ProjectLockSet& locks) {
  std::set<std::string> visited;
  return CheckOutAlong(changed, current, origin, user, reference, locks, visited);
}

int CWexmoorDoc::CheckOutAlong(std::vector<FileStatistics>& changed, FileStatistics current,
                               const FileStatistics& origin, const std::string& user, const std::string& reference,
                               ProjectLockSet& locks, std::set<std::string>& visited) {
  const std::string owner = current.GetOwnerProject();
  if (owner == origin.GetOwnerProject()) return 0;
  if (!visited.insert(owner + "/" + current.GetInternalFileName()).second ||
      visited.size() > static_cast<std::size_t>(kMaxReferenceDepth)) {
    return kReferenceWalkFailed;
  }
  if (!locks.TryAdd(owner, LockTable::kShared)) return kRetryAfterLockRefusal;
  const int checkedOut = current.CheckOutVersion(user, reference, HeaderVersion(current));
  if (checkedOut != 0) return checkedOut;
  changed.push_back(current);

  for (int i = 0; i < current.GetLinkCount(); ++i) {
    const std::string project = current.GetLinkAt(i).GetName();
    const std::string folder = FolderOfProject(project);
    if (folder.empty()) return 15001;
    // The referencing project's files are read only under its lock.
    if (!locks.TryAdd(project, LockTable::kShared)) return kRetryAfterLockRefusal;
    const RecordCache::StatisticsRecord record = DocumentStatistics(folder, project, current.GetName());
    if (!record) return 15002;
    FileStatistics referencing = *record;
    // Only a latest version showing this very document and version is taken: one
    // showing the same version number of another project's document is not.
    const int latestIndex = referencing.GetLatestVersionIndex();
    if (latestIndex < 0) continue;
    const FileEntry& latest = referencing.GetVersion(latestIndex);
    if (latest.GetInternalProjectName() != owner || latest.GetLinkVersion() != HeaderVersion(current)) continue;
    referencing.SetHeader(latest);
    const int result = CheckOutAlong(changed, referencing, origin, user, reference, locks, visited);
    if (result != 0) return result;
  }
  return 0;
}
