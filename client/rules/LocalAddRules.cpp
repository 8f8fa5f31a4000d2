#include "client/rules/LocalAddRules.h"

#include <algorithm>

#include "client/library/ProjectNode.h"
#include "client/library/ProjectTree.h"
#include "client/rules/LocalFolderListing.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsKnown(const std::string& name, const std::vector<std::string>& documents) {
  return std::any_of(documents.begin(), documents.end(),
                     [&](const std::string& document) { return LocalAddRules::SameNameIgnoringCase(document, name); });
}

}  // namespace

bool LocalAddRules::SameNameIgnoringCase(const std::string& first, const std::string& second) {
  return first.size() == second.size() &&
         std::equal(first.begin(), first.end(), second.begin(), [](char a, char b) { return Lower(a) == Lower(b); });
}

bool LocalAddRules::HasAddable(const std::vector<LocalFileEntry>& selected) {
  return std::any_of(selected.begin(), selected.end(),
                     [](const LocalFileEntry& entry) { return !LocalFolderListing::IsNavigationEntry(entry); });
}

bool LocalAddRules::IsEnabled(const std::vector<LocalFileEntry>& selected, bool publicationBusy) {
  return !publicationBusy && HasAddable(selected);
}

LocalAddRules::QuickPlan LocalAddRules::PlanQuick(const ProjectNode* current, const std::string& listedFolder,
                                                  const std::vector<std::string>& documents,
                                                  const std::vector<LocalFileEntry>& selected) {
  QuickPlan plan;
  if (current == nullptr || !LocalFolderListing::SameFolder(current->GetLocalFolder(), listedFolder)) return plan;
  bool reachedFolder = false;
  for (const LocalFileEntry& entry : selected) {
    if (entry.IsDirectory()) {
      reachedFolder = true;
      break;
    }
    if (!IsKnown(entry.GetFileName(), documents)) plan.files.push_back(entry.GetFileName());
  }
  if (!plan.files.empty() && ProjectNode::IsRootIndexName(current->GetIndexName())) {
    plan.outcome = QuickPlan::kRootRefused;
  } else if (!reachedFolder) {
    plan.outcome = QuickPlan::kSend;
  }
  if (plan.outcome != QuickPlan::kSend) plan.files.clear();
  return plan;
}

std::string LocalAddRules::PresetParent(const std::vector<std::string>& mappedIndexNames, const ProjectNode* mapped,
                                        const ProjectNode* current) {
  if (mappedIndexNames.size() > 1 && current != nullptr &&
      std::find(mappedIndexNames.begin(), mappedIndexNames.end(), current->GetIndexName()) != mappedIndexNames.end()) {
    return current->GetIndexName();
  }
  if (mapped != nullptr) return mapped->GetIndexName();
  return current != nullptr ? current->GetIndexName() : std::string();
}

std::string LocalAddRules::OutsideAddedFolders(const std::string& preset, ProjectTree& tree,
                                               const std::vector<std::string>& addedFolders) {
  const auto isAdded = [&](const ProjectNode& node) {
    return std::any_of(addedFolders.begin(), addedFolders.end(), [&](const std::string& added) {
      return LocalFolderListing::SameFolder(node.GetLocalFolder(), added);
    });
  };
  std::string indexName = preset;
  for (const ProjectNode* node = tree.FindProjectByPath(indexName);
       node != nullptr && !ProjectNode::IsRootIndexName(indexName) && isAdded(*node);
       node = tree.FindProjectByPath(indexName)) {
    indexName = ProjectTree::GetParentIndexName(tree.GetRoot(), indexName);
  }
  return indexName;
}

bool LocalAddRules::RefusesRoot(const std::string& parentIndexName, const std::vector<LocalFileEntry>& selected) {
  return ProjectNode::IsRootIndexName(parentIndexName) && std::any_of(selected.begin(), selected.end(), [](const LocalFileEntry& entry) {
           return !entry.IsDirectory() && !entry.IsProjectMember();
         });
}

std::vector<std::string> LocalAddRules::FilesToSend(const std::vector<LocalFileEntry>& selected,
                                                    const std::vector<std::string>& documents) {
  std::vector<std::string> files;
  for (const LocalFileEntry& entry : selected) {
    if (!entry.IsDirectory() && !IsKnown(entry.GetFileName(), documents)) files.push_back(entry.GetFileName());
  }
  return files;
}

std::vector<std::string> LocalAddRules::FoldersToAdd(const std::vector<LocalFileEntry>& selected) {
  std::vector<std::string> folders;
  for (const LocalFileEntry& entry : selected) {
    if (entry.IsDirectory() && !LocalFolderListing::IsNavigationEntry(entry)) folders.push_back(entry.GetBaseName());
  }
  return folders;
}
