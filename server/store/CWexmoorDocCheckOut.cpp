#include "server/store/CWexmoorDoc.h"

#include <chrono>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <vector>
#include <thread>

#include "platform/fs.h"
#include "server/store/ProjectFileList.h"
#include "server/store/RecordChange.h"
#include "server/store/StoreFilePaths.h"

// What every document of one check-in is checked in with.
struct CWexmoorDoc::CheckInRequest {
  std::string user;
  int fileSize = 0;
  std::string comments;
  std::string reference;  // the check-out reference of the requested document; may be empty
};

namespace {

constexpr auto kLockRetryPause = std::chrono::milliseconds(10);

std::string DocumentKey(const FileStatistics& statistics) {
  return statistics.GetOwnerProject() + "/" + statistics.GetInternalFileName();
}

// Index of the first version that somebody holds; -1 when none.
int FirstCheckedOutIndex(const FileStatistics& statistics) {
  for (int i = 0; i < statistics.GetVersionCount(); ++i) {
    if (!statistics.GetVersion(i).GetCheckedOutTo().empty()) return i;
  }
  return -1;
}

// True when the document is checked out under `reference`, or, for an empty
// reference, when no version of it is checked out at all.
bool IsHeldUnder(const FileStatistics& statistics, const std::string& reference) {
  const int held = FirstCheckedOutIndex(statistics);
  if (held < 0) return reference.empty();
  return !reference.empty() && statistics.GetVersion(held).GetCheckOutReference() == reference;
}

// True when `user` holds version `version` of the document.
bool IsHeldBy(const FileStatistics& statistics, const std::string& user, int version) {
  const int held = FirstCheckedOutIndex(statistics);
  return held >= 0 && statistics.GetVersion(held).GetCheckedOutTo() == user &&
         statistics.GetVersion(held).GetVersion() == version;
}

// Index of the held version of `statistics` when it shows version `version` of the
// same document in `project`; -1 otherwise. An older version showing it is no part
// of the check-out: the held one shows one original only, so a document reached
// along two references (a diamond) is taken once, from the original it shows.
int HeldVersionShowing(const FileStatistics& statistics, const std::string& project, int version) {
  const int held = FirstCheckedOutIndex(statistics);
  if (held < 0) return -1;
  const FileEntry& entry = statistics.GetVersion(held);
  return entry.GetInternalProjectName() == project && entry.GetLinkVersion() == version ? held : -1;
}

void RemoveAllLinks(FileEntry& entry) {
  while (entry.GetLinkCount() > 0) entry.RemoveLink(entry.GetLinkAt(0).GetName());
}

FileEntry& NewestVersion(FileStatistics& statistics) { return statistics.GetVersion(statistics.GetVersionCount() - 1); }

bool HaveSameContent(const std::string& first, const std::string& second) {
  std::ifstream a(first, std::ios::binary);
  std::ifstream b(second, std::ios::binary);
  if (!a || !b) return false;
  std::vector<char> left(1 << 16);
  std::vector<char> right(1 << 16);
  for (;;) {
    a.read(left.data(), static_cast<std::streamsize>(left.size()));
    b.read(right.data(), static_cast<std::streamsize>(right.size()));
    if (a.gcount() != b.gcount() || !std::equal(left.begin(), left.begin() + a.gcount(), right.begin())) return false;
    if (a.gcount() == 0 || !a || !b) return a.eof() && b.eof() && !a.bad() && !b.bad();
  }
}

bool StoredFileHasSize(const std::string& path, int size) {
  std::int64_t actual = -1;
  return platform::fs::IsFile(path) && platform::fs::FileSize(path, actual) && actual == size;
}

}  // namespace

// --- the operations -------------------------------------------------------------

CWexmoorDoc::CheckOutResult CWexmoorDoc::CheckOutDocuments(const std::string& projectInternalName,
                                                           const std::string& name, int version,
                                                           const std::string& user, bool referencing,
                                                           bool referenced, const ProjectFilter& mayChange) {
  CheckOutResult result;
  if (user.empty()) {
    result.code = FileStatistics::kCheckOutWithoutHolder;
    return result;
  }
  result.code = RunCheckOperation(projectInternalName, [&](ProjectLockSet& locks) {
    return CheckOutAttempt(projectInternalName, name, version, user, {referencing, referenced, &mayChange}, locks,
                           result);
  });
  return result;
}

