// Adding, deleting and renaming documents and references, and the dependency report.
#include <algorithm>
#include <map>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/NameValidation.h"
#include "common/StringHelpers.h"
#include "platform/ParallelSync.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/RecordChange.h"
#include "server/store/StoreFilePaths.h"

namespace {

std::string Trimmed(std::string text) { return TrimString(text); }

// The key whose value is `internalFileName`, "" when the list has no such value.
std::string KeyOfValue(const ProjectFileList& list, const std::string& internalFileName) {
  if (internalFileName.empty()) return "";
  StringList keys;
  StringList values;
  list.GetKeys(keys);
  list.GetValues(values);
  for (int i = 0; i < values.GetSize(); ++i) {
    if (values.GetAt(i) == internalFileName) return keys.GetAt(i);
  }
  return "";
}

bool IsReferenceVersion(const FileEntry& version) { return !version.GetInternalProjectName().empty(); }

bool IsReferenced(const FileEntry& version) {
  for (int i = 0; i < version.GetLinkCount(); ++i) {
    if (version.GetLinkAt(i).GetCount() > 0) return true;
  }
  return false;
}

// `path`, or the first of path + ".1", ".2", … that is free: a kept copy never replaces another.
std::string UnusedPath(const std::string& path) {
  std::string candidate = path;
  for (int n = 1; platform::fs::Exists(candidate); ++n) candidate = path + "." + std::to_string(n);
  return candidate;
}

}  // namespace

// --- adding -------------------------------------------------------------------------

int CWexmoorDoc::AddDocument(const std::string& name, const std::string& projectInternalName,
                             const std::string& author, const std::string& comments,
                             const std::string& receivedFilePath, int fileSize, FileStatistics& result) {
  std::vector<AddedDocument> added =
      AddDocuments(projectInternalName, author, {NewDocument{name, comments, receivedFilePath, fileSize}});
  result = std::move(added.front().statistics);
  return added.front().code;
}

std::vector<CWexmoorDoc::AddedDocument> CWexmoorDoc::AddDocuments(const std::string& projectInternalName,
                                                                  const std::string& author,
                                                                  const std::vector<NewDocument>& documents) {
  std::vector<AddedDocument> results(documents.size());
  // The received files reach the disk before any section is taken, so that a slow
  // flush holds no other writer; a file that cannot be synced is not added.
  std::vector<std::string> received;
  for (const NewDocument& document : documents) received.push_back(document.receivedFilePath);
  std::vector<char> synced;
  platform::SyncInParallel(received, &synced);
  for (std::size_t i = 0; i < documents.size(); ++i) {
    if (synced[i] == 0) results[i].code = kFileCopyFailed;
  }
  for (std::size_t first = 0; first < documents.size(); first += kAddBatch) {
    AddBatch(projectInternalName, author, documents.data() + first, std::min(kAddBatch, documents.size() - first),
             results.data() + first);
  }
  return results;
}

