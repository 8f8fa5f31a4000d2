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
#include <cstring>
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

// The folder when it is usable, else empty after naming its problem on standard
// error and in `problem` when given.
std::string UsableOrReported(const std::string& path, std::string* problem = nullptr) {
  const std::string found = InstanceGuard::LockFolderProblem(path);
  if (found.empty()) return path;
  std::fprintf(stderr, "%s; lock files go to another folder\n", found.c_str());
  if (problem != nullptr) *problem = found;
  return std::string();
}

// Opens the lock file (never through a link) and tries once to lock it. -1 when
// it is held elsewhere or, with `problem` set, cannot be opened or locked. A file
// its holder removed while this one waited is not the guard any more: the open is
// retried.
int TryLock(const std::string& path, bool& mayRetry, std::string& problem) {
  mayRetry = false;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    problem = errno == ELOOP ? "the lock file " + path + " is a link"
                             : "the lock file " + path + " cannot be opened: " + std::strerror(errno);
    return -1;
  }
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
    if (!mayRetry) problem = "the lock file " + path + " cannot be locked: " + std::strerror(errno);
  }
  ::close(fd);
  return -1;
}

}  // namespace

InstanceGuard::InstanceGuard(const std::string& name, int timeoutMs, const std::string& lockFolder) {
  std::string given;
  std::string fallback;
  std::string folder = lockFolder.empty() ? DefaultLockFolder() : UsableOrReported(lockFolder, &given);
  if (folder.empty() && !lockFolder.empty()) folder = UsableOrReported(FallbackLockFolder(), &fallback);
  if (folder.empty()) {
    problem_ = "no lock folder can be used";
    for (const std::string& why : {given, fallback}) problem_ += why.empty() ? "" : "; " + why;
    if (lockFolder.empty()) problem_ += " ($XDG_RUNTIME_DIR, " + PrivateTemporaryFolder() + ", $HOME/.wex-locks)";
    return;
  }
  const std::string path = folder + "/" + LockFileName(name);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    bool mayRetry = false;
    problem_.clear();
    fd_ = TryLock(path, mayRetry, problem_);
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
  if (runtime != nullptr && runtime[0] == '/') {
    const std::string folder = UsableOrReported(runtime);
    if (!folder.empty()) return folder;
  }
  const std::string own = UsableOrReported(PrivateTemporaryFolder());
  return own.empty() ? UsableOrReported(FallbackLockFolder()) : own;
}

std::string InstanceGuard::PrivateTemporaryFolder() { return "/tmp/wex-" + std::to_string(::geteuid()); }

std::string InstanceGuard::FallbackLockFolder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') return std::string();
  return std::string(home) + "/.wex-locks";
}

std::string InstanceGuard::LockFolderProblem(const std::string& path) {
  if (path.empty()) return "no lock folder is known";
  ::mkdir(path.c_str(), 0700);   // an existing one is checked below
  const std::string named = "the lock folder " + path;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return named + " cannot be made: " + std::strerror(errno);
  if (S_ISLNK(info.st_mode)) return named + " is a link";
  if (!S_ISDIR(info.st_mode)) return named + " is not a folder";
  if (info.st_uid != ::geteuid()) return named + " belongs to another user";
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return named + " may be written by other users";
  return std::string();
}

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
