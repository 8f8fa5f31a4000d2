#pragma once
// Makes many files durable with one fsync each, spread over a few threads so that
// their waits overlap; each file's own write-back error reaches the caller, which a
// flush of the whole file system would hand to whichever caller saw it first.
#include <string>
#include <vector>

namespace platform {

// fsync(2) of every path; false when any cannot be opened or synced. `synced`, when
// given, receives for each path whether it was (1) or not (0). The threads are joined
// before it returns; a few paths are synced on the calling thread.
bool SyncInParallel(const std::vector<std::string>& paths, std::vector<char>* synced = nullptr);

}  // namespace platform
