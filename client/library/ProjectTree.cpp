#include "client/library/ProjectTree.h"

#include <algorithm>

#include "common/StringHelpers.h"

namespace {

bool IsMappedTo(const ProjectNode& node, const std::string& strippedFolder) {
  return !node.GetLocalFolder().empty() && StripTrailingBackslash(node.GetLocalFolder()) == strippedFolder;
}

}  // namespace

ProjectInventory::LoadResult ProjectTree::Load(ProjectInventory& inventory) {
  projects_.clear();
  treeItems_.clear();
  const ProjectInventory::LoadResult result = inventory.Load(root_);
  IndexProjects();
  return result;
}

bool ProjectTree::ApplyServerTree(const std::string& body) {
  ProjectNode fresh;
  if (!fresh.DecodeServer(body)) return false;
  if (root_.GetName().empty()) {
    fresh.SetLocalFolder(root_.GetLocalFolder(), true);
  } else {
    CarryOverLocalState(fresh);
  }
  treeItems_.clear();
  projects_.clear();
  root_ = fresh;
  root_.ClearTreeItems();
  root_.SetRefreshNeeded(false);
  IndexProjects();
  return true;
}

void ProjectTree::CarryOverLocalState(ProjectNode& fresh) const {
  std::vector<ProjectNode*> pending{&fresh};
  while (!pending.empty()) {
    ProjectNode* node = pending.back();
    pending.pop_back();
    const auto stored = projects_.find(node->GetIndexName());
    if (stored != projects_.end()) {
      node->SetCacheFileName(stored->second->GetCacheFilePath());
      node->SetLocalFolder(stored->second->GetLocalFolder(), false);
      node->SetNewNode(stored->second->IsNewNode());
      node->SetRefreshNeeded(stored->second->IsRefreshNeeded());
    }
    for (int i = node->GetChildCount() - 1; i >= 0; --i) {
      ProjectNode* child = node->GetChild(i);
      child->SetLocalFolder(node->ChildFolder(*child), false);
      pending.push_back(child);
    }
  }
}

void ProjectTree::IndexProjects() {
  projects_.clear();
  IndexProjects(root_);
}

void ProjectTree::IndexProjects(ProjectNode& node) {
  std::vector<ProjectNode*> pending{&node};
  while (!pending.empty()) {
    ProjectNode* current = pending.back();
    pending.pop_back();
    projects_[current->GetIndexName()] = current;
    for (int i = current->GetChildCount() - 1; i >= 0; --i) pending.push_back(current->GetChild(i));
  }
}

ProjectNode* ProjectTree::FindProjectByPath(const std::string& indexName) {
  if (indexName.empty() || indexName == "Root") return &root_;
  const auto found = projects_.find(indexName);
  return found == projects_.end() ? nullptr : found->second;
}

void ProjectTree::SetTreeItem(ProjectNode& node, TreeItem item) {
  node.SetTreeItem(item);
  treeItems_[item] = &node;
}

void ProjectTree::ClearTreeItems() {
  treeItems_.clear();
  root_.ClearTreeItems();
}

ProjectNode* ProjectTree::FindProjectByTreeItem(TreeItem item) {
  const auto found = treeItems_.find(item);
  return found == treeItems_.end() ? nullptr : found->second;
}

template <typename Visit>
void ProjectTree::VisitProjects(Visit visit) {
  std::vector<ProjectNode*> pending{&root_};
  while (!pending.empty()) {
    ProjectNode* node = pending.back();
    pending.pop_back();
    if (!visit(*node)) return;
    for (int i = node->GetChildCount() - 1; i >= 0; --i) pending.push_back(node->GetChild(i));
  }
}

ProjectNode* ProjectTree::FindProjectByLocalFolder(const std::string& folder) {
  const std::string wanted = StripTrailingBackslash(folder);
  ProjectNode* match = nullptr;
  VisitProjects([&](ProjectNode& node) {
    if (IsMappedTo(node, wanted)) match = &node;
    return match == nullptr;
  });
  return match;
}

void ProjectTree::FindProjectsMappedToFolder(const std::string& folder, std::vector<std::string>& indexNames) {
  const std::string wanted = StripTrailingBackslash(folder);
  VisitProjects([&](ProjectNode& node) {
    if (IsMappedTo(node, wanted)) indexNames.push_back(node.GetIndexName());
    return true;
  });
}

std::string ProjectTree::GetParentIndexName(const ProjectNode& start, const std::string& indexName) {
  // Each entry: a node below `start` and its parent, visited each before its children.
  std::vector<std::pair<const ProjectNode*, const ProjectNode*>> pending;
  for (int i = start.GetChildCount() - 1; i >= 0; --i) pending.emplace_back(start.GetChild(i), &start);
  while (!pending.empty()) {
    const auto [node, parent] = pending.back();
    pending.pop_back();
    if (node->GetIndexName() == indexName) return parent->GetIndexName();
    for (int i = node->GetChildCount() - 1; i >= 0; --i) pending.emplace_back(node->GetChild(i), node);
  }
  return std::string();
}

std::vector<std::string> ProjectTree::GetShownPath(const std::string& indexName) {
  std::vector<std::string> names;
  std::string current = indexName;
  while (!ProjectNode::IsRootIndexName(current) && names.size() <= static_cast<std::size_t>(ProjectNode::kMaxDepth)) {
    const ProjectNode* node = FindProjectByPath(current);
    if (node == nullptr) return {};
    names.push_back(node->GetName());
    current = GetParentIndexName(root_, current);
  }
  std::reverse(names.begin(), names.end());
  return names;
}
