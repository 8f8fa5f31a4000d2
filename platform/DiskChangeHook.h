#pragma once
// One test seam in front of every call of the platform layer that changes the disk
// (content writes, syncs, renames, links, deletes, folder and mode changes), so a
// test can end the process at exactly the n-th change, the way a crash would.
#include <functional>

namespace platform {

using DiskChangeHook = std::function<void()>;
// Installs the hook for the whole process; null removes it.
void SetDiskChangeHookForTesting(DiskChangeHook hook);
// Runs the hook, if any; called just before each change reaches the disk.
void BeforeDiskChange();

// Runs `call`, a system call that changes the disk, after the hook; true when it returned 0.
template <typename Call>
bool ChangeDisk(Call call) {
  BeforeDiskChange();
  return call() == 0;
}

}  // namespace platform
