#pragma once
// Puts the files of one retrieve or check-out reply into a project's local folder:
// the reply's folder, replace mode, read-only choice and backup settings, the backup
// folder once it is worked out, and the messages of the rows that failed. The
// user's file at a target is replaced only by renaming a finished copy over it, and
// only after any backup that is due has been made.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "client/core/ReplyMessages.h"

struct FilePlacementSettings {
  std::string folder;            // where the files go
  std::string rootFolder;        // the root project's local folder
  std::string backupRoot;        // the user's backup root; empty: no backup can be made
  std::string projectIndexName;  // the backup folder's last level
  std::string temporaryFolder;   // the client's temporary-file folder the files arrived in
  int replaceMode = 0;           // 1 back up, 2 back up writable files, 3 back up changed files, else replace
  bool readOnly = false;         // placed files get the read-only bit, else they are writable
  bool checkOut = false;         // rows refused by the library are reported
};

class FilePlacement {
 public:
  static constexpr const char* kFolderNotMade = "Failed to create local folder to hold project files";
  static constexpr const char* kCheckedOutElsewhere = "Document is checked out to someone else";
  static constexpr const char* kNotPlaced = "File retrieved from Library could not be copied into the project folder";
  static constexpr const char* kNotReadOnly =
      "File retrieved from Library successfully but local file attributes could not be changed to read-only";

  // Copies a finished file over `target` in one step; false leaves the target as
  // it was. Tests pass a failing one.
  using CopyOver = std::function<bool(const std::string& source, const std::string& target)>;

  // `messages` must outlive the placement. A null `copyOver` copies through the
  // platform (a copy beside the target, renamed over it).
  FilePlacement(FilePlacementSettings settings, ReplyMessages& messages, CopyOver copyOver = nullptr);

  // Creates the folder and its parents. False, with a message naming the folder,
  // when it cannot be made; no row may then be placed.
  bool MakeFolder();

  // A row whose file the library did not send: a message for a check-out, nothing
  // for a retrieve.
  void NoteRefused(const std::string& name);

  // Places the received file `temporaryPath` as `name` in the folder; true when it
  // is there with its read-only bit. A name that is not one safe folder level, a
  // file from outside the temporary-file folder, a folder at the target, a due
  // backup that fails or a failed copy leave the target as it was and add
  // kNotPlaced. The temporary file is left for DeleteTemporaryFiles.
  bool Place(const std::string& name, const std::string& temporaryPath);

  // Deletes every path that names a file directly inside the temporary-file
  // folder; any other path is left alone.
  void DeleteTemporaryFiles(const std::vector<std::string>& temporaryPaths) const;

  // The folder that keeps backups of files replaced in `folder`: under the backup
  // root, the part of the folder below the root project's folder (or the whole
  // folder with its leading '/' and first ':' made '_' when it lies elsewhere),
  // then the project's index name. Repeated '/' count as one. Empty when the
  // backup root is empty or the index name is not one safe folder level.
  static std::string BackupFolderFor(const std::string& folder, const std::string& rootFolder,
                                     const std::string& backupRoot, const std::string& indexName);

 private:
  static constexpr int kMaxBackupNumber = 9999;

  bool IsTemporaryFile(const std::string& path) const;
  bool IsBackupDue(const std::string& target, const std::string& temporaryPath) const;
  // Copies the file at `target` into the backup folder as `name`, or as `name`
  // with ".<n>" appended when that is taken; never overwrites.
  bool BackUp(const std::string& target, const std::string& name);

  FilePlacementSettings settings_;
  ReplyMessages& messages_;
  CopyOver copyOver_;
  std::optional<std::string> backupFolder_;
};
