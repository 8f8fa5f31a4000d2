#include "platform/InstanceGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace platform {
namespace {

constexpr auto kRetryPause = std::chrono::milliseconds(10);
constexpr std::size_t kMaxNameLength = 150;

bool IsPlainNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

std::uint32_t Fnv1a(const std::string& text) {
  std::uint32_t hash = 2166136261u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

// A real folder (no link) of this user that nobody else may write to.
bool IsPrivateFolder(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
         (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Opens the lock file (never through a link) and tries once to lock it. -1 when
// it is held elsewhere or cannot be opened. A file its holder removed while this
// one waited is not the guard any more: the open is retried.
int TryLock(const std::string& path, bool& mayRetry) {
  mayRetry = false;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev) {
      return fd;
    }
    mayRetry = true;
  } else {
    mayRetry = errno == EWOULDBLOCK;
  }
  ::close(fd);
  return -1;
}

}  // namespace

InstanceGuard::InstanceGuard(const std::string& name, int timeoutMs, const std::string& lockFolder) {
  const std::string folder = lockFolder.empty() ? DefaultLockFolder() : lockFolder;
  if (folder.empty()) return;
  const std::string path = folder + "/" + LockFileName(name);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    bool mayRetry = false;
    fd_ = TryLock(path, mayRetry);
    if (fd_ >= 0) path_ = path;
    if (fd_ >= 0 || !mayRetry || std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(kRetryPause);
  }
}

InstanceGuard::~InstanceGuard() { Release(); }

void InstanceGuard::Release() {
  if (fd_ < 0) return;
  // Removed while still locked; a waiter that then locks the removed file sees it
  // is no longer the named one and opens afresh.
  ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
}

std::string InstanceGuard::DefaultLockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime)) return runtime;
  const std::string own = PrivateTemporaryFolder();
  ::mkdir(own.c_str(), 0700);   // an existing one is checked below
  return IsPrivateFolder(own) ? own : std::string();
}

std::string InstanceGuard::PrivateTemporaryFolder() { return "/tmp/wex-" + std::to_string(::geteuid()); }

std::string InstanceGuard::LockFileName(const std::string& name) {
  std::string plain;
  bool replaced = name.empty() || name[0] == '.';
  for (const char c : name.substr(0, kMaxNameLength)) {
    replaced = replaced || !IsPlainNameCharacter(c);
    plain += IsPlainNameCharacter(c) ? c : '_';
  }
  replaced = replaced || name.size() > kMaxNameLength;
  if (replaced) {
    char hash[16];
    std::snprintf(hash, sizeof hash, "-%08x", static_cast<unsigned>(Fnv1a(name)));
    plain += hash;
  }
  return "wex-" + plain + ".lock";
}

}  // namespace platform
