#pragma once
// A StoreChange that keeps the record cache true to the disk: once the change is
// committed, the statistics and lists it wrote are put into the cache and every
// other path it touched is dropped; after a failed commit every touched path is.
// The caller holds the locks under which it wrote.
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "server/store/RecordCache.h"
#include "server/store/StoreChange.h"

class RecordChange : private StoreChange {
 public:
  RecordChange(std::string journalFolder, RecordCache& cache) : StoreChange(std::move(journalFolder)), cache_(cache) {}

  // Stages the file's new content: 0 or the statistics writer's code.
  int WriteStatistics(const std::string& path, const FileStatistics& statistics);
  // Stages the list at its own path; false when it refuses to be written.
  bool WriteList(const ProjectFileList& list);
  // The same for a list whose file holds it but for the pairs of `keys`, added last
  // in that order: only those pairs are appended, unless the file cannot take an append.
  bool AppendToList(const ProjectFileList& list, const std::vector<std::string>& keys);
  void WriteFile(const std::string& path, std::string content);
  void RemoveFile(const std::string& path);
  void MoveFile(const std::string& from, const std::string& to, bool readOnly, bool synced = false);
  using StoreChange::CreateFolder;
  void MoveFolder(const std::string& from, const std::string& to);

  bool Commit();

 private:
  void Touch(const std::string& path);

  RecordCache& cache_;
  std::map<std::string, std::variant<FileStatistics, ProjectFileList>> written_;
  std::vector<std::string> touched_;
  std::vector<std::string> movedFolders_;
};
