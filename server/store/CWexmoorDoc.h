#pragma once
// The server's single document: the library in memory for the whole run. It keeps
// the project tree with its map from internal names to nodes (under a reader/writer
// latch), the settings with the user table, the named lock table, the internal-name
// counters, the library root with the pending old root and the only-latest flag
// (stored in "WexmoorRootPath.wxf" in the working folder as one line
// "root","pending old root",flag without a line ending), and the two single-instance
// guards that keep a second server off the same root or port.
#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/BuiltInKeys.h"
#include "common/PointerArray.h"
#include "common/TempFileCounter.h"
#include "platform/CriticalSection.h"
#include "platform/InstanceGuard.h"
#include "server/store/FileStatistics.h"
#include "server/store/InternalNameCounter.h"
#include "server/store/LockTable.h"
#include "server/store/ProjectLockSet.h"
#include "server/store/ServerProject.h"
#include "server/store/ServerSettings.h"

class CWexmoorDoc {
 public:
  static constexpr const char* kRootPathFileName = "WexmoorRootPath.wxf";
  static constexpr const char* kInventoryFileName = "WexmoorInventory.wxf";
  static constexpr const char* kAlreadyRunningText =
      "An instance of Wexmoor is already running and using the same Library root or the same "
      "listening Port.  Application aborting!";
  static constexpr int kDefaultPort = 6000;
  static constexpr int kGuardTimeoutMs = 1000;
  // Result of CheckOutAlongReferences when a project lock found on the way was
  // refused: the caller gives back every lock, waits 10 ms and starts over.
  static constexpr int kRetryAfterLockRefusal = -1;
  // Result of CheckOutAlongReferences for a cycle of references or a chain deeper
  // than kMaxReferenceDepth: the referencing files cannot be taken along.
  static constexpr int kReferenceWalkFailed = 15002;
  static constexpr int kMaxReferenceDepth = 256;

  struct Setup {
    std::string workingFolder;  // holds "WexmoorRootPath.wxf"; empty: the process's working folder
    std::string lockFolder;     // lock files of the instance guards; empty: the platform's default
    BuiltInKey usersFileKey{};  // scrambles "WXUsers.wxf"
  };

  // The document owns the top-level nodes of its array (and each node its subtree).
  using ProjectArray = PointerArray<ServerProject>;
  using ProjectMap = std::unordered_map<std::string, ServerProject*>;

  explicit CWexmoorDoc(const Setup& setup);
  // The shutdown save: after a successful start-up, the users file and the root-path
  // file are written; the inventory is not (every change saved it already).
  ~CWexmoorDoc();
  CWexmoorDoc(const CWexmoorDoc&) = delete;
  CWexmoorDoc& operator=(const CWexmoorDoc&) = delete;

  // The document the server's routines work on (null when none); set by the server
  // program and by tests.
  static CWexmoorDoc* GetDocument();
  static void SetDocument(CWexmoorDoc* document);

  // The start-up: reads the root path, takes the root and the port guards, and only
  // then writes anything (root-path file of a new installation, default users file,
  // empty inventory, counter file of a new library, "TemporaryFiles"). False when a
  // file cannot be read, or (after the abort message) when another instance holds
  // either guard; a second call after a success is false at once.
  bool OnNewDocument();
  bool IsStarted() const { return started_; }

  // The next internal name "WXFiName_Hi%dLo%d", or "" when the counter file could
  // not be written; every caller must treat "" as a failure.
  std::string GenerateInternalName();

  // Writes "WexmoorInventory.wxf" atomically from the tree; takes the latch shared.
  // Callers that change the tree hold the inventory section.
  bool SaveInventory();
  // Writes "WexmoorRootPath.wxf" atomically.
  bool SaveRootPath();
  // Adds a validated account (id -1: a new id is allocated); false for a duplicate,
  // when no id can be allocated or when the users file is not saved.
  bool AddUser(UserAccount& account);