bool CWexmoorDoc::CheckInDocuments(const std::string& projectInternalName, const std::string& user,
                                   const std::string& name, int fileSize, const std::string& comments,
                                   const std::string& receivedPath, int& resultCode) {
  if (user.empty()) {
    resultCode = FileStatistics::kCheckedOutByOther;
    return false;
  }
  // The received file reaches the disk before any lock or section is taken, so
  // that a slow flush holds no other writer; one that cannot is not checked in.
  if (platform::fs::IsFile(receivedPath) && !platform::fs::SyncPath(receivedPath)) {
    resultCode = kCheckInNotSaved;
    return false;
  }
  const CheckInRequest request{user, fileSize, comments, ""};
  resultCode = RunCheckOperation(projectInternalName, [&](ProjectLockSet& locks) {
    return CheckInAttempt(projectInternalName, name, receivedPath, request, locks);
  });
  return resultCode == 0;
}

int CWexmoorDoc::CheckOutReferencingDocuments(std::vector<FileStatistics>& changed, const FileStatistics& document,
                                              const std::string& user, const std::string& reference,
                                              ProjectLockSet& locks) {
  // The walk starts at the document itself, already checked out under `reference`,
  // so its own step changes nothing; only what it takes along is kept. No origin:
  // a chain that leads back to the document is a cycle.
  std::vector<FileStatistics> along;
  const int code = CheckOutAlongReferences(along, document, FileStatistics(), user, reference, locks);
  if (code != 0) return code;
  if (along.size() > 1) changed.insert(changed.end(), along.begin() + 1, along.end());
  return 0;
}

int CWexmoorDoc::CheckInWithReferences(std::vector<FileStatistics>& changed, const FileStatistics& document,
                                       const std::string& user, int fileSize, const std::string& comments,
                                       const std::string& reference, const std::string& originalProject,
                                       int linkVersion, ProjectLockSet& locks) {
  std::set<std::string> visited;
  return CheckInAlong(changed, document, CheckInRequest{user, fileSize, comments, reference}, originalProject,
                      linkVersion, locks, visited);
}

int CWexmoorDoc::ReleaseCheckOut(const std::string& projectInternalName, const std::string& name,
                                 std::string& holder, const std::string& onlyFor) {
  return RunCheckOperation(projectInternalName, [&](ProjectLockSet& locks) {
    FileStatistics requested;
    std::string statisticsPath;
    int code = LoadDocument(projectInternalName, name, kProjectNotFound, kDocumentNotListed, kLinkedFileNotLoaded,
                            requested, statisticsPath);
    if (code != 0) return code;
    const int held = FirstCheckedOutIndex(requested);
    if (held < 0) return FileStatistics::kNothingCheckedOut;
    holder = requested.GetVersion(held).GetCheckedOutTo();
    if (!onlyFor.empty() && holder != onlyFor) return FileStatistics::kCheckedOutByOther;
    const std::string reference = requested.GetCheckOutReference();
    // A check-out without a reference cannot be told apart from others: it stands alone.
    FileStatistics top = requested;
    if (!reference.empty()) {
      code = FindTopOfChain(requested, reference, top);
      if (code != 0) return code;
    }
    std::vector<FileStatistics> changed;
    std::set<std::string> visited;
    code = ReleaseAlong(changed, top, reference, locks, visited);
    if (code != 0) return code;
    RecordChange change(JournalFolder(), records_);
    for (const FileStatistics& member : changed) {
      const std::string path = StatisticsPathOf(member);
      if (path.empty()) return kLinkedProjectMissing;
      if (StageStatistics(change, path, member) != 0) return kCheckInNotSaved;
    }
    return change.Commit() ? 0 : kCheckInNotSaved;
  });
}

// --- steps ----------------------------------------------------------------------

