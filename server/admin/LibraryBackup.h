#pragma once
// A whole copy of a library that a server can start on: "<folder>/library" holds
// the library root as it was at one moment, and "<folder>/WexmoorRootPath.wxf"
// names that copy as the root, so "wexmoor --headless --workdir <folder>" serves it.
// The root is copied while the library works on; then, holding the inventory and
// user-table sections (every writer of the library's files takes one of them) for a
// short last pass, what changed meanwhile. The copy grows under a temporary name
// inside the folder and takes its names only when whole and on disk, the root-path
// file last: a backup cut short leaves nothing a server would start on.
#include <string>

class CWexmoorDoc;

class LibraryBackup {
 public:
  explicit LibraryBackup(CWexmoorDoc& document) : document_(document) {}

  // Copies the library into `folder` (a full path), which must not exist, be empty
  // or hold only what a cut backup left (which goes). Empty when done; otherwise why
  // not, with nothing left behind.
  std::string Make(const std::string& folder);

  // How long the last Make held the library's writers, in microseconds.
  long long HeldMicroseconds() const { return heldMicroseconds_; }

 private:
  // The refusal for `folder`, empty when the copy may go there.
  std::string Refusal(const std::string& folder) const;
  // The refusal while the library root moves or moved away from `root`; the caller
  // holds the sections when the answer must hold.
  std::string MoveRefusal(const std::string& root) const;
  // Copies the root into `copy`; the reason of a failure.
  std::string Copy(const std::string& root, const std::string& copy);
  // Moves the whole copy in `inProgress` to its names in `folder`; the reason of a failure.
  static std::string Place(const std::string& inProgress, const std::string& folder);

  CWexmoorDoc& document_;
  long long heldMicroseconds_ = 0;
};
