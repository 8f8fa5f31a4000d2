#include "server/store/ProjectFolders.h"

#include <algorithm>
#include <climits>

#include "platform/fs.h"

namespace {

// The longest name the store gives a file in a project's folder: a version file or a
// record of the largest internal name, with an atomic write's temporary suffix.
constexpr std::size_t kLongestStoredName = 80;

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// `built` extended by `component` under the deep-folder rule.
std::string Append(const std::string& built, const std::string& component, const std::string& root) {
  std::string next = (built.empty() || built.back() != '/' ? built + "/" : built) + component;
  if (next.size() > kDeepPathBytes) next = WithoutTrailingSeparators(root) + "/" + kDeepFolderName + "/" + component;
  return next;
}

// Appends every non-empty component of `rest` to `built`.
std::string AppendAll(std::string built, const std::string& rest, const std::string& root) {
  std::size_t at = 0;
  while (at < rest.size()) {
    const std::size_t slash = std::min(rest.find('/', at), rest.size());
    if (slash > at) built = Append(built, rest.substr(at, slash - at), root);
    at = slash + 1;
  }
  return built;
}

}  // namespace

bool IsFolderOrBelow(const std::string& path, const std::string& folder) {
  const std::string inner = WithoutTrailingSeparators(path);
  const std::string outer = WithoutTrailingSeparators(folder);
  if (outer.empty() || inner.compare(0, outer.size(), outer) != 0) return false;
  return inner.size() == outer.size() || outer == "/" || inner[outer.size()] == '/';
}

std::string ProjectFolderOnDisk(const std::string& recorded, const std::string& root) {
  const std::string folder = WithoutTrailingSeparators(recorded);
  // The root's own components are never moved: the rule starts below it.
  if (IsFolderOrBelow(folder, root)) {
    const std::string base = WithoutTrailingSeparators(root);
    return AppendAll(base, folder.substr(base.size()), root);
  }
  return AppendAll(folder.front() == '/' ? "/" : "", folder, root);
}

std::string RebasedFolder(const std::string& folder, const std::string& oldRoot, const std::string& newRoot) {
  if (!IsFolderOrBelow(folder, oldRoot)) return "";
  const std::string base = WithoutTrailingSeparators(oldRoot);
  const std::string below = WithoutTrailingSeparators(folder).substr(base == "/" ? 0 : base.size());
  return WithoutTrailingSeparators(WithoutTrailingSeparators(newRoot) + below);
}

bool CanHoldDocuments(const std::string& diskFolder) {
  return diskFolder.size() + 1 + kLongestStoredName < PATH_MAX;
}

bool CreateFolders(const std::string& folder) {
  if (folder.empty() || platform::fs::IsFolder(folder)) return !folder.empty();
  const std::string parent = platform::fs::ParentFolder(folder);
  if (parent != folder && !CreateFolders(parent)) return false;
  return platform::fs::CreateFolder(folder);
}
