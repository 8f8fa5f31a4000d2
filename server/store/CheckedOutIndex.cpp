#include "server/store/CheckedOutIndex.h"

#include <string_view>

namespace {

constexpr std::string_view kStatisticsSuffix = "_FileStatistics.wxf";

bool IsStatisticsPath(const std::string& path) {
  return path.size() >= kStatisticsSuffix.size() &&
         path.compare(path.size() - kStatisticsSuffix.size(), kStatisticsSuffix.size(), kStatisticsSuffix) == 0;
}

}  // namespace

bool CheckedOutIndex::HoldsCheckOut(const FileStatistics& statistics) {
  for (int v = 0; v < statistics.GetVersionCount(); ++v) {
    if (!statistics.GetVersion(v).GetCheckedOutTo().empty()) return true;
  }
  return false;
}

void CheckedOutIndex::Saved(const std::string& path, const FileStatistics& statistics) {
  std::lock_guard<std::mutex> hold(mutex_);
  ++writes_;
  if (HoldsCheckOut(statistics)) {
    Add(path);
  } else {
    candidates_.erase(path);
  }
}

void CheckedOutIndex::Dropped(const std::string& path) {
  if (!IsStatisticsPath(path)) return;
  std::lock_guard<std::mutex> hold(mutex_);
  ++writes_;
  Add(path);
}

void CheckedOutIndex::DroppedBelow(const std::string& folder) {
  std::lock_guard<std::mutex> hold(mutex_);
  ++writes_;
  if (!everythingUnread_) unreadFolders_.push_back(folder);
}

std::vector<std::string> CheckedOutIndex::TakeUnread(bool& everything) {
  std::lock_guard<std::mutex> hold(mutex_);
  everything = everythingUnread_;
  everythingUnread_ = false;
  std::vector<std::string> folders;
  folders.swap(unreadFolders_);
  if (everything) folders.clear();
  return folders;
}

void CheckedOutIndex::MarkUnread(const std::vector<std::string>& folders, bool everything) {
  std::lock_guard<std::mutex> hold(mutex_);
  everythingUnread_ = everythingUnread_ || everything;
  if (everythingUnread_) {
    unreadFolders_.clear();
  } else {
    unreadFolders_.insert(unreadFolders_.end(), folders.begin(), folders.end());
  }
}

void CheckedOutIndex::Found(const std::string& path) {
  std::lock_guard<std::mutex> hold(mutex_);
  Add(path);
}

std::vector<CheckedOutIndex::Candidate> CheckedOutIndex::Candidates() const {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<Candidate> all;
  all.reserve(candidates_.size());
  for (const auto& [path, stamp] : candidates_) all.push_back({path, stamp});
  return all;
}

void CheckedOutIndex::Cleared(const Candidate& candidate) {
  std::lock_guard<std::mutex> hold(mutex_);
  const auto found = candidates_.find(candidate.path);
  if (found != candidates_.end() && found->second == candidate.stamp) candidates_.erase(found);
}

void CheckedOutIndex::Add(const std::string& path) { candidates_[path] = writes_; }
