#include "client/library/DocumentListCache.h"

#include <utility>

#include "client/library/ProjectNode.h"

namespace {

bool IsSafeFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

DocumentListCache::DocumentListCache(RequestLists requestLists) : requestLists_(std::move(requestLists)) {}

std::string DocumentListCache::ListFilePath(const std::string& libraryFolder, const std::string& cacheFileName) {
  if (!IsSafeFileName(cacheFileName)) return std::string();
  if (libraryFolder.empty() || libraryFolder.back() == '/') return libraryFolder + cacheFileName;
  return libraryFolder + "/" + cacheFileName;
}

std::string DocumentListCache::VersionsFilePath(const std::string& libraryFolder, const std::string& cacheFileName) {
  const std::string path = ListFilePath(libraryFolder, cacheFileName);
  return path.empty() ? path : path + "WithVersions";
}


int DocumentListCache::FindSlot(const std::string& indexName) const {
  if (indexName.empty()) return -1;  // free slots hold no index name
  for (int i = 0; i < kSlotCount; ++i) {
    if (slots_[static_cast<std::size_t>(i)].GetProjectIndexName() == indexName) return i;
  }
  return -1;
}

int DocumentListCache::ChooseSlot(const DateTime& now) const {
  for (int i = 0; i < kSlotCount; ++i) {
    if (slots_[static_cast<std::size_t>(i)].GetProjectName().empty()) return i;
  }
  int oldest = 0;
  unsigned int oldestMinutes = 0;
  for (int i = 0; i < kSlotCount; ++i) {
    const unsigned int minutes = now.MinutesBetween(lastUse_[static_cast<std::size_t>(i)]);
    if (minutes > oldestMinutes) {
      oldest = i;
      oldestMinutes = minutes;
    }
  }
  return oldest;
}

bool DocumentListCache::LoadProjectDocuments(ProjectNode& node, const std::string& libraryFolder) {
  if (ProjectNode::IsRootIndexName(node.GetIndexName())) return true;
  DateTime now;
  now.SetNow();
  const int held = FindSlot(node.GetIndexName());
  if (held >= 0) {
    lastUse_[static_cast<std::size_t>(held)] = now;
    current_ = held;
    return true;
  }
  node.MakeCacheFileName();
  const std::string path = ListFilePath(libraryFolder, node.GetCacheFilePath());
  if (path.empty()) return false;
  ProjectDocumentList list;
  if (!list.ReadFile(path)) {
    if (requestLists_) requestLists_(node.GetIndexName());
    return false;
  }
  const int slot = ChooseSlot(now);
  slots_[static_cast<std::size_t>(slot)] = std::move(list);
  lastUse_[static_cast<std::size_t>(slot)] = now;
  current_ = slot;
  return true;
}

bool DocumentListCache::GetProjectDocumentList(const std::string& indexName, ProjectTree& tree,
                                               const std::string& libraryFolder, ProjectDocumentList& list) const {
  if (ProjectNode::IsRootIndexName(indexName)) return false;
  const int held = FindSlot(indexName);
  if (held >= 0) {
    list = slots_[static_cast<std::size_t>(held)];
    return true;
  }
  ProjectNode* node = tree.FindProjectByPath(indexName);
  if (node != nullptr) {
    node->MakeCacheFileName();
    const std::string path = ListFilePath(libraryFolder, node->GetCacheFilePath());
    if (!path.empty() && list.ReadFile(path)) return true;
  }
  list.Clear();
  return false;
}

bool DocumentListCache::RefreshSlot(const ProjectDocumentList& list) {
  const int held = FindSlot(list.GetProjectIndexName());
  if (held < 0) return false;
  slots_[static_cast<std::size_t>(held)] = list;
  lastUse_[static_cast<std::size_t>(held)].SetNow();
  return true;
}

const ProjectDocumentList* DocumentListCache::GetCurrentList() const {
  return current_ < 0 ? nullptr : &slots_[static_cast<std::size_t>(current_)];
}
