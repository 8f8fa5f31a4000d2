#pragma once
// The server's single document: the library in memory for the whole run. It keeps
// the project tree with its map from internal names to nodes (under a reader/writer
// latch), the settings with the user table, the named lock table, the internal-name
// counters, the library root with the pending old root and the only-latest flag
// (stored in "WexmoorRootPath.wxf" in the working folder as one line
// "root","pending old root",flag without a line ending), the cache of parsed record
// files that every writer here keeps true, and the two single-instance guards that
// keep a second server off the same root or port.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <thread>
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
#include "server/store/ProjectFileList.h"
#include "server/store/ProjectLockSet.h"
#include "server/store/CheckedOutIndex.h"
#include "server/store/RecordCache.h"
#include "server/store/SectionRank.h"
#include "server/store/ServerProject.h"
#include "server/store/RefusedWriteNotes.h"
#include "server/store/ServerNotes.h"
#include "server/store/LibraryGroups.h"
#include "server/store/ServerSettings.h"
#include "server/store/StringList.h"

class RecordChange;

class CWexmoorDoc {
 public:
  static constexpr const char* kRootPathFileName = "WexmoorRootPath.wxf";
  static constexpr const char* kInventoryFileName = "WexmoorInventory.wxf";
  // Folder of the library root that holds one record per multi-file operation in progress.
  static constexpr const char* kJournalFolderName = "Journal";
  // Folder of the library root where received files wait to be stored.
  static constexpr const char* kTemporaryFolderName = "TemporaryFiles";
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
    // Opened by the administration of a stopped library, which never listens: only
    // the root's guard is taken, so a copy carrying a live server's port can be opened.
    bool administration = false;
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
  // The start-up for the users file alone (the administration of accounts and
  // server values): the root path is read, the guards taken and the users file
  // loaded (made when missing); no record of the library is read. False as for
  // OnNewDocument; the shutdown save then writes the users and root-path files.
  bool OpenUsers();
  bool IsStarted() const { return started_; }
  // Why the last OnNewDocument or OpenUsers gave false, for the administrator
  // ("a running server holds it (stop the server first)", a guard's problem, an
  // unreadable file); empty after a success.
  const std::string& GetStartProblem() const { return startProblem_; }

  // The next internal name "WXFiName_Hi%dLo%d", or "" when the counter file could
  // not be written; every caller must treat "" as a failure.
  std::string GenerateInternalName();
  // The next `count` names with one write of the counter file; none on a failure.
  std::vector<std::string> GenerateInternalNames(int count);

  // Writes "WexmoorInventory.wxf" atomically from the tree; takes the latch shared.
  // Callers that change the tree hold the inventory section.
  bool SaveInventory();
  // Writes "WexmoorRootPath.wxf" atomically.
  bool SaveRootPath();
  // Adds a validated account (id -1: a new id is allocated); false for a duplicate,
  // when no id can be allocated or when the users file is not saved. The account
  // joins the default group.
  bool AddUser(UserAccount& account);

  // --- look-ups and reference walks; none may be called with the tree latch held ---
  // The node of `internalName`, or null (also while a HiddenProject of this thread
  // hides it). The caller holds the tree latch (shared or exclusive) for as long as
  // it uses the pointer.
  ServerProject* FindProjectByInternalName(const std::string& internalName);
  // The folder on disk that holds the project's files (no trailing separator), or "".
  std::string GetProjectFolderPath(const std::string& internalName);
  // The folder on disk of a recorded project folder, laid out under the root it lies
  // in: the library root, or the old root of a pending move for a project not yet moved.
  std::string DiskFolder(const std::string& recordedFolder) const;
  // "Library->Project->Sub" for a folder path; components that name no project are left out.
  std::string GetProjectDisplayPath(const std::string& folderPath);
  // The statistics file and record of every document with a checked-out version
  // now. Files are read only where the document has not seen them written: the
  // whole library once and folders whose records moved (CWexmoorDocCheckedOut.cpp).
  std::vector<std::pair<std::string, RecordCache::StatisticsRecord>> CheckedOutDocuments();
  // Reads the whole library for CheckedOutDocuments in the background (once, after
  // a successful start; joined by the destructor), so that a running server's first
  // answer does not wait long; a call meanwhile waits for it.
  void StartCheckedOutWalk();
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