int CWexmoorDoc::RunCheckOperation(const std::string& projectInternalName,
                                   const std::function<int(ProjectLockSet&)>& attempt) {
  ProjectLockSet locks(locks_, {{projectInternalName, LockTable::kShared}});
  for (;;) {
    locks.Acquire();
    {
      // The inventory section keeps every other writer of record files out.
      platform::CriticalSection::Lock tree(projectTreeSection_);
      platform::CriticalSection::Lock inventory(inventorySection_);
      const int code = attempt(locks);
      if (code != kRetryAfterLockRefusal) return code;
    }
    locks.Release();
    std::this_thread::sleep_for(kLockRetryPause);
  }
}

int CWexmoorDoc::CheckOutAttempt(const std::string& projectInternalName, const std::string& name, int version,
                                 const std::string& user, CheckOutReach reach, ProjectLockSet& locks,
                                 CheckOutResult& result) {
  FileStatistics requested;
  std::string statisticsPath;
  int code = LoadDocument(projectInternalName, name, kProjectNotFound, kDocumentNotListed, kLinkedFileNotLoaded,
                          requested, statisticsPath);
  if (code != 0) return code;
  if (version < 1) version = requested.GetVersion(requested.GetLatestVersionIndex()).GetVersion();
  // The holder asking again for the version held: the reply of the first check-out
  // was lost with its link. The file goes again; the check-out stays as it was.
  const bool repeated = IsHeldBy(requested, user, version);
  std::string reference;
  if (repeated) {
    requested.SetHeader(requested.GetVersion(FirstCheckedOutIndex(requested)));
  } else {
    reference = GenerateInternalName();
    if (reference.empty()) return FileStatistics::kCheckOutWithoutHolder;
    code = requested.CheckOutVersion(user, reference, version);
    if (code != 0) return code;
  }
  // Settled before anything is saved: a version whose file cannot be delivered is
  // not checked out to anybody.
  const std::string path = GetVersionFilePath(requested);
  if (path.empty() || !StoredFileHasSize(path, requested.GetFileSize())) return kLinkedFileNotLoaded;
  if (!repeated) {
    code = SaveNewCheckOut(requested, statisticsPath, user, reference, reach, locks);
    if (code != 0) return code;
  }
  result.path = path;
  result.version = requested;
  return 0;
}

int CWexmoorDoc::SaveNewCheckOut(const FileStatistics& requested, const std::string& statisticsPath,
                                 const std::string& user, const std::string& reference, CheckOutReach reach,
                                 ProjectLockSet& locks) {
  std::vector<FileStatistics> changed;
  int code = 0;
  if (reach.referenced) {
    FileStatistics top;
    code = FindTopOfChain(requested, "", top);
    if (code == 0) code = CheckOutAlongReferences(changed, top, requested, user, reference, locks);
    if (code != 0) return code;
  }
  if (reach.referencing) {
    code = CheckOutReferencingDocuments(changed, requested, user, reference, locks);
    if (code != 0) return code;
  }
  if (reach.mayChange != nullptr && *reach.mayChange) {
    for (const FileStatistics& member : changed) {
      if (!(*reach.mayChange)(member.GetOwnerProject())) return kCheckOutOutsideRights;
    }
  }
  if (!reach.referenced && !reach.referencing) {
    RecordChange change(JournalFolder(), records_);
    if (StageStatistics(change, statisticsPath, requested) != 0 || !change.Commit()) return kCheckOutNotSaved;
    return 0;
  }
  return SaveCheckedOut(changed, requested, statisticsPath);
}

