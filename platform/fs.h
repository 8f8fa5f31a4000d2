#pragma once
// File-system calls of the whole system, over POSIX. Every function takes a full
// path (the process's current folder is never changed) and reports failure by its
// result; none throws. Read-only means "no write bit in the mode" (never access(),
// which says yes to root).
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace platform::fs {

bool Exists(const std::string& path);            // anything at the path (no link following for the final link itself)
bool IsFolder(const std::string& path);          // an existing folder
bool IsFile(const std::string& path);            // an existing regular file
bool FileSize(const std::string& path, std::int64_t& size);
bool ModificationTime(const std::string& path, std::time_t& time);

bool IsReadOnly(const std::string& path);        // exists and has no write bit
bool SetReadOnly(const std::string& path, bool readOnly);  // clears / restores the owner (and group/other) write bits
// Gives the file the mode a new file gets (0666 less the umask), without any write bit
// when `readOnly`.
bool SetNewFileMode(const std::string& path, bool readOnly);

enum class CopyMode { FailIfExists, Overwrite };
// Copies a regular file, keeping its mode bits and modification time. With
// FailIfExists an existing destination is left untouched and the call fails.
// A failed copy leaves no partial destination behind. With Unsynced the copy is not
// flushed: the caller makes many copies durable at once (SyncFileSystemOf).
enum class CopySync { Synced, Unsynced };
bool CopyFile(const std::string& source, const std::string& destination, CopyMode mode,
              CopySync sync = CopySync::Synced);
// Moves a file or folder; never replaces an existing destination. Tries
// renameat2(RENAME_NOREPLACE), then link+unlink, then (across devices, files only)
// an exclusive copy followed by deleting the source. False means nothing changed.
bool MoveNoReplace(const std::string& source, const std::string& destination);
// rename(2): replaces `destination` in one step. False, with nothing changed, when
// it cannot (e.g. across devices).
bool RenameOver(const std::string& source, const std::string& destination);
// fsync(2) of a file (its content and mode) or of a folder (its entries).
bool SyncPath(const std::string& path);
// syncfs(2): everything written to the file system that holds `path` is on disk,
// for one flush where a SyncPath of each of many files costs one each.
bool SyncFileSystemOf(const std::string& path);

// Creates a new, empty file; never opens or truncates an existing one.
enum class CreateResult { Created, Exists, Refused };
CreateResult CreateNewFile(const std::string& path);

bool DeleteFile(const std::string& path);        // true when the file is gone afterwards (a missing file counts)
bool CreateFolder(const std::string& path);      // one level; true when it exists as a folder afterwards
bool RemoveFolder(const std::string& path);      // an empty folder; true when it is gone afterwards

struct FolderEntry {
  std::string name;
  bool isFolder = false;  // a folder, or a link to one (see isLink)
  bool isLink = false;    // the entry itself is a symbolic link
  std::int64_t size = 0;
  std::time_t modified = 0;
};
// Entries of a folder without "." and "..", sorted by name. False when the folder
// cannot be read.
bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries);

bool FreeBytes(const std::string& path, std::uint64_t& bytes);   // bytes available to this user
// The whole content of a regular file; false when it is not one or cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

struct Volume {
  std::string root;        // mount point, "/" always first
  std::string label;       // file-system type and device, for display
  bool remote = false;     // network file system
};
// "/" plus the local and network file systems of /proc/self/mounts (pseudo file
// systems such as proc, sysfs, tmpfs under /run are left out).
std::vector<Volume> MountedVolumes();
// The same from the text of a mounts file (one "device root type options ..." line
// per mount, octal escapes such as \040 in names).
std::vector<Volume> ParseMounts(const std::string& mountsText);

// The folder part of a path: "/a/b" -> "/a", "/a" -> "/", "a" -> ".".
std::string ParentFolder(const std::string& path);
// Creates a new, empty file for writing beside `path` (same folder, so it can be
// renamed or linked over it), named "." + file name + "." + tag + "-" + random hex,
// with the given permission bits less the umask. Returns the open descriptor
// (close-on-exec) and sets `temporary`, or -1 on failure.
int CreateTemporaryBeside(const std::string& path, const std::string& tag, unsigned mode,
                          std::string& temporary);

// The mount root that holds the path (longest matching Volume::root).
std::string VolumeRootOf(const std::string& path);

}  // namespace platform::fs
