#include "common/ui/FolderPaths.h"

#include <algorithm>
#include <filesystem>

std::string JoinFolderPath(const std::string& parent, const std::string& child) {
  if (parent.empty()) return child;
  if (parent.back() == '/') return parent + child;
  return parent + "/" + child;
}

bool IsFolderOnRoot(const std::string& folder, const std::string& root) {
  if (root.empty() || folder.empty() || folder[0] != '/') return false;
  if (root == "/") return true;
  if (folder.compare(0, root.size(), root) != 0) return false;
  return folder.size() == root.size() || folder[root.size()] == '/';
}

std::vector<std::string> FolderChain(const std::string& folder, const std::string& mountRoot) {
  const std::string root = IsFolderOnRoot(folder, mountRoot) ? mountRoot : std::string("/");
  std::vector<std::string> chain{root};
  const std::string rest = root == "/" ? folder : folder.substr(root.size());
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find('/', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) chain.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return chain;
}

std::string NewFolderNameRule(const std::string& name) {
  constexpr std::size_t kMaxNameBytes = 255;
  if (name.empty()) return "Folder name: type a name for the new folder";
  const bool hasForbiddenByte = std::any_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return c == '/' || byte < 0x20 || byte == 0x7F;
  });
  if (name == "." || name == ".." || hasForbiddenByte) {
    return "Folder name: a name cannot be . or .., nor contain / or control characters";
  }
  if (name.size() > kMaxNameBytes) return "Folder name: a name can be at most 255 bytes long";
  return "";
}

std::string TypedFolderPath(const std::string& typed, const std::string& base, const std::string& home) {
  std::string path = typed;
  if (path == "~" || path.rfind("~/", 0) == 0) path = home + path.substr(1);
  if (path.empty() || path[0] != '/') path = JoinFolderPath(base, path);
  std::string tidy = std::filesystem::path(path).lexically_normal().string();
  if (tidy.size() > 1 && tidy.back() == '/') tidy.pop_back();
  return tidy;
}
