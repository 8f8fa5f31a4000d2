#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "platform/DiskChangeHook.h"
#include "platform/fs.h"

namespace platform {
namespace {

// Large contents go out in pieces so that a failing or interrupted write can hit
// the middle of a file.
constexpr std::size_t kPiece = 1 << 20;

std::mutex hookMutex;
AtomicFile::WriteHook writeHook;

AtomicFile::WriteHook CurrentHook() {
  std::lock_guard<std::mutex> lock(hookMutex);
  return writeHook;
}

bool WriteContent(int fd, std::string_view content) {
  const AtomicFile::WriteHook hook = CurrentHook();
  while (!content.empty()) {
    const std::size_t piece = std::min(content.size(), kPiece);
    if (!MayChangeDisk() || (hook && !hook(piece))) return false;
    const ssize_t written = ::write(fd, content.data(), piece);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  BeforeDiskChange();
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

constexpr unsigned kOwnerOnly = 0600;

// `ownerOnly`: the new file gets kOwnerOnly; otherwise a replaced file keeps its
// permissions and a new one gets the usual 0666 less umask.
bool WriteFile(const std::string& path, std::string_view content, bool ownerOnly) {
  if (path.empty() || path.back() == '/') return false;
  struct stat existing;
  const bool replacing = ::stat(path.c_str(), &existing) == 0;
  if (replacing && !S_ISREG(existing.st_mode)) return false;

  std::string temporary;
  const int fd = fs::CreateTemporaryBeside(path, "tmp", ownerOnly ? kOwnerOnly : 0666, temporary);
  if (fd < 0) return false;
  const bool keepMode = replacing && !ownerOnly;
  bool ok = WriteContent(fd, content) &&
            (!keepMode || ChangeDisk([&] { return ::fchmod(fd, existing.st_mode & 07777); })) &&
            ChangeDisk([&] { return ::fsync(fd); });
  ok = (::close(fd) == 0) && ok;
  ok = ok && ChangeDisk([&] { return ::rename(temporary.c_str(), path.c_str()); });
  if (!ok) {
    BeforeDiskChange();
    ::unlink(temporary.c_str());
    return false;
  }
  return SyncFolder(fs::ParentFolder(path));
}

}  // namespace

bool AtomicFile::Write(const std::string& path, std::string_view content) { return WriteFile(path, content, false); }

bool AtomicFile::WriteOwnerOnly(const std::string& path, std::string_view content) {
  return WriteFile(path, content, true);
}

void AtomicFile::SetWriteHookForTesting(WriteHook hook) {
  std::lock_guard<std::mutex> lock(hookMutex);
  writeHook = std::move(hook);
}

}  // namespace platform
