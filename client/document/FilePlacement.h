#pragma once
// Puts the files of one retrieve or check-out reply into a project's local folder:
// the reply's folder, replace mode, read-only choice and backup settings, the backup
// folder once it is worked out, and the messages of the rows that failed. A
// received file is renamed into the folder. The user's file at a target is replaced
// only by renaming a finished file over it once that file is on disk, and only after
// any backup that is due has been made.
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "client/link/ReplyMessages.h"

// Replacements of existing files by finished files, made durable together: Commit
// syncs them all (a batch by one sync of their file system) before the first
// rename, so a target holds the old file or the whole new one at every instant.
class DurableReplacements {
 public:
  void Add(std::string source, std::string target);
  bool Holds(const std::string& target) const { return targets_.count(target) != 0; }
  // Syncs every source, renames each synced one over its target (a synced copy
  // beside it across file systems), then syncs each folder once. Returns the
  // targets left as they were; nothing is held afterwards.
  std::vector<std::string> Commit();

 private:
  struct Replacement {
    std::string source;
    std::string target;
  };
  // syncfs of every source's file system; false when any failed.
  bool SyncSourceFileSystems() const;

  std::vector<Replacement> held_;
  std::unordered_set<std::string> targets_;
};

struct FilePlacementSettings {
  std::string folder;            // where the files go
  std::string backupRoot;        // the user's backup root; empty: no backup can be made
  // The project's path as the tree shows it, one name a level: the backup folder's
  // levels below the backup root.
  std::vector<std::string> shownPath;
  bool ownFolder = false;        // the folder is the client's own: the user is told where files went
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

  static constexpr const char* kPlacedInOwnFolder =
      "Files retrieved from Library were put in the client's own folder, as the project is mapped to no folder of "
      "yours; use Map project to local folder to choose where they go";
  static constexpr const char* kBackedUpIn = "The local files that were replaced are backed up in this folder";

  // `messages` must outlive the placement.
  FilePlacement(FilePlacementSettings settings, ReplyMessages& messages);

  // Creates the folder and its parents. False, with a message naming the folder,
  // when it cannot be made; no row may then be placed.
  bool MakeFolder();

  // A row whose file the library did not send: a message for a check-out, nothing
  // for a retrieve.
  void NoteRefused(const std::string& name);

  // Places the received file `temporaryPath`, with its read-only bit, as `name` in
  // the folder: a new file at once, the replacement of an existing one at Finish.
  // A name that is not one safe folder level, a file from outside the
  // temporary-file folder, a folder at the target, a due backup that fails or a
  // failed move leave the target as it was and add kNotPlaced; false then.
  bool Place(const std::string& name, const std::string& temporaryPath);

  // Replaces the existing files that Place held back; a replacement that fails
  // leaves the user's file as it was and adds kNotPlaced. Call it before
  // DeleteTemporaryFiles. Returns the targets left as they were.
  std::vector<std::string> Finish();

  // Adds where the files went when the folder is the client's own and a file was
  // placed, and where the backups went when one was made.
  void TellWhereFilesWent();

  // Deletes every path that names a file directly inside the temporary-file
  // folder; any other path is left alone.
  void DeleteTemporaryFiles(const std::vector<std::string>& temporaryPaths) const;

  // The folder that keeps backups of a project's replaced files: the backup root,
  // then the project's shown path, each name trimmed as one folder level. Repeated
  // '/' count as one. Empty when the backup root or the path is empty or a name is
  // not one safe folder level.
  static std::string BackupFolderFor(const std::string& backupRoot, const std::vector<std::string>& shownPath);

 private:
  static constexpr int kMaxBackupNumber = 9999;

  bool IsTemporaryFile(const std::string& path) const;
  bool IsBackupDue(const std::string& target, const std::string& temporaryPath) const;
  // Copies the file at `target` into the backup folder as `name`, or as `name`
  // with ".<n>" appended when that is taken; never overwrites.
  bool BackUp(const std::string& target, const std::string& name);

  FilePlacementSettings settings_;
  ReplyMessages& messages_;
  std::optional<std::string> backupFolder_;
  bool backedUp_ = false;
  bool placed_ = false;
  DurableReplacements replacements_;
  std::vector<std::string> notMarked_;  // held targets whose read-only bit failed
};
