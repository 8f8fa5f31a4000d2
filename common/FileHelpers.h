#pragma once
// File-system operations shared by client and server: whether a folder accepts new
// files, creating a whole folder path, temporary file names, and moving, copying,
// deleting and changing one file or folder. Paths use '/'; a relative path lies
// under the working folder. Every file is addressed by its full path after a
// PathParser walk of its folders, so on the server (ServerPathContext installed)
// folders deeper than 200 bytes are found under <library root>/MAX_PATH/.
// None of them throws; failure is reported by the result.
#include <string>

// The attributes SetFileAttributesLongPath can give a file.
enum class FileAttributes { Normal, ReadOnly };

// True when `folder` (written without a trailing '/') exists as a folder and a new
// file can be made in it. Probes with an exclusive create of a fresh name and
// deletes only that name; files already there are never touched.
bool IsFolderWritable(const std::string& folder);

// Creates every missing folder of `path`; true exactly when the whole path exists as
// folders afterwards. Paths shorter than 2 bytes and paths with an empty component
// ("a//b") are refused. On the server a component whose path built so far passes
// 200 bytes is made as <library root>/MAX_PATH/<component> (MAX_PATH created on first
// need) and the following components go under it. Folders made before a failure stay.
bool CreateFolderPath(const std::string& path);

// A temporary file name "<base>Temp_<n>.wxf" that does not exist yet. Client: base
// <working folder>/TemporaryFiles/, n from TempFileCounter::Client(). Server: base
// <library root>/TemporaryFiles/ (the working folder when the root is empty), n from
// the server's counter. "" when no free name is found.
std::string MakeTempFileName();

// Moves the file `source` to `destination`, never replacing an existing file; true
// when the file is at the destination and gone from the source. False means nothing
// changed.
bool MoveFileLongPath(const std::string& source, const std::string& destination);

// Copies the file `source` to `destination`; with `failIfExists` an existing
// destination is left alone and the copy fails. True when the file was copied.
bool CopyFileLongPath(bool failIfExists, const std::string& source, const std::string& destination);

// Deletes the file at `path`; true when its folder exists and no file of that name is
// left (a missing file counts as deleted). A folder at `path` is not deleted: false.
bool DeleteFileLongPath(const std::string& path);

// Removes the empty folder `path`; true when its parent exists and the folder is gone
// afterwards (a missing folder counts as removed).
bool RemoveFolderLongPath(const std::string& path);

// Makes the file or folder at `path` read-only or normal (writable); true when the
// change took effect.
bool SetFileAttributesLongPath(const std::string& path, FileAttributes attributes);

