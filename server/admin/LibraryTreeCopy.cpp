#include "server/admin/LibraryTreeCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/DiskChangeHook.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"

namespace {

long long Nanoseconds(const struct timespec& time) { return time.tv_sec * 1000000000LL + time.tv_nsec; }

// The entries of a folder with their status (links not followed); false when it cannot be read.
bool ReadFolder(const std::string& path, std::vector<std::pair<std::string, struct stat>>& entries) {
  DIR* folder = ::opendir(path.c_str());
  if (folder == nullptr) return false;
  const int fd = ::dirfd(folder);
  bool ok = true;
  while (const dirent* entry = ::readdir(folder)) {
    if (entry->d_name[0] == '.') continue;  // ".", ".." and temporaries of writes in flight
    struct stat status {};
    if (::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // gone since it was listed; a later pass sees the folder as it is
      ok = false;
      break;
    }
    entries.emplace_back(entry->d_name, status);
  }
  ::closedir(folder);
  return ok;
}

std::string Join(const std::string& folder, const std::string& name) { return folder.empty() ? name : folder + "/" + name; }

}  // namespace

LibraryTreeCopy::LibraryTreeCopy(std::string root, std::string copy) : root_(std::move(root)), copy_(std::move(copy)) {}

std::string LibraryTreeCopy::Pass() {
  std::string problem;
  PassFolder("", problem);
  return problem;
}

bool LibraryTreeCopy::PassFolder(const std::string& relative, std::string& problem) {
  const std::string source = relative.empty() ? root_ : root_ + "/" + relative;
  const std::string target = relative.empty() ? copy_ : copy_ + "/" + relative;
  std::vector<std::pair<std::string, struct stat>> listed;
  if (!ReadFolder(source, listed)) {
    if (errno == ENOENT) return true;  // taken away since its parent was read: the parent's next pass sees it
    problem = "the folder " + source + " could not be read";
    return false;
  }
  struct stat folderStatus {};
  if (!folders_.contains(relative) &&
      (::stat(source.c_str(), &folderStatus) != 0 || !platform::fs::CreateFolder(target) ||
       !platform::ChangeDisk([&] { return ::chmod(target.c_str(), folderStatus.st_mode & 07777); }))) {
    problem = "the folder " + target + " could not be made";
    return false;
  }
  std::vector<Entry> entries;
  for (const auto& [name, status] : listed) {
    if (S_ISLNK(status.st_mode)) {
      problem = source + "/" + name + " is a symbolic link, which a library does not hold";
      return false;
    }
    if (S_ISDIR(status.st_mode) || S_ISREG(status.st_mode)) entries.push_back({name, S_ISDIR(status.st_mode)});
  }
  // What the copy holds that the root no longer does (a project deleted or renamed) goes first.
  for (const Entry& before : folders_[relative]) {
    if (std::find(entries.begin(), entries.end(), before) == entries.end() &&
        !RemoveFromCopy(Join(relative, before.name), before.isFolder, problem)) {
      return false;
    }
  }
  for (const auto& [name, status] : listed) {
    const std::string path = Join(relative, name);
    if (S_ISDIR(status.st_mode)) {
      if (relative.empty() && name == CWexmoorDoc::kTemporaryFolderName) {
        if (!platform::fs::IsFolder(copy_ + "/" + path) && !platform::fs::CreateFolder(copy_ + "/" + path)) {
          problem = "the folder " + copy_ + "/" + path + " could not be made";
          return false;
        }
      } else if (!PassFolder(path, problem)) {
        return false;
      }
      continue;
    }
    if (!S_ISREG(status.st_mode)) continue;
    // Taken before the bytes are read: a change while they are, shows in the next pass.
    const Signature signature{status.st_dev, status.st_ino, status.st_size, Nanoseconds(status.st_mtim),
                              Nanoseconds(status.st_ctim)};
    const auto known = files_.find(path);
    if (known != files_.end() && known->second == signature) continue;
    if (!platform::fs::CopyFile(source + "/" + name, target + "/" + name,
                                known == files_.end() ? platform::fs::CopyMode::FailIfExists
                                                      : platform::fs::CopyMode::Overwrite,
                                platform::fs::CopySync::Unsynced)) {
      if (!platform::fs::Exists(source + "/" + name)) continue;  // replaced or taken away meanwhile
      problem = source + "/" + name + " could not be copied to " + target + "/" + name;
      return false;
    }
    files_[path] = signature;
  }
  folders_[relative] = std::move(entries);
  return true;
}

bool LibraryTreeCopy::RemoveFromCopy(const std::string& relative, bool isFolder, std::string& problem) {
  std::error_code error;
  std::filesystem::remove_all(copy_ + "/" + relative, error);
  if (error) {
    problem = copy_ + "/" + relative + " could not be removed: " + error.message();
    return false;
  }
  if (!isFolder) {
    files_.erase(relative);
    return true;
  }
  const std::string below = relative + "/";
  std::erase_if(files_, [&below](const auto& file) { return file.first.compare(0, below.size(), below) == 0; });
  std::erase_if(folders_, [&](const auto& folder) {
    return folder.first == relative || folder.first.compare(0, below.size(), below) == 0;
  });
  return true;
}
