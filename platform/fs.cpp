#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <initializer_list>
#include <sstream>
#include <string_view>

#include "platform/DiskChangeHook.h"
#include "platform/Random.h"

namespace platform::fs {
namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

bool StatPath(const std::string& path, struct stat& st) {
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

// The process umask, read without changing it (umask(2) would race other threads).
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

// rename(2) that fails with EEXIST instead of replacing the destination. ENOSYS or
// EINVAL when the kernel or file system cannot do it.
int RenameNoReplace(const std::string& source, const std::string& destination) {
  BeforeDiskChange();
  return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, source.c_str(), AT_FDCWD,
                                    destination.c_str(), RENAME_NOREPLACE));
}

bool WriteAll(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    if (!MayChangeDisk()) return false;
    const ssize_t written = ::write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CopyContent(int from, int to) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(to, buffer, static_cast<std::size_t>(got))) return false;
  }
}

// Puts the finished temporary file at `destination`, replacing it only in Overwrite mode.
bool PlaceFile(const std::string& temporary, const std::string& destination, CopyMode mode) {
  BeforeDiskChange();
  if (mode == CopyMode::Overwrite) return ::rename(temporary.c_str(), destination.c_str()) == 0;
  if (::link(temporary.c_str(), destination.c_str()) == 0) {
    BeforeDiskChange();
    ::unlink(temporary.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  return RenameNoReplace(temporary, destination) == 0;
}

bool MoveByLink(const std::string& source, const std::string& destination) {
  BeforeDiskChange();
  if (::link(source.c_str(), destination.c_str()) != 0) return false;
  BeforeDiskChange();
  if (::unlink(source.c_str()) == 0) return true;
  BeforeDiskChange();
  ::unlink(destination.c_str());
  return false;
}

bool MoveByCopy(const std::string& source, const std::string& destination) {
  if (!IsFile(source) || !CopyFile(source, destination, CopyMode::FailIfExists)) return false;
  BeforeDiskChange();
  if (::unlink(source.c_str()) == 0) return true;
  BeforeDiskChange();
  ::unlink(destination.c_str());
  return false;
}

bool IsOneOf(std::string_view type, std::initializer_list<std::string_view> types) {
  return std::find(types.begin(), types.end(), type) != types.end();
}

// Kernel and process views that hold no user files.
bool IsPseudoFileSystem(const std::string& type, const std::string& root) {
  if (IsOneOf(type, {"proc", "sysfs", "cgroup", "cgroup2", "devpts", "devtmpfs", "mqueue", "debugfs",
                     "tracefs", "securityfs", "pstore", "bpf", "autofs", "hugetlbfs", "configfs",
                     "fusectl", "binfmt_misc", "nsfs", "rpc_pipefs", "efivarfs", "selinuxfs"})) {
    return true;
  }
  const auto under = [&root](const std::string& folder) {
    return root == folder || root.rfind(folder + "/", 0) == 0;
  };
  if (under("/proc") || under("/sys")) return true;
  return type == "tmpfs" && (under("/dev") || under("/run"));
}

bool IsRemoteFileSystem(const std::string& type) {
  return IsOneOf(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "sshfs", "fuse.sshfs", "ceph",
                        "fuse.ceph", "glusterfs", "fuse.glusterfs", "afs", "davfs", "fuse.davfs2", "9p"});
}

// Undoes the octal escapes (\040 for a blank, \011, \012, \134) of /proc/self/mounts.
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += static_cast<char>(((a - '0') << 6) | ((b - '0') << 3) | (c - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

bool IsUnder(const std::string& path, const std::string& root) {
  if (root == "/") return !path.empty() && path[0] == '/';
  return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                          path[root.size()] == '/');
}

}  // namespace

bool Exists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISREG(st.st_mode);
}

bool FileSize(const std::string& path, std::int64_t& size) {
  struct stat st;
  if (!StatPath(path, st)) return false;
  size = static_cast<std::int64_t>(st.st_size);
  return true;
}

bool ModificationTime(const std::string& path, std::time_t& time) {
  struct stat st;
  if (!StatPath(path, st)) return false;
  time = st.st_mtime;
  return true;
}

bool IsReadOnly(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && (st.st_mode & kWriteBits) == 0;
}

bool SetReadOnly(const std::string& path, bool readOnly) {
  struct stat st;
  if (!StatPath(path, st)) return false;
  mode_t mode = st.st_mode & 07777;
  if (readOnly) {
    mode &= ~kWriteBits;
  } else {
    // Owner may always write; group and other get write back where they may read
    // and the umask allows it.
    const mode_t readersToWriters = static_cast<mode_t>((mode & (S_IRGRP | S_IROTH)) >> 1);
    // The umask is costly to read; a file that has those bits already needs none.
    const mode_t missing = readersToWriters & ~mode;
    mode |= S_IWUSR | (missing == 0 ? missing : static_cast<mode_t>(missing & ~CurrentUmask()));
  }
  BeforeDiskChange();
  return ::chmod(path.c_str(), mode) == 0;
}

bool SetNewFileMode(const std::string& path, bool readOnly) {
  mode_t mode = static_cast<mode_t>(0666 & ~CurrentUmask());
  if (readOnly) mode &= ~kWriteBits;
  BeforeDiskChange();
  return !path.empty() && ::chmod(path.c_str(), mode) == 0;
}

