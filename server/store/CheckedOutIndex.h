#pragma once
// Which statistics files may hold a checked-out version: every record a writer
// saves with one, every statistics path a writer dropped without saving, and what
// a walk of the unread folders found. It is a superset kept small: a saved record
// with nothing checked out leaves it, and a reader that finds a listed file holds
// nothing checked out takes it out unless a writer touched it since. At first
// the whole library is unread; a folder whose records moved is unread again.
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/store/RecordCache.h"

class CheckedOutIndex : public RecordCache::WriteListener {
 public:
  struct Candidate {
    std::string path;
    std::uint64_t stamp;   // the index's write count when it was last touched
  };

  void Saved(const std::string& path, const FileStatistics& statistics) override;
  void Dropped(const std::string& path) override;
  void DroppedBelow(const std::string& folder) override;

  // Whether a version of the record is checked out.
  static bool HoldsCheckOut(const FileStatistics& statistics);

  // The folders to read again, forgotten as unread; `everything` when that is the
  // whole library (the folders are then empty).
  std::vector<std::string> TakeUnread(bool& everything);
  // Puts back what TakeUnread gave, for a walk that did not finish.
  void MarkUnread(const std::vector<std::string>& folders, bool everything);
  // A file a walk found with a checked-out version.
  void Found(const std::string& path);
  std::vector<Candidate> Candidates() const;
  // Takes the path out unless a writer touched it after `stamp`.
  void Cleared(const Candidate& candidate);

 private:
  void Add(const std::string& path);   // the caller holds the mutex

  mutable std::mutex mutex_;
  std::uint64_t writes_ = 0;
  std::unordered_map<std::string, std::uint64_t> candidates_;
  std::vector<std::string> unreadFolders_;
  bool everythingUnread_ = true;
};