  // --- look-ups and reference walks; none may be called with the tree latch held ---
  // The node of `internalName`, or null. The caller holds the tree latch (shared or
  // exclusive) for as long as it uses the pointer.
  ServerProject* FindProjectByInternalName(const std::string& internalName);
  // The folder of the project (depth-first, first match), or "".
  std::string GetProjectFolderPath(const std::string& internalName);
  // "Library->Project->Sub" for a folder path; components that name no project are left out.
  std::string GetProjectDisplayPath(const std::string& folderPath);
  // The stored file of the version in the header of `statistics`, references
  // followed; "" when a project, document or version on the way is missing, or the
  // references form a cycle or a chain deeper than kMaxReferenceDepth.
  std::string GetVersionFilePath(const FileStatistics& statistics);
  // Checks `current` out (user, reference) in its own project and, recursively, in
  // every project whose latest reference points at its header version, appending each
  // to `changed`. Stops with 0 on reaching the project of `origin`. Each owning
  // project's lock is tried once (shared) into `locks`, which keeps them for the
  // caller; a refusal gives kRetryAfterLockRefusal. Other results: 15001, 15002, the
  // codes of FileStatistics::CheckOutVersion, kReferenceWalkFailed for a cycle.
  int CheckOutAlongReferences(std::vector<FileStatistics>& changed, const FileStatistics& current,
                              const FileStatistics& origin, const std::string& user,
                              const std::string& reference, ProjectLockSet& locks);

  // Number of buckets for a project map of `nodeCount` nodes: the smallest prime
  // above max(nodeCount, 50000), or that maximum plus a fifth beyond 1,000,000.
  static int GetHashTableSize(int nodeCount);
  static int CountProjectNodes(const ServerProject& project);
  // "WX" + root with ':', '/', '\' and '.' as '_'.
  static std::string RootGuardName(const std::string& rootPath);

  // --- the fields other store parts work on ---
  std::shared_mutex& GetProjectTreeLatch() { return treeLatch_; }
  // The tree and its map; the caller holds the tree latch (exclusive to change them).
  ProjectArray& GetProjects() { return projects_; }
  ProjectMap& GetProjectMap() { return projectMap_; }
  ServerSettings& GetSettings() { return settings_; }
  LockTable& GetLocks() { return locks_; }
  platform::CriticalSection& GetInventorySection() { return inventorySection_; }
  platform::CriticalSection& GetProjectTreeSection() { return projectTreeSection_; }
  platform::CriticalSection& GetUserTableSection() { return userTableSection_; }
  platform::CriticalSection& GetQueueSection() { return queueSection_; }

  std::string GetRootPath() const;
  void SetRootPath(const std::string& rootPath);
  std::string GetPendingOldRoot() const;
  void SetPendingOldRoot(const std::string& oldRoot);
  bool IsOnlyLatestCheckOut() const;
  void SetOnlyLatestCheckOut(bool onlyLatest);
  const std::string& GetWorkingFolder() const { return workingFolder_; }

 private:
  bool ReadRootPathFile();
  bool TakeInstanceGuards(const std::string& rootPath, bool& usersFileLoaded);
  bool RefuseSecondInstance();
  bool LoadInventory();
  bool LoadInternalNameCounters(bool newLibrary);
  void MapProjectNodes(ServerProject& project);
  // Folder of the project with a trailing separator, "" when absent; takes the latch.
  std::string FolderOfProject(const std::string& internalName);
  int CheckOutAlong(std::vector<FileStatistics>& changed, FileStatistics current, const FileStatistics& origin,
                    const std::string& user, const std::string& reference, ProjectLockSet& locks,
                    std::set<std::string>& visited);
  std::string LibraryFilePath(const std::string& name) const;

  // The five sections, in the order of their roles; the lock-table section is the
  // table's own.
  platform::CriticalSection inventorySection_;
  platform::CriticalSection projectTreeSection_;
  platform::CriticalSection userTableSection_;
  platform::CriticalSection queueSection_;
  LockTable locks_;

  std::shared_mutex treeLatch_;
  ProjectArray projects_;
  ProjectMap projectMap_;

  ServerSettings settings_;
  std::unique_ptr<InternalNameCounter> nameCounter_;
  TempFileCounter tempFileCounter_;

  mutable std::mutex rootMutex_;  // guards the three values of the root-path file
  std::string rootPath_;
  std::string pendingOldRoot_;
  bool onlyLatestCheckOut_ = false;

  const std::string workingFolder_;
  const std::string lockFolder_;
  std::unique_ptr<platform::InstanceGuard> rootGuard_;
  std::unique_ptr<platform::InstanceGuard> portGuard_;
  bool started_ = false;
  bool noSaveOnExit_ = true;
  bool pathHooksInstalled_ = false;

  static std::atomic<CWexmoorDoc*> current_;
};