  // --- documents, references, projects, editions and supplements ---
  // Each operation names projects by internal name, takes every named lock it knows
  // of at once (before any section), then the inventory section, and resolves the
  // names under the tree latch; no node pointer outlives a call. A failed step
  // undoes the earlier ones before the code is returned.
  static constexpr int kProjectFolderNotCreated = 10007;
  static constexpr int kProjectFolderExists = 10008;
  static constexpr int kBadProjectName = 10009;  // blank or not a valid stored name
  static constexpr int kDuplicateProjectName = 10010;
  static constexpr int kDuplicateFileName = 10011;
  static constexpr int kNoProjectMatch = 10012;
  static constexpr int kBadParameters = 10013;
  static constexpr int kReferenceToSameProject = 10014;
  static constexpr int kFileCopyFailed = 10015;
  static constexpr int kDestinationMissing = 10016;
  static constexpr int kOriginalProjectMissing = 10017;
  static constexpr int kOriginalDocumentMissing = 10018;
  static constexpr int kOriginalVersionMissing = 10019;
  static constexpr int kDestinationListNotSaved = 10020;
  static constexpr int kReferenceNotSaved = 10021;
  static constexpr int kOriginalNotSaved = 10022;
  static constexpr int kExistingReferenceNotLoaded = 10023;
  static constexpr int kExistingReferenceCheckedOut = 10024;
  static constexpr int kHasDependents = 10025;
  // The project's folder would lie too deep under the root for its files' paths.
  static constexpr int kProjectFolderTooDeep = 10030;
  static constexpr const char* kDeletedProjectsFolder = "DeletedProjects";
  static constexpr const char* kDeletedDocumentsFolder = "DeletedProjects/IndividualFiles";
  static constexpr const char* kUnresolvedHierarchy = "<Unresolved project hierarchy>";

