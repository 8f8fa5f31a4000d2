// Who holds which document: the checked-out index, and the walk of what it has not seen.
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/StringHelpers.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ProjectFolders.h"
#include "server/store/StoreFilePaths.h"

namespace {

struct ProjectRecords {
  std::string folder;   // on disk, ending in the separator
  std::string internalName;
};

bool LiesInAny(const std::string& folder, const std::vector<std::string>& folders) {
  for (const std::string& unread : folders) {
    if (IsFolderOrBelow(folder, unread)) return true;
  }
  return false;
}

}  // namespace

void CWexmoorDoc::ReadUnreadCheckOuts() {
  std::lock_guard<std::mutex> one(checkedOutWalkMutex_);
  bool everything = false;
  const std::vector<std::string> unread = checkedOut_.TakeUnread(everything);
  if (!everything && unread.empty()) return;
  std::vector<ProjectRecords> projects;
  {
    std::shared_lock<std::shared_mutex> latch(treeLatch_);
    std::vector<const ServerProject*> pending;
    for (int i = 0; i < projects_.GetSize(); ++i) pending.push_back(projects_.GetAt(i));
    while (!pending.empty()) {
      const ServerProject* project = pending.back();
      pending.pop_back();
      const std::string folder = EnsureTrailingBackslash(DiskFolder(project->GetFolderPath()));
      if (everything || LiesInAny(folder, unread)) projects.push_back({folder, project->GetInternalName()});
      for (int i = 0; i < project->GetSubProjectCount(); ++i) pending.push_back(project->GetSubProjects().GetAt(i));
    }
  }
  // Read from disk, not through the cache: a walk of the library would push out what clients use.
  for (const ProjectRecords& project : projects) {
    if (stopCheckedOutWalk_) break;
    const ProjectFileList list(ProjectFileListPath(project.folder, project.internalName));
    list.ForEachValue([&](const std::string& internalFileName) {
      if (stopCheckedOutWalk_) return;
      const std::string path = StatisticsPath(project.folder, internalFileName);
      FileStatistics statistics;
      int line = 0;
      if (statistics.Load(path, line) == 0 && CheckedOutIndex::HoldsCheckOut(statistics)) checkedOut_.Found(path);
    });
  }
  if (stopCheckedOutWalk_) checkedOut_.MarkUnread(unread, everything);
}

void CWexmoorDoc::StartCheckedOutWalk() {
  if (started_ && !checkedOutWalk_.joinable()) checkedOutWalk_ = std::thread([this] { ReadUnreadCheckOuts(); });
}

std::vector<std::pair<std::string, RecordCache::StatisticsRecord>> CWexmoorDoc::CheckedOutDocuments() {
  ReadUnreadCheckOuts();
  std::vector<std::pair<std::string, RecordCache::StatisticsRecord>> held;
  for (const CheckedOutIndex::Candidate& candidate : checkedOut_.Candidates()) {
    RecordCache::StatisticsRecord statistics = records_.Statistics(candidate.path);
    if (statistics && CheckedOutIndex::HoldsCheckOut(*statistics)) {
      held.emplace_back(candidate.path, std::move(statistics));
    } else {
      checkedOut_.Cleared(candidate);
    }
  }
  return held;
}
