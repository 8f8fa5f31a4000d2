#include "server/store/StoreSweepBound.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreSweep.h"

namespace {

using platform::fs::FolderEntry;

constexpr std::string_view kPrefix = "Leftovers ";
constexpr std::size_t kStampLength = 15;  // YYYYMMDD-HHMMSS

bool IsStamp(std::string_view text) {
  if (text.size() != kStampLength || text[8] != '-') return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != 8 && std::isdigit(static_cast<unsigned char>(text[i])) == 0) return false;
  }
  return true;
}

// The suffix number of "Leftovers <stamp>" (1) or "Leftovers <stamp> (n)"; none for other names.
std::optional<int> SweepFolderNumber(std::string_view name) {
  if (name.substr(0, kPrefix.size()) != kPrefix || !IsStamp(name.substr(kPrefix.size(), kStampLength))) {
    return std::nullopt;
  }
  const std::string_view rest = name.substr(kPrefix.size() + kStampLength);
  if (rest.empty()) return 1;
  if (rest.size() < 4 || rest.substr(0, 2) != " (" || rest.back() != ')' || rest.size() > 12) return std::nullopt;
  int number = 0;
  for (const char c : rest.substr(2, rest.size() - 3)) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
    number = number * 10 + (c - '0');
  }
  return number;
}

std::int64_t BytesIn(const std::string& folder) {
  std::vector<FolderEntry> entries;
  std::int64_t bytes = 0;
  if (!platform::fs::ListFolder(folder, entries)) return bytes;
  for (const FolderEntry& entry : entries) {
    if (entry.isLink) continue;
    bytes += entry.isFolder ? BytesIn(folder + "/" + entry.name) : entry.size;
  }
  return bytes;
}

// Removes the folder and all it holds without following links; true when it is gone.
bool RemoveTree(const std::string& folder) {
  std::vector<FolderEntry> entries;
  if (!platform::fs::ListFolder(folder, entries)) return false;
  for (const FolderEntry& entry : entries) {
    const std::string path = folder + "/" + entry.name;
    if (entry.isFolder && !entry.isLink) {
      RemoveTree(path);
    } else {
      platform::fs::DeleteFile(path);
    }
  }
  return platform::fs::RemoveFolder(folder);
}

}  // namespace

StoreSweepBound::StoreSweepBound(const std::string& root)
    : deleted_(root + (root.empty() || root.back() != '/' ? "/" : "") + CWexmoorDoc::kDeletedProjectsFolder) {}

StoreSweepBound::Result StoreSweepBound::Run() {
  Result result;
  std::size_t kept = 0;
  std::int64_t keptBytes = 0;
  bool full = false;  // once a folder is over the bound, every older one is too
  for (const Folder& folder : RemovableFolders()) {
    full = full || kept == kMaxFolders || keptBytes + folder.bytes > kMaxBytes;
    if (!full) {
      ++kept;
      keptBytes += folder.bytes;
    } else if (RemoveTree(folder.path)) {
      result.removed.push_back(folder.path);
      result.removedBytes += folder.bytes;
    } else {
      result.failed.push_back(folder.path);
    }
  }
  return result;
}

std::vector<StoreSweepBound::Folder> StoreSweepBound::RemovableFolders() const {
  std::vector<Folder> folders;
  std::vector<FolderEntry> parent, entries;
  const std::string above = platform::fs::ParentFolder(deleted_);
  if (!platform::fs::ListFolder(above, parent)) return folders;
  const auto deleted = std::find_if(parent.begin(), parent.end(), [](const FolderEntry& entry) {
    return entry.name == CWexmoorDoc::kDeletedProjectsFolder;
  });
  if (deleted == parent.end() || deleted->isLink || !deleted->isFolder) return folders;
  if (!platform::fs::ListFolder(deleted_, entries)) return folders;
  for (const FolderEntry& entry : entries) {
    const std::optional<int> number = SweepFolderNumber(entry.name);
    const std::string path = deleted_ + "/" + entry.name;
    if (!number || entry.isLink || !entry.isFolder || StoreSweep::HoldsProjectData(path, entry)) continue;
    folders.push_back({path, entry.name.substr(kPrefix.size(), kStampLength), *number, BytesIn(path)});
  }
  std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) {
    return a.stamp != b.stamp ? a.stamp > b.stamp : a.number > b.number;
  });
  return folders;
}