  // Makes the received file version 1 of a new document `name` of the project:
  // 0, 10011 name listed, 10012 no such project, 10013 empty or invalid name,
  // empty project or author, 10015 the file could not be moved in (an existing
  // file is never replaced) or the list not saved, or the statistics save's code.
  // `result` receives the new statistics. On failure the received file is back
  // where it was and nothing is listed.
  int AddDocument(const std::string& name, const std::string& projectInternalName, const std::string& author,
                  const std::string& comments, const std::string& receivedFilePath, int fileSize,
                  FileStatistics& result);
  // One received file of AddDocuments, and what became of it: AddDocument's code and result.
  struct NewDocument {
    std::string name;
    std::string comments;
    std::string receivedFilePath;
    int fileSize = 0;
  };
  struct AddedDocument {
    int code = 0;
    FileStatistics statistics;
  };
  // AddDocument of each file in turn, up to kAddBatch files in one change: their
  // statistics, version files and list rows are written and synced together. A
  // refused file gets its code alone; a change that cannot be written gives each of
  // its files 10015, and their received files are back where they were.
  std::vector<AddedDocument> AddDocuments(const std::string& projectInternalName, const std::string& author,
                                          const std::vector<NewDocument>& documents);
  static constexpr std::size_t kAddBatch = 512;
  // Lists the document `name` of the original project in the destination as a
  // reference to its version `version` (with `replaceExisting`, an existing
  // reference of that name gains a further version instead). 0 or 10011, 10014-10024.
  // The original version's link count for the destination rises by one; on failure
  // every file written is restored. `result` receives the reference's statistics.
  int AddReference(const std::string& name, const std::string& destinationInternalName,
                   const std::string& comments, const std::string& originalProjectInternalName, int version,
                   FileStatistics& result, bool originalEdition, bool replaceExisting);
  // Deletes the document whose internal file name is a value of the project's file
  // list, keeping its files under "DeletedProjects/IndividualFiles/" and giving back
  // its references. 0 (also when there is no such document), 10025 with one report
  // line per dependent (nothing changed), 10015 when the copies could not be kept
  // or the list not saved (the document stays).
  int DeleteDocument(const std::string& projectInternalName, const std::string& internalFileName,
                     StringList& report);
  // Renames the listed document to the valid name `newName`; false (nothing
  // changed) for a name already listed, a reference, a referenced document or a
  // failed save, which also sets `notSaved` when given.
  bool RenameDocument(const std::string& projectInternalName, const std::string& internalFileName,
                      const std::string& newName, bool* notSaved = nullptr);
  // Creates a project under the parent ("" for a top level project). 0, 10003
  // inventory not saved (nothing kept), 10007, 10008, 10009, 10010, 10012 no such
  // parent, 10030 a folder too deep for its files. `created` receives a copy of the new node.
  int CreateProject(const std::string& parentInternalName, const std::string& name, const std::string& folderPath,
                    ServerProject& created, bool originalProject);
  // The same for an edition "<E> name" and a supplement "<S> name" with their records;
  // an empty name is allowed (the node is named "<E>" / "<S>").
  int CreateEdition(const std::string& parentInternalName, const std::string& name, const std::string& folderPath,
                    const std::string& creator, const std::string& comments, ServerProject& created);
  int CreateSupplement(const std::string& parentInternalName, const std::string& name,
                       const std::string& folderPath, const std::string& creator, const std::string& comments,
                       ServerProject& created);
  // Deletes the project and everything below it, detached from its real parent in
  // the tree (the parent a caller names is not trusted), moving its files under
  // "DeletedProjects/". 0 (also for a project that no longer exists), 10025 with the
  // report lines (nothing changed), 10003 inventory not saved (nothing changed).
  int DeleteProject(const std::string& projectInternalName, const std::string& parentInternalName,
                    StringList& report);
  // 0 renamed; 10009 invalid name, 10010 a sibling has it, 10012 no such project,
  // 10003 inventory not saved (the old name stays).
  int RenameProject(const std::string& projectInternalName, const std::string& newName);
  // --- end of documents, references, projects, editions and supplements ---

  // --- project look-up for the document lists (defined in CWexmoorDocLists.cpp) ---
  // A project's display name, internal name and folder (ending in the separator).
  struct ProjectListing {
    std::string name;
    std::string internalName;
    std::string folder;
  };
  // Copies the project's names and folder under the tree latch, so that the caller
  // holds no node; false (and `listing` unchanged) when there is no such project.
  bool CopyProjectListing(const std::string& internalName, ProjectListing& listing);
  // --- end of project look-up for the document lists ---

  // --- project-tree look-up for the tree requests (defined in CWexmoorDocTree.cpp) ---
  // Whether the project of `internalName` is an edition, read under the tree latch;
  // false when there is no such project.
  bool IsEditionProject(const std::string& internalName);
  // The internal names of the project and its ancestors, the project first and a
  // top-level project last, read under the tree latch; empty when there is no such project.
  std::vector<std::string> ProjectChain(const std::string& internalName);
  // The project as the tree and the administration show it ("Library->Project->Sub");
  // empty when there is no such project.
  std::string ProjectPath(const std::string& internalName);
  // --- end of project-tree look-up for the tree requests ---

