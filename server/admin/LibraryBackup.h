#pragma once
// A consistent copy of a library that a server can start on: "<folder>/library"
// holds the library root as it was at one moment, and "<folder>/WexmoorRootPath.wxf"
// names that copy as the root, so "wexmoor --headless --workdir <folder>" serves it.
// While the root is copied every change of the library waits (the inventory and
// user-table sections are held: every writer of the store's files takes one of
// them), so the copy holds every version acknowledged before it began and none
// half-made; reading goes on. The copy is on disk before success is reported.
#include <string>

class CWexmoorDoc;

class LibraryBackup {
 public:
  explicit LibraryBackup(CWexmoorDoc& document) : document_(document) {}

  // Copies the library into `folder` (a full path), which must not exist or be
  // empty. Empty when done; otherwise why not, with nothing left behind.
  std::string Make(const std::string& folder);

 private:
  // The refusal for `folder`, empty when the copy may go there.
  std::string Refusal(const std::string& folder) const;
  // Copies the root into `target` while changes wait; the reason of a failure.
  std::string CopyHeld(const std::string& target);

  CWexmoorDoc& document_;
};
