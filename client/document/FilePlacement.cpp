#include "client/document/FilePlacement.h"

#include <algorithm>
#include <utility>

#include "client/document/FileComparison.h"
#include "common/FileHelpers.h"
#include "common/NameValidation.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"

namespace fs = platform::fs;

namespace {

// The path with every run of '/' made one: the same folder, in the form
// CreateFolderPath accepts.
std::string CollapseSeparators(const std::string& path) {
  std::string collapsed;
  for (const char c : path) {
    if (c != '/' || collapsed.empty() || collapsed.back() != '/') collapsed += c;
  }
  return collapsed;
}

}  // namespace

void DurableReplacements::Add(std::string source, std::string target) {
  targets_.insert(target);
  held_.push_back(Replacement{std::move(source), std::move(target)});
}

bool DurableReplacements::SyncSourceFileSystems() const {
  std::vector<std::string> synced;
  for (const Replacement& replacement : held_) {
    const std::string folder = fs::ParentFolder(replacement.source);
    if (std::find(synced.begin(), synced.end(), folder) != synced.end()) continue;
    if (!fs::SyncFileSystemOf(folder)) return false;
    synced.push_back(folder);
  }
  return true;
}

std::vector<std::string> DurableReplacements::Commit() {
  // One flush of the file system costs less than one per file, but more than one file's.
  const bool allSynced = held_.size() > 1 && SyncSourceFileSystems();
  std::vector<bool> synced;
  synced.reserve(held_.size());
  for (const Replacement& replacement : held_) synced.push_back(allSynced || fs::SyncPath(replacement.source));
  std::vector<std::string> kept;
  std::vector<std::string> folders;
  for (std::size_t i = 0; i < held_.size(); ++i) {
    const Replacement& replacement = held_[i];
    const bool replaced = synced[i] && (fs::RenameOver(replacement.source, replacement.target) ||
                                        fs::CopyFile(replacement.source, replacement.target, fs::CopyMode::Overwrite));
    if (!replaced) {
      kept.push_back(replacement.target);
      continue;
    }
    const std::string folder = fs::ParentFolder(replacement.target);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  }
  // Each file is whole on disk under either name; this only keeps the new names.
  for (const std::string& folder : folders) fs::SyncPath(folder);
  held_.clear();
  targets_.clear();
  return kept;
}

FilePlacement::FilePlacement(FilePlacementSettings settings, ReplyMessages& messages)
    : settings_(std::move(settings)), messages_(messages) {}

bool FilePlacement::MakeFolder() {
  if (CreateFolderPath(settings_.folder)) return true;
  messages_.Add(kFolderNotMade, settings_.folder);
  return false;
}

void FilePlacement::NoteRefused(const std::string& name) {
  if (settings_.checkOut) messages_.Add(kCheckedOutElsewhere, name);
}

bool FilePlacement::Place(const std::string& name, const std::string& temporaryPath) {
  if (!IsValidStoredName(name)) {
    messages_.Add(kNotPlaced, name);
    return false;
  }
  const std::string target = EnsureTrailingBackslash(settings_.folder) + name;
  // A name met again replaces what its earlier row put there, in row order.
  if (replacements_.Holds(target)) Finish();
  const bool existing = fs::Exists(target);
  const bool kept = !IsTemporaryFile(temporaryPath) || fs::IsFolder(target) ||
                    (existing && IsBackupDue(target, temporaryPath) && !BackUp(target, name));
  if (kept) {
    messages_.Add(kNotPlaced, target);
    return false;
  }
  // The file keeps its mode bits when moved, so the bit is set here first.
  const bool marked = fs::SetReadOnly(temporaryPath, settings_.readOnly) || !settings_.readOnly;
  if (existing) {
    replacements_.Add(temporaryPath, target);
    if (!marked) notMarked_.push_back(target);
    placed_ = true;
    return true;
  }
  // Nothing of the user's is at the target, so a new file needs no sync.
  if (!fs::MoveNoReplace(temporaryPath, target)) {
    messages_.Add(kNotPlaced, target);
    return false;
  }
  if (!marked) messages_.Add(kNotReadOnly, target);
  placed_ = true;
  return true;
}

std::vector<std::string> FilePlacement::Finish() {
  const std::vector<std::string> kept = replacements_.Commit();
  for (const std::string& target : kept) messages_.Add(kNotPlaced, target);
  for (const std::string& target : notMarked_) {
    if (std::find(kept.begin(), kept.end(), target) == kept.end()) messages_.Add(kNotReadOnly, target);
  }
  notMarked_.clear();
  return kept;
}

void FilePlacement::DeleteTemporaryFiles(const std::vector<std::string>& temporaryPaths) const {
  for (const std::string& path : temporaryPaths) {
    if (IsTemporaryFile(path)) fs::DeleteFile(path);
  }
}

void FilePlacement::TellWhereFilesWent() {
  if (settings_.ownFolder && placed_) messages_.Add(kPlacedInOwnFolder, settings_.folder);
  if (backedUp_) messages_.Add(kBackedUpIn, *backupFolder_);
}

std::string FilePlacement::BackupFolderFor(const std::string& backupRoot, const std::vector<std::string>& shownPath) {
  if (backupRoot.empty() || shownPath.empty()) return "";
  std::string backup = backupRoot;
  for (std::string name : shownPath) {
    TrimString(name);
    if (!IsValidStoredName(name)) return "";
    backup = EnsureTrailingBackslash(backup) + name;
  }
  return CollapseSeparators(backup);
}

bool FilePlacement::IsTemporaryFile(const std::string& path) const {
  if (settings_.temporaryFolder.empty()) return false;
  const std::string prefix = EnsureTrailingBackslash(settings_.temporaryFolder);
  return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
         IsValidStoredName(path.substr(prefix.size())) && fs::IsFile(path);
}

bool FilePlacement::IsBackupDue(const std::string& target, const std::string& temporaryPath) const {
  switch (settings_.replaceMode) {
    case 1:
      return true;
    case 2:
      return !fs::IsReadOnly(target);
    case 3:
      return !FilesHaveSameContent(target, temporaryPath);
    default:
      return false;
  }
}

bool FilePlacement::BackUp(const std::string& target, const std::string& name) {
  if (!backupFolder_) {
    backupFolder_ = BackupFolderFor(settings_.backupRoot, settings_.shownPath);
  }
  if (backupFolder_->empty() || !CreateFolderPath(*backupFolder_)) return false;
  const std::string base = EnsureTrailingBackslash(*backupFolder_) + name;
  for (int number = 0; number <= kMaxBackupNumber; ++number) {
    const std::string candidate = number == 0 ? base : base + "." + std::to_string(number);
    if (fs::Exists(candidate)) continue;
    const bool copied = fs::CopyFile(target, candidate, fs::CopyMode::FailIfExists);
    backedUp_ = backedUp_ || copied;
    return copied;
  }
  return false;
}