  // --- the fields other store parts work on ---
  std::shared_mutex& GetProjectTreeLatch() { return treeLatch_; }
  // The tree and its map; the caller holds the tree latch (exclusive to change them).
  ProjectArray& GetProjects() { return projects_; }
  ProjectMap& GetProjectMap() { return projectMap_; }
  ServerSettings& GetSettings() { return settings_; }
  const ServerSettings& GetSettings() const { return settings_; }
  LibraryGroups& GetGroups() { return groups_; }
  // The parsed record files; every writer of them in the store keeps it true.
  RecordCache& GetRecordCache() { return records_; }
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
  // Lines for the console: start-up notices, folders that could not be written.
  ServerNotes& GetNotes() { return notes_; }
  // Where the handlers tell the console about writes refused for a lasting cause.
  RefusedWriteNotes& GetRefusedWrites() { return refusedWrites_; }
  // Adds a line to the notes: start-up notices never wait in a box before the listener.
  std::function<void(const std::string&)> NoteLine() {
    return [this](const std::string& line) { notes_.Add(line); };
  }
  // False when start-up found the library root not writable: every change is then
  // refused with the reason, never tried.
  bool IsLibraryWritable() const { return libraryWritable_; }

  // ===== moving the library root (defined in CWexmoorDocRoot.cpp) =====
  // Writes the internal-name counters (unadvanced), the users file, the inventory
  // and the "TemporaryFiles" folder into `newRoot`, each checked; then `newRoot`
  // becomes the root with the current root as the pending old root, and the
  // root-path file is saved last. On any failure the old root stays in force and
  // whatever was written into `newRoot` is removed again. Runs under the inventory
  // and user-table sections.
  bool BeginRootMove(const std::string& newRoot);
  // Clears the pending old root and saves the root-path file.
  bool EndRootMove();
  // Under the inventory section: gives the project the folder `newFolder` and saves
  // the inventory; when the save fails the old folder is put back. False also for an
  // unknown project.
  bool SwitchProjectFolder(const std::string& internalName, const std::string& newFolder);
  // Start-up: every top-level project recorded as "<other root>/<internal name>" whose
  // folder this root holds (a library copied or restored here) is recorded under this
  // root with its subtree, each folder put where this root's layout wants it; the
  // console says so in one line. False, with a message, when a folder cannot be put
  // there or the inventory cannot be saved.
  bool RebaseCopiedProjects();
  // ===== end of moving the library root =====

  // ===== check-out and check-in (defined in CWexmoorDocCheckOut.cpp) =====
  // Result codes of check-out and check-in; the codes of FileStatistics pass through
  // (10016, 11007, 11008 for an empty user or check-out reference, 11012, 11013).
  static constexpr int kVersionFileNotMoved = 15000;     // check-in: the received file was not moved into place
  static constexpr int kLinkedProjectMissing = 15001;
  static constexpr int kLinkedFileNotLoaded = 15002;     // also: the stored file of the version is unusable
  static constexpr int kProjectNotFound = 15003;
  static constexpr int kDocumentNotListed = 15004;
  static constexpr int kCheckOutNotSaved = 15005;        // without references
  static constexpr int kOriginalNotListed = 15006;
  static constexpr int kOriginalNotLoaded = 15007;
  static constexpr int kCheckOutRolledBack = 15008;      // with references: every save undone
  static constexpr int kCheckInNotSaved = 15009;         // check-in: a record could not be written (nothing changed)
  static constexpr int kCheckOutOutsideRights = 15010;   // a document along references lies where it may not be changed

  // Whether the acting account may change documents of the project; null: everywhere.
  using ProjectFilter = std::function<bool(const std::string& projectInternalName)>;

