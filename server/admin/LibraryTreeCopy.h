#pragma once
// Keeps a copy of a library root up to date pass by pass. The first pass copies
// every file; each later one copies only the files changed since (another inode,
// size, modification or change time: record files are replaced by rename or grow
// by appending, version files never change) and takes out of the copy what left the
// root. Names beginning with '.' are temporaries of writes in flight, the contents
// of "TemporaryFiles" are uploads nobody was told about yet, and what is neither file
// nor folder (the server's socket) is no library data: none is copied. Copies are not
// synced one by one: the caller flushes the copy's file system once.
#include <sys/types.h>

#include <string>
#include <unordered_map>
#include <vector>

class LibraryTreeCopy {
 public:
  LibraryTreeCopy(std::string root, std::string copy);

  // Brings the copy up to the root as it is now; empty when done, else why not.
  std::string Pass();

 private:
  struct Signature {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modified = 0;  // nanoseconds
    long long changed = 0;
    bool operator==(const Signature&) const = default;
  };
  struct Entry {
    std::string name;
    bool isFolder = false;
    bool operator==(const Entry&) const = default;
  };

  // Brings the folder at `relative` ("" for the root) up to date; false with `problem` set.
  bool PassFolder(const std::string& relative, std::string& problem);
  // Removes from the copy the entry at `relative` and what is known below it.
  bool RemoveFromCopy(const std::string& relative, bool isFolder, std::string& problem);

  const std::string root_;
  const std::string copy_;
  std::unordered_map<std::string, Signature> files_;             // by path relative to the root
  std::unordered_map<std::string, std::vector<Entry>> folders_;  // entries copied, by folder
};
