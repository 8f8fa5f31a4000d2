#include "client/core/FilePlacement.h"

#include <utility>

#include "client/core/FileComparison.h"
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

FilePlacement::FilePlacement(FilePlacementSettings settings, ReplyMessages& messages, CopyOver copyOver)
    : settings_(std::move(settings)), messages_(messages), copyOver_(std::move(copyOver)) {
  if (!copyOver_) {
    copyOver_ = [](const std::string& source, const std::string& target) {
      return fs::CopyFile(source, target, fs::CopyMode::Overwrite);
    };
  }
}

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
  const bool kept = !IsTemporaryFile(temporaryPath) || fs::IsFolder(target) ||
                    (fs::Exists(target) && IsBackupDue(target, temporaryPath) && !BackUp(target, name));
  if (kept) {
    messages_.Add(kNotPlaced, target);
    return false;
  }
  // The copy takes the temporary file's mode bits, so the bit is set there first.
  const bool bitSet = fs::SetReadOnly(temporaryPath, settings_.readOnly);
  if (!copyOver_(temporaryPath, target)) {
    messages_.Add(kNotPlaced, target);
    return false;
  }
  if (settings_.readOnly && !bitSet) messages_.Add(kNotReadOnly, target);
  return true;
}

void FilePlacement::DeleteTemporaryFiles(const std::vector<std::string>& temporaryPaths) const {
  for (const std::string& path : temporaryPaths) {
    if (IsTemporaryFile(path)) fs::DeleteFile(path);
  }
}

std::string FilePlacement::BackupFolderFor(const std::string& folder, const std::string& rootFolder,
                                           const std::string& backupRoot, const std::string& indexName) {
  if (backupRoot.empty() || !IsValidStoredName(indexName)) return "";
  std::string within = EnsureTrailingBackslash(folder);
  std::string backup;
  if (within.compare(0, rootFolder.size(), rootFolder) == 0) {
    backup = within.size() > backupRoot.size() ? backupRoot + within.substr(rootFolder.size()) : backupRoot;
  } else {
    if (within.size() > 1 && within.front() == '/') within.front() = '_';
    const std::size_t colon = within.find(':');
    if (colon != std::string::npos) within[colon] = '_';
    backup = EnsureTrailingBackslash(backupRoot) + within;
  }
  return CollapseSeparators(EnsureTrailingBackslash(backup) + indexName);
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
    backupFolder_ = BackupFolderFor(settings_.folder, settings_.rootFolder, settings_.backupRoot,
                                    settings_.projectIndexName);
  }
  if (backupFolder_->empty() || !CreateFolderPath(*backupFolder_)) return false;
  const std::string base = EnsureTrailingBackslash(*backupFolder_) + name;
  for (int number = 0; number <= kMaxBackupNumber; ++number) {
    const std::string candidate = number == 0 ? base : base + "." + std::to_string(number);
    if (!fs::Exists(candidate)) return fs::CopyFile(target, candidate, fs::CopyMode::FailIfExists);
  }
  return false;
}
