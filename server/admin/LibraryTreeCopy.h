#pragma once
// Keeps a copy of a library root up to date pass by pass. The first pass copies
// every file; each later one copies only the files changed since (another inode,
// size, modification or change time). A folder whose modification time stands as
// the pass before saw it, well settled then, has the same entries, each the same
// file: record files are replaced by rename, which dates the folder, or written in
// place by the library's writers, which note it (InPlaceWrites), and version files
// never change. Such a folder is not listed again and none of its files is looked
// at, only its subfolders and the files noted since the copy began: a pass costs
// what changed, not what the library holds. Names beginning with '.' are
// temporaries of writes in flight, the contents of "TemporaryFiles" are uploads
// nobody was told about yet, and what is neither file nor folder (the server's
// socket) is no library data: none is copied. Copies are not synced one by one:
// the caller flushes the copy's file system once.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/store/InPlaceWrites.h"

class LibraryTreeCopy {
 public:
  // Watches the library's in-place writes from here on: make it while holding the
  // library's writers, or a write in flight may go unnoted.
  LibraryTreeCopy(std::string root, std::string copy);

  // Brings the copy up to the root as it is now; empty when done, else why not.
  std::string Pass();
  // The files the last pass copied.
  std::size_t LastPassCopies() const { return copies_; }

 private:
  struct Signature {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modified = 0;  // nanoseconds
    long long changed = 0;
    bool operator==(const Signature&) const = default;
  };
  enum class Kind { Folder, Record, Version };
  struct Entry {
    std::string name;
    Kind kind = Kind::Record;
    auto operator<=>(const Entry&) const = default;
  };
  struct Folder {
    long long modified = 0;  // nanoseconds, as it stood before it was listed
    bool settled = false;    // modified well before it was listed, so a later change shows
    std::vector<Entry> entries;  // sorted, so that one is found without a walk over all
  };

  // Brings the folder at `relative` ("" for the root) up to date; false with `problem` set.
  bool PassFolder(const std::string& relative, std::string& problem);
  // Lists the folder again and brings every entry up to date.
  bool PassListedFolder(const std::string& relative, const struct stat& folderStatus, long long listedAt,
                        std::string& problem);
  // Visits the subfolders of a folder whose entries are as the last pass saw them.
  bool PassUnchangedFolder(const std::string& relative, std::string& problem);
  // Copies the files written in place since the copy began that the copy holds an older state of.
  bool PassWrittenInPlace(std::string& problem);
  // The folder `name` in `relative`: "TemporaryFiles" is made empty, any other is passed.
  bool PassSubfolder(const std::string& relative, const std::string& name, std::string& problem);
  // Copies the file at `path` unless the copy already holds it as `status` shows it.
  bool CopyIfChanged(const std::string& path, const struct stat& status, std::string& problem);
  // Removes from the copy the entry at `relative` and what is known below it.
  bool RemoveFromCopy(const std::string& relative, bool isFolder, std::string& problem);

  const std::string root_;
  const std::string copy_;
  InPlaceWrites::Watch writtenInPlace_;
  std::unordered_map<std::string, Signature> files_;  // by path relative to the root
  std::unordered_map<std::string, Folder> folders_;   // by path relative to the root
  std::size_t copies_ = 0;
};