void CWexmoorDoc::AddBatch(const std::string& projectInternalName, const std::string& author,
                           const NewDocument* documents, std::size_t count, AddedDocument* results) {
  std::vector<std::string> names(count);
  std::vector<std::size_t> offered;
  for (std::size_t i = 0; i < count; ++i) {
    names[i] = Trimmed(documents[i].name);
    if (results[i].code != 0) continue;
    if (projectInternalName.empty() || author.empty() || !IsValidStoredName(names[i])) {
      results[i].code = kBadParameters;
    } else {
      offered.push_back(i);
    }
  }
  if (offered.empty()) return;
  const auto requests = [&] { return LockRequests{{projectInternalName, LockTable::kShared}}; };
  RunUnderLocks(requests, [&](ProjectLockSet&) {
    const std::string folder = FolderOfProject(projectInternalName);
    ProjectFileList list;
    const int refusal = folder.empty() ? kNoProjectMatch
                        : !LoadList(ProjectFileListPath(folder, projectInternalName), list) ? kFileCopyFailed
                                                                                             : 0;
    std::vector<std::size_t> accepted;
    std::unordered_set<std::string> taken;
    for (const std::size_t i : offered) {
      const bool duplicate = list.Contains(names[i]) || !taken.insert(names[i]).second;
      results[i].code = refusal != 0 ? refusal : duplicate ? kDuplicateFileName : 0;
      if (results[i].code == 0) accepted.push_back(i);
    }
    if (accepted.empty()) return 0;
    const std::vector<std::string> internalNames = GenerateInternalNames(static_cast<int>(accepted.size()));
    RecordChange change(JournalFolder(), records_);
    std::vector<std::string> keys;
    for (std::size_t k = 0; k < accepted.size(); ++k) {
      const std::size_t i = accepted[k];
      if (internalNames.empty()) {
        results[i].code = kFileCopyFailed;
        continue;
      }
      const NewDocument& document = documents[i];
      FileEntry header;
      header.SetName(names[i]);
      header.SetAuthor(author);
      header.SetComments(document.comments);
      header.SetVersion(1);
      header.SetFileSize(document.fileSize);
      header.SetInternalFileName(internalNames[k]);
      header.StampCreated();
      FileStatistics& statistics = results[i].statistics;
      statistics.SetOwnerProject(projectInternalName);
      statistics.SetHeader(header);
      statistics.AddVersion(header);
      // Staged first: statistics that cannot be written leave nothing staged.
      results[i].code = StageStatistics(change, StatisticsPath(folder, internalNames[k]), statistics);
      if (results[i].code != 0) continue;
      change.MoveFile(document.receivedFilePath, folder + header.GetVersionFileName(), true, true);
      list.Add(names[i], internalNames[k]);
      keys.push_back(names[i]);
    }
    // The list's rows last, so that nothing is ever listed without its files.
    const bool committed = keys.empty() || (change.AppendToList(list, keys) && change.Commit());
    for (const std::size_t i : accepted) {
      if (!committed && results[i].code == 0) results[i].code = kFileCopyFailed;
    }
    return 0;
  });
}

