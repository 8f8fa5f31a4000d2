#include "client/document/ShownLocalFolders.h"

#include "platform/fs.h"

void ShownLocalFolders::Remember(const std::string& libraryFolder, const std::string& folder) {
  if (folder.empty()) {
    folders_.erase(libraryFolder);
  } else {
    folders_[libraryFolder] = folder;
  }
}

std::string ShownLocalFolders::Find(const std::string& libraryFolder) const {
  const auto found = folders_.find(libraryFolder);
  return found != folders_.end() && platform::fs::IsFolder(found->second) ? found->second : std::string();
}