bool CopyFile(const std::string& source, const std::string& destination, CopyMode mode, CopySync sync) {
  const int from = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) return false;
  struct stat st;
  if (::fstat(from, &st) != 0 || !S_ISREG(st.st_mode) ||
      (mode == CopyMode::FailIfExists && Exists(destination))) {
    ::close(from);
    return false;
  }
  std::string temporary;
  const int to = CreateTemporaryBeside(destination, "copy", 0600, temporary);
  if (to < 0) {
    ::close(from);
    return false;
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  bool ok = CopyContent(from, to) && ChangeDisk([&] { return ::fchmod(to, st.st_mode & 07777); }) &&
            ChangeDisk([&] { return ::futimens(to, times); }) &&
            (sync == CopySync::Unsynced || ChangeDisk([&] { return ::fsync(to); }));
  ok = (::close(to) == 0) && ok;
  ::close(from);
  ok = ok && PlaceFile(temporary, destination, mode);
  if (!ok) {
    BeforeDiskChange();
    ::unlink(temporary.c_str());
  }
  return ok;
}

bool MoveNoReplace(const std::string& source, const std::string& destination) {
  if (source.empty() || destination.empty()) return false;
  if (RenameNoReplace(source, destination) == 0) return true;
  const int error = errno;
  if (error == EXDEV) return MoveByCopy(source, destination);
  if (error != EINVAL && error != ENOSYS) return false;
  // The file system cannot rename without replacing: a hard link cannot replace either.
  if (MoveByLink(source, destination)) return true;
  return errno == EXDEV && MoveByCopy(source, destination);
}

bool RenameOver(const std::string& source, const std::string& destination) {
  BeforeDiskChange();
  return ::rename(source.c_str(), destination.c_str()) == 0;
}

namespace {

// Runs `call` (fsync, syncfs) on `path` opened for reading, as a disk change.
bool SyncThrough(const std::string& path, int (*call)(int)) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ChangeDisk([fd, call] { return call(fd); });
  ::close(fd);
  return ok;
}

}  // namespace

bool SyncPath(const std::string& path) { return SyncThrough(path, ::fsync); }

bool SyncFileSystemOf(const std::string& path) { return SyncThrough(path, ::syncfs); }

CreateResult CreateNewFile(const std::string& path) {
  if (!MayChangeDisk(path)) return CreateResult::Refused;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST ? CreateResult::Exists : CreateResult::Refused;
  ::close(fd);
  return CreateResult::Created;
}

bool DeleteFile(const std::string& path) {
  BeforeDiskChange();
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool CreateFolder(const std::string& path) {
  if (!MayChangeDisk(path)) return false;
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  return errno == EEXIST && IsFolder(path);
}

bool RemoveFolder(const std::string& path) {
  BeforeDiskChange();
  return ::rmdir(path.c_str()) == 0 || errno == ENOENT;
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries) {
  entries.clear();
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) return false;
  const int dirFd = ::dirfd(dir);
  while (const struct dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry item;
    item.name = name;
    struct stat st;
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) item.isLink = S_ISLNK(st.st_mode);
    if (::fstatat(dirFd, entry->d_name, &st, 0) == 0 ||
        ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      item.isFolder = S_ISDIR(st.st_mode);
      item.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
      item.modified = st.st_mtime;
    }
    entries.push_back(std::move(item));
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  if (!IsFile(path)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool FreeBytes(const std::string& path, std::uint64_t& bytes) {
  struct statvfs st;
  if (::statvfs(path.c_str(), &st) != 0) return false;
  bytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
  return true;
}

std::string ParentFolder(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

int CreateTemporaryBeside(const std::string& path, const std::string& tag, unsigned mode,
                          std::string& temporary) {
  const auto slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string prefix = ParentFolder(path) + "/." + name + "." + tag + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(RandomBelow(0xffffffffu)));
    temporary = prefix + suffix;
    if (!MayChangeDisk(temporary)) return -1;
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

std::vector<Volume> ParseMounts(const std::string& mountsText) {
  std::vector<Volume> volumes{Volume{"/", "", false}};
  std::istringstream lines(mountsText);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, root, type;
    if (!(fields >> device >> root >> type)) continue;
    device = UnescapeMountField(device);
    root = UnescapeMountField(root);
    if (root.empty() || root[0] != '/' || IsPseudoFileSystem(type, root)) continue;
    const std::string label = device + " (" + type + ")";
    const auto known = std::find_if(volumes.begin(), volumes.end(),
                                    [&root](const Volume& v) { return v.root == root; });
    if (known != volumes.end()) {
      // A later mount on the same point hides the earlier one.
      known->label = label;
      known->remote = IsRemoteFileSystem(type);
      continue;
    }
    volumes.push_back(Volume{root, label, IsRemoteFileSystem(type)});
  }
  return volumes;
}

std::vector<Volume> MountedVolumes() {
  std::ifstream file("/proc/self/mounts");
  std::stringstream text;
  text << file.rdbuf();
  return ParseMounts(text.str());
}

std::string VolumeRootOf(const std::string& path) {
  std::string best = "/";
  for (const Volume& volume : MountedVolumes()) {
    if (volume.root.size() > best.size() && IsUnder(path, volume.root)) best = volume.root;
  }
  return best;
}

}  // namespace platform::fs