int CWexmoorDoc::AddReference(const std::string& name, const std::string& destinationInternalName,
                              const std::string& comments, const std::string& originalProjectInternalName,
                              int version, FileStatistics& result, bool originalEdition, bool replaceExisting) {
  if (originalProjectInternalName == destinationInternalName) return kReferenceToSameProject;
  const auto requests = [&] {
    return LockRequests{{originalProjectInternalName, LockTable::kShared}, {destinationInternalName, LockTable::kShared}};
  };
  return RunUnderLocks(requests, [&](ProjectLockSet&) {
    const std::string originalFolder = FolderOfProject(originalProjectInternalName);
    if (originalFolder.empty()) return kOriginalProjectMissing;
    const std::string destinationFolder = FolderOfProject(destinationInternalName);
    if (destinationFolder.empty()) return kDestinationMissing;

    // The destination's list is read here, under its lock, so that no document
    // added meanwhile is lost when it is saved.
    ProjectFileList destinationList;
    if (!LoadList(ProjectFileListPath(destinationFolder, destinationInternalName), destinationList)) {
      return kDestinationListNotSaved;
    }
    const bool replace = destinationList.Contains(name);
    if (replace && !replaceExisting) return kDuplicateFileName;

    ProjectFileList originalList;
    if (!LoadList(ProjectFileListPath(originalFolder, originalProjectInternalName), originalList)) {
      return kOriginalDocumentMissing;
    }
    const std::string originalFileName = originalList.Lookup(name);
    if (originalFileName.empty()) return kOriginalDocumentMissing;
    const std::string originalPath = StatisticsPath(originalFolder, originalFileName);
    FileStatistics original;
    if (!LoadStatistics(originalPath, original)) return kOriginalDocumentMissing;
    int found = -1;
    for (int i = 0; i < original.GetVersionCount() && found < 0; ++i) {
      if (original.GetVersion(i).GetVersion() == version) found = i;
    }
    if (found < 0) return kOriginalVersionMissing;
    // A reference whose original leads back into the destination would make a
    // chain without end, and its document could never be read again.
    if (ReferenceChainReaches(original.GetVersion(found), name, destinationInternalName)) {
      return kReferenceToSameProject;
    }

    FileStatistics existing;
    if (replace) {
      if (!LoadStatistics(StatisticsPath(destinationFolder, destinationList.Lookup(name)), existing)) {
        return kExistingReferenceNotLoaded;
      }
      for (int i = 0; i < existing.GetVersionCount(); ++i) {
        if (!existing.GetVersion(i).GetCheckedOutTo().empty()) return kExistingReferenceCheckedOut;
      }
    }
    const std::string internalFileName =
        replace ? existing.GetVersion(0).GetInternalFileName() : GenerateInternalName();
    if (internalFileName.empty()) return kReferenceNotSaved;

    FileEntry header = original.GetVersion(found);
    header.SetComments(comments);
    header.SetInternalFileName(internalFileName);
    header.SetInternalProjectName(originalProjectInternalName);
    header.SetOriginalEdition(originalEdition);
    const int latest = existing.GetLatestVersionIndex();
    header.SetVersion(replace && latest >= 0 ? existing.GetVersion(latest).GetVersion() + 1 : 1);
    header.SetLinkVersion(version);
    while (header.GetLinkCount() > 0) header.RemoveLink(header.GetLinkAt(0).GetName());
    FileStatistics reference = replace ? existing : FileStatistics();
    reference.SetOwnerProject(destinationInternalName);
    reference.SetHeader(header);
    reference.AddVersion(header);
    result = reference;

    FileStatistics linkedOriginal = original;
    linkedOriginal.GetVersion(found).AddLink(destinationInternalName);
    linkedOriginal.SetHeader(linkedOriginal.GetVersion(found));

    RecordChange change(JournalFolder(), records_);
    if (StageStatistics(change, StatisticsPath(destinationFolder, internalFileName), reference) != 0) {
      return kReferenceNotSaved;
    }
    if (StageStatistics(change, originalPath, linkedOriginal) != 0) return kOriginalNotSaved;
    if (!replace && (!destinationList.Add(name, internalFileName) || !change.AppendToList(destinationList, {name}))) {
      return kDestinationListNotSaved;
    }
    return change.Commit() ? 0 : kReferenceNotSaved;
  });
}

bool CWexmoorDoc::ReferenceChainReaches(FileEntry version, const std::string& name, const std::string& project) {
  for (int depth = 0; !version.GetInternalProjectName().empty(); ++depth) {
    const std::string next = version.GetInternalProjectName();
    if (next == project || depth >= kMaxReferenceDepth) return true;
    FileStatistics statistics;
    std::string ignoredPath;
    if (LoadDocument(next, name, kNoProjectMatch, kNoProjectMatch, kNoProjectMatch, statistics, ignoredPath) != 0) {
      return false;
    }
    int shown = -1;
    for (int i = 0; i < statistics.GetVersionCount() && shown < 0; ++i) {
      if (statistics.GetVersion(i).GetVersion() == version.GetLinkVersion()) shown = i;
    }
    if (shown < 0) return false;
    version = statistics.GetVersion(shown);
  }
  return false;
}

// --- dependents -----------------------------------------------------------------------

bool CWexmoorDoc::AppendDependentLines(const ProjectSnapshot& project, const FileStatistics& statistics,
                                       StringList& report) {
  bool found = false;
  for (int v = 0; v < statistics.GetVersionCount(); ++v) {
    const FileEntry& version = statistics.GetVersion(v);
    for (int l = 0; l < version.GetLinkCount(); ++l) {
      const ActiveFileLinkEntry link = version.GetLinkAt(l);
      if (link.GetCount() <= 0) continue;
      const std::string folder = GetProjectFolderPath(link.GetName());
      const std::string displayPath = folder.empty() ? kUnresolvedHierarchy : GetProjectDisplayPath(folder);
      report.Add("[" + project.name + " (" + project.internalName + ")]:[" + version.GetName() + ";" +
                 std::to_string(version.GetVersion()) + " (" + version.GetInternalFileName() +
                 ")] has dependent in project [" + displayPath + " (" + link.GetName() + ")]\r\n");
      found = true;
    }
  }
  return found;
}

