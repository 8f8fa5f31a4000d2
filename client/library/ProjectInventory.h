#pragma once
// The inventory file of one library, "BrannockInventory.wxf" in the library folder:
// the whole project tree in the stored layout of ProjectNode, root first, depth first,
// every line ended by a line feed alone. It is replaced atomically; a file that cannot
// be read whole is copied aside as "<file>.damaged" before it can be saved over.
#include <string>

#include "client/library/ProjectNode.h"

class ProjectInventory {
 public:
  static constexpr const char* kFileName = "BrannockInventory.wxf";
  static constexpr const char* kDamagedSuffix = ".damaged";

  // The file in `libraryFolder` (a '/' is put between them when needed).
  explicit ProjectInventory(const std::string& libraryFolder);

  const std::string& GetPath() const { return path_; }

  enum class LoadResult { Loaded, Missing, Damaged };

  // Clears the root and reads the tree into it. Missing: no file, the root stays empty.
  // Damaged: the file could not be read, ends before its tree does, nests too deep or
  // holds more than one tree; the root keeps what was read, the file is copied to
  // GetPath() + kDamagedSuffix (replacing an older copy) and the user is told. When that
  // copy fails, Save refuses to write over the file.
  LoadResult Load(ProjectNode& root);

  // Replaces the file with the tree's stored layout. On failure the previous file stays
  // whole, the user is told and the result is false.
  bool Save(const ProjectNode& root) const;

 private:
  // The text of the whole file; false when it cannot be read.
  bool ReadWholeFile(std::string& text) const;
  // Copies the file aside; on failure marks it as not to be written over.
  void KeepDamagedFile();

  std::string path_;
  bool keepUnsaved_ = false;
};