  struct CheckOutResult {
    int code = 0;
    std::string path;   // the stored file of the checked-out version; "" on failure
    FileEntry version;  // the checked-out version entry (valid when code is 0)
  };
  // Checks version `version` (below 1: the latest) of the document `name` of the
  // project `projectInternalName` out to `user` under a fresh check-out reference.
  // `referencing` also checks out, down their chains, the references whose latest
  // version shows that version; `referenced` also the originals it shows, up to the
  // first one that is checked out or moved on, with their other references. The
  // code is 0 only when the stored file exists with the version's FILESIZEBYTES;
  // otherwise nothing stays checked out (saves already made are cancelled, 15008).
  // The holder asking again for the version held gets it as a fresh check-out would,
  // the records unchanged (a check-out whose reply was lost can be finished); any
  // other check-out of a held document is refused (11007). A document taken along
  // in a project `mayChange` refuses makes the whole check-out fail (15010).
  CheckOutResult CheckOutDocuments(const std::string& projectInternalName, const std::string& name, int version,
                                   const std::string& user, bool referencing, bool referenced,
                                   const ProjectFilter& mayChange = nullptr);
  // Makes the file at `receivedPath` the next version of the document `name`, and
  // gives every document checked out with it a new version that points at the new
  // one; the file is stored in the project of the topmost of them. True when done
  // (`resultCode` 0). On failure no statistics file is changed, the received file is
  // where it was and no new version file is left behind. The same check-in repeated
  // after its reply was lost succeeds without a further version. An empty `user` is
  // refused (11013).
  bool CheckInDocuments(const std::string& projectInternalName, const std::string& user, const std::string& name,
                        int fileSize, const std::string& comments, const std::string& receivedPath, int& resultCode);
  // Checks out under `reference`, into `changed`, every reference document down the
  // chains whose latest version shows the header version of `document`, which the
  // caller has checked out already. Locks as CheckOutAlongReferences; same codes.
  int CheckOutReferencingDocuments(std::vector<FileStatistics>& changed, const FileStatistics& document,
                                   const std::string& user, const std::string& reference, ProjectLockSet& locks);
  // Checks the checked-out version of `document` in (pointing at `originalProject`
  // version `linkVersion`; "" and -1 for an original), appends it to `changed`, and
  // does the same for every reference checked out under the same non-empty
  // `reference` whose version shows the one checked in. The new version carries a
  // link only for those references. References checked out otherwise (11012, 11013)
  // are passed over. Locks as CheckOutAlongReferences; other codes: 15001, 15002,
  // the codes of FileStatistics::CheckInVersion, kReferenceWalkFailed for a cycle.
  int CheckInWithReferences(std::vector<FileStatistics>& changed, const FileStatistics& document,
                            const std::string& user, int fileSize, const std::string& comments,
                            const std::string& reference, const std::string& originalProject, int linkVersion,
                            ProjectLockSet& locks);
  // Ends the check-out of the document `name` of the project `projectInternalName`
  // as if it never happened: it, and every reference checked out with it under the
  // same reference, is free again and no version is made. `holder` is set to who
  // held it. With `onlyFor` set, a check-out held by anyone else is left as it is
  // (kCheckedOutByOther, 11013). 0 when done; kNothingCheckedOut (11012) when
  // nobody holds it; 15003, 15004, 15002 as for a check-in, kCheckInNotSaved when a
  // record could not be written (nothing changed). Locks as a check-in.
  int ReleaseCheckOut(const std::string& projectInternalName, const std::string& name, std::string& holder,
                      const std::string& onlyFor = {});