bool CWexmoorDoc::CheckDocumentDependents(const ProjectSnapshot& project, const std::string& internalFileName,
                                          StringList& report) {
  bool result = !report.IsEmpty();
  FileStatistics statistics;
  if (!LoadStatistics(StatisticsPath(project.folder, internalFileName), statistics)) return result;
  return AppendDependentLines(project, statistics, report) || result;
}

bool CWexmoorDoc::CheckProjectDependents(const std::vector<ProjectSnapshot>& subtree, StringList& report) {
  bool result = !report.IsEmpty();
  for (const ProjectSnapshot& project : subtree) {
    ProjectFileList list;
    if (!LoadList(ProjectFileListPath(project.folder, project.internalName), list)) continue;
    StringList values;
    list.GetValues(values);
    for (int i = 0; i < values.GetSize(); ++i) {
      FileStatistics statistics;
      if (!LoadStatistics(StatisticsPath(project.folder, values.GetAt(i)), statistics)) continue;
      if (AppendDependentLines(project, statistics, report)) result = true;
    }
  }
  return result;
}

// --- giving references back -----------------------------------------------------------

void CWexmoorDoc::CollectReferences(const FileStatistics& statistics, const std::string& referencingProject,
                                    std::vector<ReferenceVersion>& references) {
  for (int v = 0; v < statistics.GetVersionCount(); ++v) {
    const FileEntry& version = statistics.GetVersion(v);
    if (!IsReferenceVersion(version)) continue;
    references.push_back(
        ReferenceVersion{version.GetInternalProjectName(), version.GetLinkVersion(), referencingProject, version.GetName()});
  }
}

bool CWexmoorDoc::HoldOriginals(ProjectLockSet& locks, const std::vector<ReferenceVersion>& references) {
  for (const ReferenceVersion& reference : references) {
    if (!HoldOrTake(locks, reference.originalProject, LockTable::kShared)) return false;
  }
  return true;
}

void CWexmoorDoc::StageReleasedReferences(const std::vector<ReferenceVersion>& references, RecordChange& change) {
  // Several references may lower counts of one original: each is read and written once.
  std::map<std::string, FileStatistics> originals;
  for (const ReferenceVersion& reference : references) {
    const std::string folder = FolderOfProject(reference.originalProject);
    if (folder.empty()) continue;
    ProjectFileList list;
    if (!LoadList(ProjectFileListPath(folder, reference.originalProject), list)) continue;
    const std::string internalFileName = list.Lookup(reference.documentName);
    if (internalFileName.empty()) continue;
    const std::string path = StatisticsPath(folder, internalFileName);
    auto found = originals.find(path);
    if (found == originals.end()) {
      FileStatistics loaded;
      if (!LoadStatistics(path, loaded)) continue;
      found = originals.emplace(path, loaded).first;
    }
    FileStatistics& original = found->second;
    for (int v = 0; v < original.GetVersionCount(); ++v) {
      if (original.GetVersion(v).GetVersion() != reference.linkVersion) continue;
      original.GetVersion(v).RemoveLink(reference.referencingProject);
      break;
    }
    if (original.GetVersion() == reference.linkVersion) original.RemoveLink(reference.referencingProject);
  }
  for (const auto& [path, original] : originals) StageStatistics(change, path, original);
}

// --- deleting and renaming ---------------------------------------------------------------

