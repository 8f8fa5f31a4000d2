#include "platform/DiskChangeHook.h"

#include <mutex>

namespace platform {
namespace {

std::mutex hookMutex;
DiskChangeHook diskChangeHook;

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

}  // namespace platform