 private:
  struct CheckInRequest;
  // Runs `attempt` with the project's lock held (polled) and the project-tree and
  // inventory sections entered; starts over after kRetryAfterLockRefusal.
  int RunCheckOperation(const std::string& projectInternalName, const std::function<int(ProjectLockSet&)>& attempt);
  // How far a new check-out reaches beyond the requested document, and where it may.
  struct CheckOutReach {
    bool referencing = false;
    bool referenced = false;
    const ProjectFilter* mayChange = nullptr;
  };
  int CheckOutAttempt(const std::string& projectInternalName, const std::string& name, int version,
                      const std::string& user, CheckOutReach reach, ProjectLockSet& locks, CheckOutResult& result);
  // Saves the requested document, checked out under `reference`, with the documents
  // `reach` takes along; 0, or the code of the first failure with nothing saved.
  int SaveNewCheckOut(const FileStatistics& requested, const std::string& statisticsPath, const std::string& user,
                      const std::string& reference, CheckOutReach reach, ProjectLockSet& locks);
  int CheckInAttempt(const std::string& projectInternalName, const std::string& name,
                     const std::string& receivedPath, const CheckInRequest& request, ProjectLockSet& locks);
  int CheckInAlong(std::vector<FileStatistics>& changed, FileStatistics document, const CheckInRequest& request,
                   const std::string& originalProject, int linkVersion, ProjectLockSet& locks,
                   std::set<std::string>& visited);
  int ReleaseAlong(std::vector<FileStatistics>& changed, FileStatistics document, const std::string& reference,
                   ProjectLockSet& locks, std::set<std::string>& visited);
  // Climbs from `start` to the original it shows while that original's latest
  // version is the one shown and it is held under `reference` ("": not held at all).
  int FindTopOfChain(const FileStatistics& start, const std::string& reference, FileStatistics& top);
  // Loads the document `name` of `project` and the path it came from; the three
  // codes are returned for a missing project, an unlisted name, an unreadable file.
  int LoadDocument(const std::string& project, const std::string& name, int projectMissing, int notListed,
                   int notLoaded, FileStatistics& statistics, std::string& statisticsPath);
  // The statistics file of `statistics` in its owner's folder; "" when the owner is gone.
  std::string StatisticsPathOf(const FileStatistics& statistics);
  // Saves every member and the requested document as one change; nothing is saved
  // when any cannot be (kCheckOutRolledBack).
  int SaveCheckedOut(const std::vector<FileStatistics>& changed, const FileStatistics& requested,
                     const std::string& requestedPath);
  // Whether nothing of `document` is checked out and its latest version is what
  // this check-in would make: same holder, comments, size and content.
  bool IsRepeatedCheckIn(const FileStatistics& document, const CheckInRequest& request,
                         const std::string& receivedPath);
  // ===== end of check-out and check-in =====