int CWexmoorDoc::CheckInAttempt(const std::string& projectInternalName, const std::string& name,
                                const std::string& receivedPath, const CheckInRequest& request,
                                ProjectLockSet& locks) {
  FileStatistics requested;
  std::string statisticsPath;
  int code = LoadDocument(projectInternalName, name, kProjectNotFound, kDocumentNotListed, kLinkedFileNotLoaded,
                          requested, statisticsPath);
  if (code != 0) return code;
  // The reply of a finished check-in may have been lost: the same check-in again
  // changes nothing and succeeds.
  if (IsRepeatedCheckIn(requested, request, receivedPath)) {
    platform::fs::DeleteFile(receivedPath);
    return 0;
  }
  CheckInRequest along = request;
  along.reference = requested.GetCheckOutReference();
  const int held = FirstCheckedOutIndex(requested);
  requested.SetHeader(requested.GetVersion(held >= 0 ? held : requested.GetLatestVersionIndex()));

  // A check-out without a reference cannot be told apart from others: it stands alone.
  FileStatistics top = requested;
  if (!along.reference.empty()) {
    code = FindTopOfChain(requested, along.reference, top);
    if (code != 0) return code;
  }
  std::vector<FileStatistics> changed;
  std::set<std::string> visited;
  code = CheckInAlong(changed, top, along, "", -1, locks, visited);
  if (code != 0) return code;

  const FileStatistics& stored = changed.front();
  const std::string folder = FolderOfProject(stored.GetOwnerProject());
  if (folder.empty()) return kLinkedProjectMissing;
  const std::string target = folder + stored.GetVersionFileName();
  if (!platform::fs::IsFile(receivedPath) || platform::fs::Exists(target)) return kVersionFileNotMoved;
  RecordChange change(JournalFolder(), records_);
  change.MoveFile(receivedPath, target, false, true);
  for (const FileStatistics& member : changed) {
    const std::string path = StatisticsPathOf(member);
    if (path.empty()) return kLinkedProjectMissing;
    if (StageStatistics(change, path, member) != 0) return kCheckInNotSaved;
  }
  return change.Commit() ? 0 : kCheckInNotSaved;
}

bool CWexmoorDoc::IsRepeatedCheckIn(const FileStatistics& document, const CheckInRequest& request,
                                    const std::string& receivedPath) {
  if (FirstCheckedOutIndex(document) >= 0) return false;
  FileStatistics latest = document;
  latest.SetHeader(latest.GetVersion(latest.GetLatestVersionIndex()));
  if (latest.GetAuthor() != request.user || latest.GetComments() != request.comments ||
      latest.GetFileSize() != request.fileSize || latest.GetVersion() < 2) {
    return false;
  }
  const std::string stored = GetVersionFilePath(latest);
  return !stored.empty() && HaveSameContent(stored, receivedPath);
}

int CWexmoorDoc::CheckInAlong(std::vector<FileStatistics>& changed, FileStatistics document,
                              const CheckInRequest& request, const std::string& originalProject, int linkVersion,
                              ProjectLockSet& locks, std::set<std::string>& visited) {
  if (!visited.insert(DocumentKey(document)).second || visited.size() > static_cast<std::size_t>(kMaxReferenceDepth)) {
    return kReferenceWalkFailed;
  }
  const std::string owner = document.GetOwnerProject();
  if (!locks.TryAdd(owner, LockTable::kShared)) return kRetryAfterLockRefusal;
  const int held = FirstCheckedOutIndex(document);
  const int oldVersion =
      held >= 0 && document.GetCheckOutReference() == request.reference ? document.GetVersion(held).GetVersion() : -1;
  int code = document.CheckInVersion(request.user, request.reference, request.fileSize, request.comments,
                                     originalProject, linkVersion);
  if (code != 0) return code;

  // The new version links only the references that receive a version pointing at it.
  const ActiveFileLink formerLinks = document.GetLinks();
  RemoveAllLinks(document);
  RemoveAllLinks(NewestVersion(document));
  const std::size_t self = changed.size();
  changed.push_back(document);
  if (request.reference.empty()) return 0;

  const int newVersion = document.GetVersion();
  for (int i = 0; i < formerLinks.GetCount(); ++i) {
    const std::string project = formerLinks.GetAt(i).GetName();
    FileStatistics referencing;
    std::string ignoredPath;
    code = LoadDocument(project, document.GetName(), kLinkedProjectMissing, kLinkedFileNotLoaded, kLinkedFileNotLoaded,
                        referencing, ignoredPath);
    if (code != 0) return code;
    const int shown = HeldVersionShowing(referencing, owner, oldVersion);
    if (shown < 0) continue;
    referencing.SetHeader(referencing.GetVersion(shown));
    code = CheckInAlong(changed, referencing, request, owner, newVersion, locks, visited);
    if (code == FileStatistics::kNothingCheckedOut || code == FileStatistics::kCheckedOutByOther) continue;
    if (code != 0) return code;
    changed[self].AddLink(project);
    NewestVersion(changed[self]).AddLink(project);
  }
  return 0;
}

