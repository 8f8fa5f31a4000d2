#pragma once
// Moves the whole library to another root folder while the server runs: the checks
// before a move (with their questions), the start of a move (library-level files
// first, the switch of the root last), and the copy of every project's record and
// version files, one project at a time under its exclusive named lock and the
// inventory section (so a backup's last pass sees no project half-moved). Nothing in
// the old root is ever deleted; an interrupted move stays pending and resumes.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CWexmoorDoc;

class LibraryRootMove {
 public:
  static constexpr int kHoldsFiles = 1;
  static constexpr int kHoldsFolders = 2;

  struct Environment {
    // The account names of the connections that have not ended.
    std::function<std::vector<std::string>()> loggedOnNames;
    // Free bytes available on the folder's disk; 0 when unknown.
    std::function<std::uint64_t(const std::string& folder)> freeBytes = &LibraryRootMove::GetFreeBytes;
  };

  LibraryRootMove(CWexmoorDoc& document, Environment environment);

  // The checks before a move from `oldRoot` to `newRoot`; every refusal is told
  // through the Notifier. Paths are compared as canonical paths, component by
  // component and exactly (case counts).
  bool CheckRootMove(const std::string& oldRoot, const std::string& newRoot);
  // Writes the library files into `newRoot` and makes it the root, the old one
  // pending; false (and a message) when anything failed, the old root in force.
  bool BeginMove(const std::string& newRoot);
  // Moves every project that still lies under the pending old root; stops at the
  // first failure (told through the Notifier). Projects already moved are skipped,
  // so the same call resumes an interrupted move.
  bool MoveAllProjects();
  // The project and, recursively, its sub-projects.
  bool MoveProject(const std::string& internalName);

  // kHoldsFiles / kHoldsFolders of the folder's entries; 0 for no valid folder.
  static int ScanFolderContents(const std::string& folder);
  // Bytes of every file under the folder; links are never followed.
  static std::uint64_t SumFolderBytes(const std::string& folder);
  static std::uint64_t GetFreeBytes(const std::string& folder);
  // Whether `path` is `folder` or lies below it, comparing whole components.
  static bool IsSameOrBelow(const std::string& path, const std::string& folder);

 private:
  struct ProjectFolder {
    std::string folder;  // without a trailing separator
    std::vector<std::string> subProjects;
    bool found = false;
  };
  ProjectFolder ReadProject(const std::string& internalName);
  bool NeedsMoving(const std::string& folder) const;
  // The copy and switch of one project, its lock and the inventory section held;
  // empty when done, else what failed.
  std::string MoveHeldProject(const std::string& internalName, const std::string& oldFolder);
  std::string CopyProjectFiles(const std::string& internalName, const std::string& oldFolder,
                               const std::string& newFolder);
  bool MoveOneProject(const std::string& internalName, const std::string& oldFolder);
  static bool Fail(const std::string& text);

  CWexmoorDoc& document_;
  Environment environment_;
  std::string oldRoot_;
  std::string newRoot_;
};