 private:
  bool ReadRootPathFile();
  // Removes what a backup cut short left in the working folder; false (and a message)
  // when that fails or when the folder then holds no library to start on.
  bool RemoveBackupLeftover();
  // Where an ancestor's folder lay in the old root's layout and where it lies now.
  struct RebasedLayout {
    std::string oldLayout;
    std::string disk;
  };
  // The other root a top-level project was recorded under ("<other root>/<internal
  // name>") when this root holds a copy of its folder; "" otherwise.
  std::string CopiedFromRoot(const ServerProject& topLevel) const;
  // Re-bases `project` and its subtree from `oldRoot` onto the root; `problem` names
  // a folder that could not be moved.
  bool RebaseSubtree(ServerProject& project, const std::string& oldRoot, std::vector<RebasedLayout> ancestors,
                     std::string& problem);
  // Finishes, before anything else reads the library, every operation that a crash
  // cut short, from the records left in the journal folder (CWexmoorDocJournal.cpp).
  void RecoverJournal();
  // "<root>/Journal", where the multi-file operations keep their records.
  std::string JournalFolder() const;
  // Add a record file's new content to `change`: 0 or the statistics writer's code;
  // false when the list refuses to be written.
  static int StageStatistics(RecordChange& change, const std::string& path, const FileStatistics& statistics);
  static bool StageList(RecordChange& change, const ProjectFileList& list);
  // A copy of the record through the cache; false when it does not load.
  bool LoadStatistics(const std::string& path, FileStatistics& statistics);
  bool LoadList(const std::string& path, ProjectFileList& list);
  // The statistics of the document `name` of the project in `folder`; null when unlisted or unreadable.
  RecordCache::StatisticsRecord DocumentStatistics(const std::string& folder, const std::string& project,
                                                   const std::string& name);
  // Moves what no file list, inventory node or journal record names into one dated
  // folder under "DeletedProjects" and tells the console (CWexmoorDocSweep.cpp).
  void SweepLeftovers();
  // Tries to create (and removes) a file in the library root; a refusal is noted
  // and makes the library read-only for this run.
  void CheckLibraryWritable();
  // Reads the root-path file (the working folder becomes the root when none is
  // recorded: `rootWasEmpty`) and takes the guards; false with the start problem set.
  bool OpenRoot(bool& rootWasEmpty, bool& usersFileLoaded);
  bool TakeInstanceGuards(const std::string& rootPath, bool& usersFileLoaded);
  // The abort message for the guard that was refused; false.
  bool RefuseSecondInstance(const platform::InstanceGuard& refused, const std::string& heldText);
  // Makes a missing users file and loads it; false with the start problem set.
  bool LoadUsersFile(const std::string& rootPath);
  // Opens the groups file for the accounts now loaded.
  bool OpenGroupsFile(const std::string& rootPath);
  bool FailStart(const std::string& problem);
  bool LoadInventory();
  bool LoadInternalNameCounters(bool newLibrary);
  // Reads the folders the checked-out index has not seen; stops early when told to.
  void ReadUnreadCheckOuts();
  void MapProjectNodes(ServerProject& project);
  // Folder of the project with a trailing separator, "" when absent; takes the latch.
  std::string FolderOfProject(const std::string& internalName);
  // AddDocuments of `count` files from `documents` under one lock, as one change;
  // a file whose result holds a code already is passed over.
  void AddBatch(const std::string& projectInternalName, const std::string& author, const NewDocument* documents,
                std::size_t count, AddedDocument* results);
  int CheckOutAlong(std::vector<FileStatistics>& changed, FileStatistics current, const FileStatistics& origin,
                    const std::string& user, const std::string& reference, ProjectLockSet& locks,
                    std::set<std::string>& visited);
  std::string LibraryFilePath(const std::string& name) const;

  // --- helpers of documents, references, projects, editions and supplements ---
  // A project's names and folder (ending in the separator), copied under the latch.
  struct ProjectSnapshot {
    std::string name;
    std::string internalName;
    std::string folder;
  };
  // A reference version that gives its link back when its document goes.
  struct ReferenceVersion {
    std::string originalProject;
    int linkVersion = -1;
    std::string referencingProject;
    std::string documentName;
  };
  enum class NodeKind { Project, Edition, Supplement };
  using LockRequests = std::vector<ProjectLockSet::Request>;

  // Takes the requested locks, enters the inventory section and runs `body`; when
  // `body` returns kRetryAfterLockRefusal everything is given back, and after 10 ms
  // the requests are formed again and the whole runs again.
  int RunUnderLocks(const std::function<LockRequests()>& requests, const std::function<int(ProjectLockSet&)>& body);
  // True when `locks` holds `name` in any mode or now takes it with `mode`.
  static bool HoldOrTake(ProjectLockSet& locks, const std::string& name, int mode);
  bool SnapshotProject(const std::string& internalName, ProjectSnapshot& snapshot);
  // The node and every node below it, parents first; the caller holds the latch.
  void AppendSubtree(const ServerProject& project, std::vector<ProjectSnapshot>& subtree);
  // The node whose sub-projects hold `internalName`; null for a top-level or unknown
  // node. The caller holds the latch.
  ServerProject* FindParentProject(const std::string& internalName);
  // Whether a sibling of another internal name under `parent` (null: top level) is
  // called `name`. The caller holds the latch.
  bool HasSiblingNamed(const ServerProject* parent, const std::string& name, const std::string& exceptInternalName);
  // Writes the inventory; the caller holds the latch.
  bool WriteInventoryLatched();
  void UnmapProjectNodes(const ServerProject& project);
  int CreateNode(NodeKind kind, const std::string& parentInternalName, const std::string& fullName,
                 const std::string& folderPath, const std::string& creator, const std::string& comments,
                 bool originalProject, ServerProject& created);

