#pragma once
// A named, machine-wide "only one at a time" guard (one running server, one
// library). It holds an exclusive flock on a lock file whose name is made from the
// guard's name; the kernel drops the lock when the process ends in any way, so a
// crashed holder never blocks the next start. Two guards of one name conflict even
// inside one process. Lock files live in a folder only this user may write to, are
// never opened through a link and are removed on release. A lock folder that another
// user could have planted (a link, someone else's, writable by others) is named on
// standard error and passed over for FallbackLockFolder().
#include <string>

namespace platform {

class InstanceGuard {
 public:
  // Tries to take the guard `name` for up to `timeoutMs` milliseconds (0: one try).
  // The lock file lives in `lockFolder`, or in DefaultLockFolder() when it is empty;
  // a `lockFolder` with a LockFolderProblem gives way to FallbackLockFolder().
  InstanceGuard(const std::string& name, int timeoutMs, const std::string& lockFolder = "");
  ~InstanceGuard();
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;

  bool Held() const { return fd_ >= 0; }
  // Why the guard could not be taken when no other holder is the reason (no lock
  // folder can be used, the lock file is a link or cannot be opened), naming the
  // folder or file; empty when it is held, or held by someone else.
  const std::string& Problem() const { return problem_; }
  void Release();   // gives the guard up early; harmless when not held

  // $XDG_RUNTIME_DIR when it is a folder of this user that no one else may write
  // to, else PrivateTemporaryFolder(), else FallbackLockFolder() (both made 0700
  // when missing); empty when none qualifies (no guard can then be held).
  static std::string DefaultLockFolder();
  // "/tmp/wex-<effective user id>".
  static std::string PrivateTemporaryFolder();
  // "$HOME/.wex-locks": a folder other users cannot plant, for when the shared
  // temporary folder has been taken. Empty without a home folder.
  static std::string FallbackLockFolder();
  // Makes `path` (0700) when missing; then empty when it is a real folder of this
  // user that no one else may write to, else why it is not, naming it ("the lock
  // folder /tmp/wex-1000 belongs to another user").
  static std::string LockFolderProblem(const std::string& path);
  // The lock file's name for a guard name: letters, digits, '.', '-' and '_' kept,
  // anything else replaced, with a hash of the full name when something was replaced.
  static std::string LockFileName(const std::string& name);

 private:
  int fd_ = -1;
  std::string path_;
  std::string problem_;
};

}  // namespace platform
