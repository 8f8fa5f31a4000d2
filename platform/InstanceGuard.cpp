#include "platform/InstanceGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/fs.h"

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

// Opens the lock file and tries once to lock it. -1 when it is held elsewhere or
// cannot be opened.
int TryLock(const std::string& path, bool& mayRetry) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    mayRetry = false;
    return -1;
  }
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return fd;
  mayRetry = errno == EWOULDBLOCK;
  ::close(fd);
  return -1;
}

}  // namespace

InstanceGuard::InstanceGuard(const std::string& name, int timeoutMs, const std::string& lockFolder) {
  const std::string folder = lockFolder.empty() ? DefaultLockFolder() : lockFolder;
  const std::string path = folder + "/" + LockFileName(name);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    bool mayRetry = false;
    fd_ = TryLock(path, mayRetry);
    if (fd_ >= 0 || !mayRetry || std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(kRetryPause);
  }
}

InstanceGuard::~InstanceGuard() { Release(); }

void InstanceGuard::Release() {
  if (fd_ < 0) return;
  // The lock file stays: removing it would let a newcomer lock a fresh file while
  // a waiter still locks the old one.
  ::close(fd_);
  fd_ = -1;
}

std::string InstanceGuard::DefaultLockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && fs::IsFolder(runtime)) return runtime;
  return "/tmp";
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