int CWexmoorDoc::DeleteDocument(const std::string& projectInternalName, const std::string& internalFileName,
                                StringList& report) {
  const auto requests = [&] { return LockRequests{{projectInternalName, LockTable::kShared}}; };
  return RunUnderLocks(requests, [&](ProjectLockSet& locks) {
    ProjectSnapshot project;
    if (!SnapshotProject(projectInternalName, project)) return 0;
    ProjectFileList list;
    if (!LoadList(ProjectFileListPath(project.folder, project.internalName), list)) return 0;
    const std::string displayName = KeyOfValue(list, internalFileName);
    if (displayName.empty()) return 0;  // not a document of this project
    if (CheckDocumentDependents(project, internalFileName, report)) return kHasDependents;
    FileStatistics statistics;
    if (!LoadStatistics(StatisticsPath(project.folder, internalFileName), statistics)) return 0;
    std::vector<ReferenceVersion> references;
    CollectReferences(statistics, project.internalName, references);
    if (!HoldOriginals(locks, references)) return kRetryAfterLockRefusal;
    return DeleteDocumentFiles(project, list, displayName, statistics, references);
  });
}

int CWexmoorDoc::DeleteDocumentFiles(const ProjectSnapshot& project, ProjectFileList& list,
                                     const std::string& displayName, const FileStatistics& statistics,
                                     const std::vector<ReferenceVersion>& references) {
  // Everything of the document is kept: its statistics and version files move there.
  const std::string keepFolder = EnsureTrailingBackslash(GetRootPath()) + kDeletedDocumentsFolder + "/";
  const std::string statisticsName = statistics.GetVersion(0).GetInternalFileName();
  RecordChange change(JournalFolder(), records_);
  change.CreateFolder(keepFolder);
  if (StageStatistics(change, StatisticsPath(keepFolder, statisticsName), statistics) != 0) return kFileCopyFailed;
  if (!list.Remove(displayName) || !StageList(change, list)) return kFileCopyFailed;
  StageReleasedReferences(references, change);
  for (int v = 0; v < statistics.GetVersionCount(); ++v) {
    const FileEntry& version = statistics.GetVersion(v);
    const std::string source = project.folder + version.GetVersionFileName();
    if (IsReferenceVersion(version) || !platform::fs::Exists(source)) continue;
    change.MoveFile(source, UnusedPath(keepFolder + version.GetVersionFileName()), false);
  }
  change.RemoveFile(StatisticsPath(project.folder, statisticsName));
  return change.Commit() ? 0 : kFileCopyFailed;
}

bool CWexmoorDoc::RenameDocument(const std::string& projectInternalName, const std::string& internalFileName,
                                 const std::string& newName, bool* notSaved) {
  constexpr int kNotSaved = 2;
  const std::string name = Trimmed(newName);
  if (!IsValidStoredName(name)) return false;
  const auto requests = [&] { return LockRequests{{projectInternalName, LockTable::kExclusive}}; };
  const int renamed = RunUnderLocks(requests, [&](ProjectLockSet&) {
    ProjectSnapshot project;
    if (!SnapshotProject(projectInternalName, project)) return 0;
    ProjectFileList list;
    if (!LoadList(ProjectFileListPath(project.folder, project.internalName), list)) return 0;
    const std::string oldName = KeyOfValue(list, internalFileName);
    if (oldName.empty() || list.Contains(name)) return 0;
    const std::string path = StatisticsPath(project.folder, internalFileName);
    FileStatistics statistics;
    if (!LoadStatistics(path, statistics)) return 0;
    FileStatistics renamedStatistics = statistics;
    for (int v = 0; v < renamedStatistics.GetVersionCount(); ++v) {
      FileEntry& version = renamedStatistics.GetVersion(v);
      if (IsReferenceVersion(version) || IsReferenced(version)) return 0;
      version.SetName(name);
    }
    renamedStatistics.SetName(name);
    RecordChange change(JournalFolder(), records_);
    if (StageStatistics(change, path, renamedStatistics) != 0) return kNotSaved;
    if (!list.Remove(oldName) || !list.Add(name, internalFileName) || !StageList(change, list)) return kNotSaved;
    return change.Commit() ? 1 : kNotSaved;
  });
  if (notSaved != nullptr) *notSaved = renamed == kNotSaved;
  return renamed == 1;
}
