#include "server/store/RecordChange.h"

#include <utility>

int RecordChange::WriteStatistics(const std::string& path, const FileStatistics& statistics) {
  std::string content;
  const int code = statistics.Encode(content);
  if (code != 0) return code;
  WriteFile(path, std::move(content));
  written_.insert_or_assign(path, statistics);
  return 0;
}

bool RecordChange::WriteList(const ProjectFileList& list) {
  std::string content;
  if (list.GetPath().empty() || !list.Encode(content)) return false;
  WriteFile(list.GetPath(), std::move(content));
  written_.insert_or_assign(list.GetPath(), list);
  return true;
}

bool RecordChange::AppendToList(const ProjectFileList& list, const std::vector<std::string>& keys) {
  std::string rows;
  if (list.GetPath().empty() || keys.empty()) return false;
  for (const std::string& key : keys) {
    if (!list.EncodeRow(key, rows)) return false;
  }
  if (!StoreChange::AppendFile(list.GetPath(), std::move(rows))) return WriteList(list);
  Touch(list.GetPath());
  written_.insert_or_assign(list.GetPath(), list);
  return true;
}

void RecordChange::WriteFile(const std::string& path, std::string content) {
  Touch(path);
  StoreChange::WriteFile(path, std::move(content));
}

void RecordChange::RemoveFile(const std::string& path) {
  Touch(path);
  StoreChange::RemoveFile(path);
}

void RecordChange::MoveFile(const std::string& from, const std::string& to, bool readOnly, bool synced) {
  Touch(from);
  Touch(to);
  StoreChange::MoveFile(from, to, readOnly, synced);
}

void RecordChange::MoveFolder(const std::string& from, const std::string& to) {
  movedFolders_.push_back(from);
  movedFolders_.push_back(to);
  StoreChange::MoveFolder(from, to);
}

bool RecordChange::Commit() {
  cache_.BeginWrites(touched_);
  const bool committed = StoreChange::Commit();
  for (const std::string& path : touched_) cache_.Drop(path);
  if (committed) {
    for (auto& entry : written_) {
      std::visit([&](auto& parse) { cache_.Put(entry.first, std::move(parse)); }, entry.second);
    }
  }
  // A record written inside a folder that moved is no longer at its path.
  for (const std::string& folder : movedFolders_) cache_.DropBelow(folder);
  cache_.EndWrites(touched_);
  return committed;
}

// A path written again or removed after a write no longer holds the staged record.
void RecordChange::Touch(const std::string& path) {
  written_.erase(path);
  touched_.push_back(path);
}
