#pragma once
// One test seam in front of every call of the platform layer that changes the disk
// (content writes, syncs, renames, links, deletes, folder and mode changes), so a
// test can end the process at exactly the n-th change, the way a crash would.
#include <functional>
#include <string>

namespace platform {

using DiskChangeHook = std::function<void()>;
// Installs the hook for the whole process; null removes it.
void SetDiskChangeHookForTesting(DiskChangeHook hook);
// Runs the hook, if any; called just before each change reaches the disk.
void BeforeDiskChange();

// A failure a test puts in front of the changes that create or write: given the
// path the change touches ("" for a write to an open file), 0 lets it go ahead and
// an errno value makes it fail with that error, as a full disk or a folder that
// cannot be written would. Null removes it.
using DiskFailure = std::function<int(const std::string& path)>;
void SetDiskFailureForTesting(DiskFailure failure);
// Runs the hook; false, with errno set, when an installed failure refuses the change.
bool MayChangeDisk(const std::string& path = {});

// Runs `call`, a system call that changes the disk, after the hook; true when it returned 0.
template <typename Call>
bool ChangeDisk(Call call) {
  return MayChangeDisk() && call() == 0;
}

}  // namespace platform
