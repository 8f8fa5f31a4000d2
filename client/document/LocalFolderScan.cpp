#include "client/document/LocalFolderScan.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <utility>

#include "client/library/ProjectNode.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"

namespace fs = platform::fs;

namespace {

std::optional<std::filesystem::path> Real(const std::string& path) {
  std::error_code error;
  std::filesystem::path real = std::filesystem::canonical(path, error);
  if (error) return std::nullopt;
  return real;
}

// `path` is `folder` or lies below it (both real paths).
bool Within(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto inner = path.begin();
  for (auto outer = folder.begin(); outer != folder.end(); ++outer, ++inner) {
    if (inner == path.end() || *inner != *outer) return false;
  }
  return true;
}

void SetLocalTime(LocalFileEntry& entry, std::time_t time) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return;
  entry.SetModified(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                    local.tm_sec);
}

}  // namespace

LocalFolderScan::LocalFolderScan(LocalFolderLookups lookups) : lookups_(std::move(lookups)) {}

void LocalFolderScan::Scan(const std::string& folder, const FolderRuleSet& rules,
                           std::vector<LocalFileEntry>& entries) const {
  entries.clear();
  if (folder.empty()) return;
  const std::optional<std::vector<std::string>> documents = MemberDocuments(folder);
  std::vector<fs::FolderEntry> found;
  if (!fs::ListFolder(folder, found)) return;
  const std::string prefix = EnsureTrailingBackslash(folder);
  for (const fs::FolderEntry& item : found) {
    const std::string path = prefix + item.name;
    const bool directory = item.isFolder && (!item.isLink || FollowsLink(folder, path));
    if (item.isFolder ? !directory : !fs::IsFile(path)) continue;
    LocalFileEntry entry;
    entry.SetBaseName(item.name);
    entry.SetDirectory(directory);
    entry.SetReadOnly(fs::IsReadOnly(path));
    entry.SetSize(item.size);
    SetLocalTime(entry, item.modified);
    const bool member = directory ? FindProject(path).has_value()
                                  : documents && std::find(documents->begin(), documents->end(), item.name) !=
                                                     documents->end();
    entry.SetProjectMember(member);
    if (rules.Keeps(folder, item.name, directory)) entries.push_back(entry);
  }
}

bool LocalFolderScan::FollowsLink(const std::string& folder, const std::string& link) const {
  if (lookups_.linkBound.empty()) return false;
  const std::optional<std::filesystem::path> target = Real(link);
  const std::optional<std::filesystem::path> bound = Real(lookups_.linkBound);
  if (!target || !bound || !Within(*target, *bound)) return false;
  for (std::filesystem::path up = std::filesystem::path(folder).lexically_normal();; up = up.parent_path()) {
    const std::optional<std::filesystem::path> real = Real(up.string());
    if (real && Within(*real, *target)) return false;
    if (up == up.parent_path() || up.empty()) return true;
  }
}

std::optional<std::string> LocalFolderScan::FindProject(const std::string& folder) const {
  if (!lookups_.findProjectByLocalFolder) return std::nullopt;
  return lookups_.findProjectByLocalFolder(folder);
}

std::optional<std::vector<std::string>> LocalFolderScan::MemberDocuments(const std::string& folder) const {
  const std::optional<std::string> project = FindProject(folder);
  if (!project || ProjectNode::IsRootIndexName(*project) || !lookups_.loadProjectDocuments) return std::nullopt;
  return lookups_.loadProjectDocuments(*project);
}
