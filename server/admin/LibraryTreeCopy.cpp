#include "server/admin/LibraryTreeCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/DiskChangeHook.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreFilePaths.h"

namespace {

// File times come from a clock that advances a tick at a time: a folder changed
// within this long before it was listed may change again and keep its time.
constexpr long long kSettledNanoseconds = 1000000000LL;

long long Nanoseconds(const struct timespec& time) { return time.tv_sec * 1000000000LL + time.tv_nsec; }

long long NowNanoseconds() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

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
  copies_ = 0;
  if (PassFolder("", problem)) PassWrittenInPlace(problem);
  return problem;
}

bool LibraryTreeCopy::PassFolder(const std::string& relative, std::string& problem) {
  const std::string source = relative.empty() ? root_ : root_ + "/" + relative;
  // Taken before the folder is read: an entry added or removed later changes its time.
  const long long listedAt = NowNanoseconds();
  struct stat folderStatus {};
  if (::stat(source.c_str(), &folderStatus) != 0) {
    if (errno == ENOENT) return true;  // taken away since its parent was read: the parent's next pass sees it
    problem = "the folder " + source + " could not be read";
    return false;
  }
  const auto known = folders_.find(relative);
  if (known != folders_.end() && known->second.settled && known->second.modified == Nanoseconds(folderStatus.st_mtim)) {
    return PassUnchangedFolder(relative, problem);
  }
  return PassListedFolder(relative, folderStatus, listedAt, problem);
}

bool LibraryTreeCopy::PassListedFolder(const std::string& relative, const struct stat& folderStatus,
                                       long long listedAt, std::string& problem) {
  const std::string source = relative.empty() ? root_ : root_ + "/" + relative;
  const std::string target = relative.empty() ? copy_ : copy_ + "/" + relative;
  std::vector<std::pair<std::string, struct stat>> listed;
  if (!ReadFolder(source, listed)) {
    if (errno == ENOENT) return true;
    problem = "the folder " + source + " could not be read";
    return false;
  }
  if (!folders_.contains(relative) &&
      (!platform::fs::CreateFolder(target) ||
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
    if (S_ISDIR(status.st_mode)) entries.push_back({name, Kind::Folder});
    if (S_ISREG(status.st_mode)) entries.push_back({name, IsVersionFileName(name) ? Kind::Version : Kind::Record});
  }
  std::sort(entries.begin(), entries.end());
  // What the copy holds that the root no longer does (a project deleted or renamed) goes first.
  for (const Entry& before : folders_[relative].entries) {
    if (!std::binary_search(entries.begin(), entries.end(), before) &&
        !RemoveFromCopy(Join(relative, before.name), before.kind == Kind::Folder, problem)) {
      return false;
    }
  }
  for (const auto& [name, status] : listed) {
    if (S_ISDIR(status.st_mode) ? !PassSubfolder(relative, name, problem)
                                : S_ISREG(status.st_mode) && !CopyIfChanged(Join(relative, name), status, problem)) {
      return false;
    }
  }
  const long long modified = Nanoseconds(folderStatus.st_mtim);
  folders_[relative] = {modified, modified + kSettledNanoseconds < listedAt, std::move(entries)};
  return true;
}

bool LibraryTreeCopy::PassUnchangedFolder(const std::string& relative, std::string& problem) {
  // Taken out first: a subfolder's pass adds its own entry to folders_.
  std::vector<std::string> subfolders;
  for (const Entry& entry : folders_[relative].entries) {
    if (entry.kind == Kind::Folder) subfolders.push_back(entry.name);
  }
  for (const std::string& name : subfolders) {
    if (!PassSubfolder(relative, name, problem)) return false;
  }
  return true;
}

bool LibraryTreeCopy::PassWrittenInPlace(std::string& problem) {
  std::string root = std::filesystem::path(root_).lexically_normal().string();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  const std::string below = root + "/";
  for (const std::string& noted : writtenInPlace_.Noted()) {
    const std::string path = std::filesystem::path(noted).lexically_normal().string();
    if (path.compare(0, below.size(), below) != 0) continue;  // another library's
    const std::string relative = path.substr(below.size());
    const std::size_t slash = relative.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : relative.substr(0, slash);
    const std::string name = relative.substr(slash + 1);
    // Only a file its folder's last listing holds: any other is new there, so the
    // folder was listed again, or lies where nothing is copied.
    const auto known = folders_.find(folder);
    if (known == folders_.end() ||
        !std::binary_search(known->second.entries.begin(), known->second.entries.end(), Entry{name, Kind::Record})) {
      continue;
    }
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
      if (errno == ENOENT) continue;  // taken away meanwhile: the folder's time shows it next pass
      problem = path + " could not be read";
      return false;
    }
    if (!S_ISREG(status.st_mode)) {
      problem = path + " is no longer a file";
      return false;
    }
    if (!CopyIfChanged(relative, status, problem)) return false;
  }
  return true;
}

bool LibraryTreeCopy::PassSubfolder(const std::string& relative, const std::string& name, std::string& problem) {
  const std::string path = Join(relative, name);
  if (!relative.empty() || name != CWexmoorDoc::kTemporaryFolderName) return PassFolder(path, problem);
  if (!platform::fs::IsFolder(copy_ + "/" + path) && !platform::fs::CreateFolder(copy_ + "/" + path)) {
    problem = "the folder " + copy_ + "/" + path + " could not be made";
    return false;
  }
  return true;
}

bool LibraryTreeCopy::CopyIfChanged(const std::string& path, const struct stat& status, std::string& problem) {
  // Taken before the bytes are read: a change while they are, shows in the next pass.
  const Signature signature{status.st_dev, status.st_ino, status.st_size, Nanoseconds(status.st_mtim),
                            Nanoseconds(status.st_ctim)};
  const auto known = files_.find(path);
  if (known != files_.end() && known->second == signature) return true;
  const std::string source = root_ + "/" + path;
  const std::string target = copy_ + "/" + path;
  if (!platform::fs::CopyFile(source, target,
                              known == files_.end() ? platform::fs::CopyMode::FailIfExists
                                                    : platform::fs::CopyMode::Overwrite,
                              platform::fs::CopySync::Unsynced)) {
    if (!platform::fs::Exists(source)) return true;  // replaced or taken away meanwhile
    problem = source + " could not be copied to " + target;
    return false;
  }
  files_[path] = signature;
  ++copies_;
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
