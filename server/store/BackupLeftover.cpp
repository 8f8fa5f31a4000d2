#include "server/store/BackupLeftover.h"

#include <filesystem>
#include <span>
#include <system_error>

#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"

bool BackupLeftover::IsIn(const std::string& folder) {
  return platform::fs::IsFolder(folder + "/" + kInProgressName);
}

bool BackupLeftover::Remove(const std::string& folder, std::string& problem) {
  std::string parts[] = {folder + "/" + kInProgressName, folder + "/" + kCopyName};
  const bool copyIsWhole = platform::fs::Exists(folder + "/" + CWexmoorDoc::kRootPathFileName);
  for (const std::string& part : std::span<std::string>(parts, copyIsWhole ? 1 : 2)) {
    std::error_code error;
    std::filesystem::remove_all(part, error);
    if (error) {
      problem = part + " could not be removed: " + error.message();
      return false;
    }
  }
  if (!platform::fs::SyncPath(folder)) {
    problem = folder + " could not be flushed to disk";
    return false;
  }
  return true;
}
