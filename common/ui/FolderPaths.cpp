#include "common/ui/FolderPaths.h"

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
