#include "server/admin/LibraryBackup.h"

#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "common/FileHelpers.h"
#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/CriticalSection.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFolders.h"

namespace {

constexpr const char* kRootFolderName = "library";

// Copies the files and folders below `from` into the new folder `to`, modes kept.
// Files that are neither (the server's own socket) are not library data; the
// contents of "TemporaryFiles" are uploads nobody was told about yet.
bool CopyTree(const std::string& from, const std::string& to, std::string& problem) {
  if (!platform::fs::CreateFolder(to)) {
    problem = "the folder " + to + " could not be made";
    return false;
  }
  std::vector<platform::fs::FolderEntry> entries;
  if (!platform::fs::ListFolder(from, entries)) {
    problem = "the folder " + from + " could not be read";
    return false;
  }
  for (const platform::fs::FolderEntry& entry : entries) {
    const std::string source = from + "/" + entry.name;
    const std::string target = to + "/" + entry.name;
    if (entry.isLink) {
      problem = source + " is a symbolic link, which a library does not hold";
      return false;
    }
    if (entry.isFolder) {
      const bool uploads = entry.name == CWexmoorDoc::kTemporaryFolderName;
      if (uploads ? !platform::fs::CreateFolder(target) : !CopyTree(source, target, problem)) {
        if (problem.empty()) problem = "the folder " + target + " could not be made";
        return false;
      }
    } else if (platform::fs::IsFile(source) &&
               !platform::fs::CopyFile(source, target, platform::fs::CopyMode::FailIfExists)) {
      problem = source + " could not be copied to " + target;
      return false;
    }
  }
  return true;
}

}  // namespace

std::string LibraryBackup::Refusal(const std::string& folder) const {
  std::vector<platform::fs::FolderEntry> entries;
  if (platform::fs::Exists(folder) && (!platform::fs::ListFolder(folder, entries) || !entries.empty())) {
    return folder + " exists and is not an empty folder: a backup goes into a new or empty folder";
  }
  const std::string root = document_.GetRootPath();
  if (IsFolderOrBelow(folder, root)) return folder + " lies inside the library root " + root;
  if (!document_.GetPendingOldRoot().empty()) {
    return "The library root is being moved from " + document_.GetPendingOldRoot() +
           "; back the library up once the move has finished";
  }
  return "";
}

std::string LibraryBackup::CopyHeld(const std::string& target) {
  platform::CriticalSection::Lock inventory(document_.GetInventorySection());
  platform::CriticalSection::Lock users(document_.GetUserTableSection());
  std::string problem;
  CopyTree(document_.GetRootPath(), target, problem);
  return problem;
}

std::string LibraryBackup::Make(const std::string& folder) {
  if (std::string refusal = Refusal(folder); !refusal.empty()) return refusal;
  const bool made = !platform::fs::Exists(folder);
  if (made && (!CreateFolderPath(folder) || ::chmod(folder.c_str(), 0700) != 0)) {
    return "The folder " + folder + " could not be made";
  }
  const std::string root = folder + "/" + kRootFolderName;
  const std::string rootPathFile = folder + "/" + CWexmoorDoc::kRootPathFileName;
  std::string problem = CopyHeld(root);
  if (problem.empty()) {
    const std::string line =
        AppendBoolField(document_.IsOnlyLatestCheckOut(), AppendStringField("", AppendStringField(root, "")));
    if (!platform::AtomicFile::Write(rootPathFile, line)) problem = rootPathFile + " could not be written";
  }
  if (problem.empty() && !platform::fs::SyncFileSystemOf(folder)) problem = "the copy could not be flushed to disk";
  if (problem.empty()) return "";

  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  platform::fs::DeleteFile(rootPathFile);
  if (made) platform::fs::RemoveFolder(folder);
  return "The library was not backed up: " + problem;
}