  // Appends a report line per link with a count above 0 of every version; true when any.
  bool AppendDependentLines(const ProjectSnapshot& project, const FileStatistics& statistics, StringList& report);
  // True when the report had lines on entry or the document has dependents.
  bool CheckDocumentDependents(const ProjectSnapshot& project, const std::string& internalFileName,
                               StringList& report);
  // The same over every document of every project of the subtree.
  bool CheckProjectDependents(const std::vector<ProjectSnapshot>& subtree, StringList& report);
  // Whether the reference chain from `version` of the document `name` passes
  // through `project` (or is too deep to follow); a chain that ends, or cannot be
  // followed further, does not.
  bool ReferenceChainReaches(FileEntry version, const std::string& name, const std::string& project);
  static void CollectReferences(const FileStatistics& statistics, const std::string& referencingProject,
                                std::vector<ReferenceVersion>& references);
  static bool HoldOriginals(ProjectLockSet& locks, const std::vector<ReferenceVersion>& references);
  // Adds to `change` each original's statistics with one link count lowered per
  // reference version, for the referencing project; the caller holds the originals' locks.
  void StageReleasedReferences(const std::vector<ReferenceVersion>& references, RecordChange& change);
  int DeleteDocumentFiles(const ProjectSnapshot& project, ProjectFileList& list, const std::string& displayName,
                          const FileStatistics& statistics, const std::vector<ReferenceVersion>& references);
  // Adds to `change` the moves of the subtree's folders on disk into
  // `targetFolder`/<internal name>; a folder inside a moved one moves with it.
  // `movedFolders` are the ancestors' folders that move.
  void StageProjectTreeMove(const ServerProject& project, std::vector<std::string> movedFolders,
                            const std::string& targetFolder, RecordChange& change);
  // --- end of helpers of documents, references, projects, editions and supplements ---

  // The five sections, in the order of their roles; the lock-table section is the
  // table's own. Their ranks (SectionRank.h) are the order they are taken in.
  platform::CriticalSection inventorySection_{SectionRank::kInventory, "inventory"};
  platform::CriticalSection projectTreeSection_{SectionRank::kProjectTree, "project-tree"};
  platform::CriticalSection userTableSection_{SectionRank::kUserTable, "user-table"};
  platform::CriticalSection queueSection_{SectionRank::kQueue, "queue"};
  LockTable locks_;

  std::shared_mutex treeLatch_;
  ProjectArray projects_;
  ProjectMap projectMap_;

  ServerSettings settings_;
  LibraryGroups groups_;
  CheckedOutIndex checkedOut_;   // listens to records_, so it outlives it
  std::mutex checkedOutWalkMutex_;   // one walk of unread folders at a time
  std::atomic<bool> stopCheckedOutWalk_{false};
  std::thread checkedOutWalk_;
  RecordCache records_;
  std::unique_ptr<InternalNameCounter> nameCounter_;
  TempFileCounter tempFileCounter_;

  mutable std::mutex rootMutex_;  // guards the three values of the root-path file
  std::string rootPath_;
  std::string pendingOldRoot_;
  bool onlyLatestCheckOut_ = false;

  const std::string workingFolder_;
  const std::string lockFolder_;
  const bool administration_;
  std::string startProblem_;
  std::unique_ptr<platform::InstanceGuard> rootGuard_;
  std::unique_ptr<platform::InstanceGuard> portGuard_;
  bool started_ = false;
  bool noSaveOnExit_ = true;
  bool pathHooksInstalled_ = false;
  std::atomic<bool> libraryWritable_{true};
  ServerNotes notes_;
  RefusedWriteNotes refusedWrites_{notes_};

  static std::atomic<CWexmoorDoc*> current_;
};
