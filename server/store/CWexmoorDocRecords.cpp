// Reading record files through the cache.
#include <string>

#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreFilePaths.h"

bool CWexmoorDoc::LoadStatistics(const std::string& path, FileStatistics& statistics) {
  const RecordCache::StatisticsRecord record = records_.Statistics(path);
  if (record) statistics = *record;
  return record != nullptr;
}

bool CWexmoorDoc::LoadList(const std::string& path, ProjectFileList& list) {
  list = *records_.List(path);
  return !list.LoadFailed();
}

RecordCache::StatisticsRecord CWexmoorDoc::DocumentStatistics(const std::string& folder, const std::string& project,
                                                              const std::string& name) {
  const RecordCache::ListRecord list = records_.List(ProjectFileListPath(folder, project));
  const std::string internalFileName = list->LoadFailed() ? "" : list->Lookup(name);
  return internalFileName.empty() ? nullptr : records_.Statistics(StatisticsPath(folder, internalFileName));
}
