#include "server/admin/LibraryBackup.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "common/FileHelpers.h"
#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/CriticalSection.h"
#include "platform/fs.h"
#include "server/admin/LibraryTreeCopy.h"
#include "server/store/BackupLeftover.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFolders.h"

namespace {

namespace stdfs = std::filesystem;

constexpr int kMaxLinkHops = 40;
// Passes made before the writers are held: a busy library changes while each is made.
constexpr int kMostPassesUnheld = 6;
constexpr std::size_t kFewCopies = 64;

// Where `path` really lies: every link on the way resolved, a dangling one too, and
// the part that does not exist yet appended to the real place of the part that does.
stdfs::path RealLocation(const stdfs::path& path, int hops = 0) {
  stdfs::path existing = path.lexically_normal();
  if (!existing.has_filename() && existing.has_parent_path()) existing = existing.parent_path();
  stdfs::path rest;
  std::error_code error;
  while (existing.has_relative_path() && !stdfs::exists(stdfs::symlink_status(existing, error))) {
    rest = rest.empty() ? existing.filename() : existing.filename() / rest;
    existing = existing.parent_path();
  }
  if (stdfs::is_symlink(stdfs::symlink_status(existing, error)) && hops < kMaxLinkHops) {
    const stdfs::path target = stdfs::read_symlink(existing, error);
    if (!error) return RealLocation(existing.parent_path() / target / rest, hops + 1);
  }
  stdfs::path real = stdfs::weakly_canonical(existing, error);
  if (error) real = existing;
  return (rest.empty() ? real : real / rest).lexically_normal();
}

// Whether `folder` holds nothing, or only what a backup cut short left.
bool IsFreeForBackup(const std::string& folder) {
  std::vector<platform::fs::FolderEntry> entries;
  if (!platform::fs::ListFolder(folder, entries)) return false;
  if (entries.empty()) return true;
  if (!BackupLeftover::IsIn(folder)) return false;
  for (const platform::fs::FolderEntry& entry : entries) {
    if (entry.name != BackupLeftover::kInProgressName && entry.name != BackupLeftover::kCopyName) return false;
  }
  return true;
}

}  // namespace

std::string LibraryBackup::Refusal(const std::string& folder) const {
  const std::string root = document_.GetRootPath();
  const std::string realFolder = RealLocation(folder).string();
  const std::string realRoot = RealLocation(root).string();
  if (IsFolderOrBelow(realFolder, realRoot)) {
    return folder + " lies inside the library root " + root + (realFolder == folder ? "" : " (as " + realFolder + ")");
  }
  if (IsFolderOrBelow(realRoot, realFolder)) return "The library root " + root + " lies inside " + folder;
  if (platform::fs::Exists(folder) && !IsFreeForBackup(folder)) {
    return folder + " exists and is not an empty folder: a backup goes into a new or empty folder";
  }
  return MoveRefusal(root);
}

std::string LibraryBackup::MoveRefusal(const std::string& root) const {
  if (!document_.GetPendingOldRoot().empty()) {
    return "The library root is being moved from " + document_.GetPendingOldRoot() +
           "; back the library up once the move has finished";
  }
  if (document_.GetRootPath() != root) {
    return "The library root moved to " + document_.GetRootPath() + " during the backup; back the library up again";
  }
  return "";
}

std::string LibraryBackup::Copy(const std::string& root, const std::string& copy) {
  // Made holding the writers of record files, so that no in-place write in flight goes unnoted.
  std::optional<LibraryTreeCopy> made;
  {
    platform::CriticalSection::Lock inventory(document_.GetInventorySection());
    made.emplace(root, copy);
  }
  LibraryTreeCopy& tree = *made;
  // Each further pass takes what changed during the one before, until one finds
  // little, so that the last pass, which holds the writers, has little left to copy.
  for (int pass = 0; pass < kMostPassesUnheld; ++pass) {
    if (std::string problem = tree.Pass(); !problem.empty()) return problem;
    if (pass > 0 && tree.LastPassCopies() <= kFewCopies) break;
  }
  platform::CriticalSection::Lock inventory(document_.GetInventorySection());
  platform::CriticalSection::Lock users(document_.GetUserTableSection());
  platform::CriticalSection::Lock usersSave(document_.GetSettings().GetSaveSection());
  const auto start = std::chrono::steady_clock::now();
  std::string problem = MoveRefusal(root);
  if (problem.empty()) problem = tree.Pass();
  heldMicroseconds_ =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
  return problem;
}

std::string LibraryBackup::Place(const std::string& inProgress, const std::string& folder) {
  const std::string copy = std::string("/") + BackupLeftover::kCopyName;
  const std::string rootPathFile = std::string("/") + CWexmoorDoc::kRootPathFileName;
  if (!platform::fs::SyncFileSystemOf(inProgress)) return "the copy could not be flushed to disk";
  if (!platform::fs::MoveNoReplace(inProgress + copy, folder + copy)) return folder + copy + " could not be made";
  // The root-path file comes last: only from here on does the folder hold a library.
  if (!platform::fs::MoveNoReplace(inProgress + rootPathFile, folder + rootPathFile) ||
      !platform::fs::SyncPath(folder)) {
    return folder + rootPathFile + " could not be written";
  }
  if (!platform::fs::RemoveFolder(inProgress) || !platform::fs::SyncPath(folder)) {
    return inProgress + " could not be removed";
  }
  return "";
}

std::string LibraryBackup::Make(const std::string& folder) {
  heldMicroseconds_ = 0;
  // Two backups at once into one folder would write one copy over the other.
  static std::mutex oneAtATime;
  std::unique_lock<std::mutex> only(oneAtATime, std::try_to_lock);
  if (!only.owns_lock()) return "Another backup is being made; back the library up once it has finished";
  if (std::string refusal = Refusal(folder); !refusal.empty()) return refusal;
  const std::string root = document_.GetRootPath();
  const bool made = !platform::fs::Exists(folder);
  if (made && (!CreateFolderPath(folder) || ::chmod(folder.c_str(), 0700) != 0)) {
    return "The folder " + folder + " could not be made";
  }
  std::string problem;
  if (!made && BackupLeftover::IsIn(folder)) BackupLeftover::Remove(folder, problem);
  const std::string inProgress = folder + "/" + BackupLeftover::kInProgressName;
  if (problem.empty() && !platform::fs::CreateFolder(inProgress)) problem = "the folder " + inProgress + " could not be made";
  if (problem.empty()) problem = Copy(root, inProgress + "/" + BackupLeftover::kCopyName);
  if (problem.empty()) {
    const std::string line = AppendBoolField(
        document_.IsOnlyLatestCheckOut(),
        AppendStringField("", AppendStringField(folder + "/" + BackupLeftover::kCopyName, "")));
    const std::string rootPathFile = inProgress + "/" + CWexmoorDoc::kRootPathFileName;
    if (!platform::AtomicFile::Write(rootPathFile, line)) problem = rootPathFile + " could not be written";
  }
  if (problem.empty()) problem = Place(inProgress, folder);
  if (problem.empty()) return "";

  // The root-path file goes first, so that what stays of the rest is a leftover.
  platform::fs::DeleteFile(folder + "/" + CWexmoorDoc::kRootPathFileName);
  std::string ignored;
  BackupLeftover::Remove(folder, ignored);
  if (made) platform::fs::RemoveFolder(folder);
  return "The library was not backed up: " + problem;
}
