#include "platform/DiskChangeHook.h"

#include <cerrno>
#include <mutex>

namespace platform {
namespace {

std::mutex hookMutex;
DiskChangeHook diskChangeHook;
DiskFailure diskFailure;

}  // namespace

void SetDiskChangeHookForTesting(DiskChangeHook hook) {
  std::lock_guard<std::mutex> lock(hookMutex);
  diskChangeHook = std::move(hook);
}

void BeforeDiskChange() {
  DiskChangeHook hook;
  {
    // Run outside the lock: a hook may replace itself or end the process.
    std::lock_guard<std::mutex> lock(hookMutex);
    hook = diskChangeHook;
  }
  if (hook) hook();
}

void SetDiskFailureForTesting(DiskFailure failure) {
  std::lock_guard<std::mutex> lock(hookMutex);
  diskFailure = std::move(failure);
}

bool MayChangeDisk(const std::string& path) {
  BeforeDiskChange();
  DiskFailure failure;
  {
    std::lock_guard<std::mutex> lock(hookMutex);
    failure = diskFailure;
  }
  const int error = failure ? failure(path) : 0;
  if (error == 0) return true;
  errno = error;
  return false;
}

}  // namespace platform