int CWexmoorDoc::ReleaseAlong(std::vector<FileStatistics>& changed, FileStatistics document,
                              const std::string& reference, ProjectLockSet& locks, std::set<std::string>& visited) {
  if (!visited.insert(DocumentKey(document)).second || visited.size() > static_cast<std::size_t>(kMaxReferenceDepth)) {
    return kReferenceWalkFailed;
  }
  const std::string owner = document.GetOwnerProject();
  if (!locks.TryAdd(owner, LockTable::kShared)) return kRetryAfterLockRefusal;
  const int held = FirstCheckedOutIndex(document);
  const int heldVersion = held >= 0 ? document.GetVersion(held).GetVersion() : -1;
  document.CancelCheckOut();
  changed.push_back(document);
  if (reference.empty()) return 0;
  const ActiveFileLink links = document.GetLinks();
  for (int i = 0; i < links.GetCount(); ++i) {
    FileStatistics referencing;
    std::string ignoredPath;
    const int code = LoadDocument(links.GetAt(i).GetName(), document.GetName(), kLinkedProjectMissing,
                                  kLinkedFileNotLoaded, kLinkedFileNotLoaded, referencing, ignoredPath);
    if (code != 0) return code;
    // References held otherwise, or by nobody, or holding a version that shows
    // another original, are not part of this check-out.
    if (!IsHeldUnder(referencing, reference) || HeldVersionShowing(referencing, owner, heldVersion) < 0) continue;
    if (const int along = ReleaseAlong(changed, referencing, reference, locks, visited); along != 0) return along;
  }
  return 0;
}

int CWexmoorDoc::FindTopOfChain(const FileStatistics& start, const std::string& reference, FileStatistics& top) {
  top = start;
  std::set<std::string> visited{DocumentKey(start)};
  while (!top.GetInternalProjectName().empty()) {
    FileStatistics original;
    std::string ignoredPath;
    const int code = LoadDocument(top.GetInternalProjectName(), top.GetName(), kLinkedProjectMissing,
                                  kOriginalNotListed, kOriginalNotLoaded, original, ignoredPath);
    if (code != 0) return code;
    original.SetHeader(original.GetVersion(original.GetLatestVersionIndex()));
    if (original.GetVersion() != top.GetLinkVersion() || !IsHeldUnder(original, reference)) return 0;
    if (!visited.insert(DocumentKey(original)).second ||
        visited.size() > static_cast<std::size_t>(kMaxReferenceDepth)) {
      return kReferenceWalkFailed;
    }
    top = original;
  }
  return 0;
}

int CWexmoorDoc::LoadDocument(const std::string& project, const std::string& name, int projectMissing,
                              int notListed, int notLoaded, FileStatistics& statistics, std::string& statisticsPath) {
  const std::string folder = FolderOfProject(project);
  if (folder.empty()) return projectMissing;
  const RecordCache::ListRecord list = records_.List(ProjectFileListPath(folder, project));
  const std::string internalFileName = list->LoadFailed() ? "" : list->Lookup(name);
  if (internalFileName.empty()) return notListed;
  statisticsPath = StatisticsPath(folder, internalFileName);
  return LoadStatistics(statisticsPath, statistics) ? 0 : notLoaded;
}

std::string CWexmoorDoc::StatisticsPathOf(const FileStatistics& statistics) {
  const std::string folder = FolderOfProject(statistics.GetOwnerProject());
  return folder.empty() ? "" : StatisticsPath(folder, statistics.GetInternalFileName());
}

int CWexmoorDoc::SaveCheckedOut(const std::vector<FileStatistics>& changed, const FileStatistics& requested,
                                const std::string& requestedPath) {
  RecordChange change(JournalFolder(), records_);
  for (const FileStatistics& member : changed) {
    const std::string path = StatisticsPathOf(member);
    if (path.empty() || StageStatistics(change, path, member) != 0) return kCheckOutRolledBack;
  }
  if (StageStatistics(change, requestedPath, requested) != 0) return kCheckOutRolledBack;
  return change.Commit() ? 0 : kCheckOutRolledBack;
}
