#include "client/rules/PublicationPreparation.h"

#include "client/library/DocumentListCache.h"
#include "client/library/VersionedDocumentList.h"
#include "client/rules/TreeBatchBuilder.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"

namespace {

Instruction Make(int kind, int prerequisite, const ProjectNode& node, const std::string& folder) {
  return TreeBatchBuilder::MakeInstruction(kind, prerequisite, node, folder, folder);
}

void AddSubtree(InstructionBatch& batch, int kind, const ProjectNode& node, int prerequisite, bool skipPublications) {
  if (skipPublications && (node.IsEdition() || node.IsSupplement())) return;
  const std::string folder = EnsureTrailingBackslash(batch.GetInstruction(prerequisite)->GetTargetFolder()) + node.GetName();
  const int self = batch.AddInstruction(Make(kind, prerequisite, node, folder));
  for (int c = 0; c < node.GetChildCount(); ++c) AddSubtree(batch, kind, *node.GetChild(c), self, skipPublications);
}

// The project's own two requests (none for the root); the index the next level waits on.
int AddOwnLists(InstructionBatch& batch, const ProjectNode& project) {
  const bool root = ProjectNode::IsRootIndexName(project.GetIndexName());
  batch.GetInstruction(0)->SetIndexName(root ? std::string() : project.GetIndexName());
  if (root) return 0;
  batch.AddInstruction(Make(TreeBatchBuilder::kListDocuments, 0, project, project.GetLocalFolder()));
  return batch.AddInstruction(Make(TreeBatchBuilder::kListVersions, 0, project, project.GetLocalFolder()));
}

void AddChildLists(InstructionBatch& batch, const ProjectNode& child, int prerequisite, bool skipPublications) {
  for (const int kind : {TreeBatchBuilder::kListDocuments, TreeBatchBuilder::kListVersions}) {
    AddSubtree(batch, kind, child, prerequisite, skipPublications);
  }
}

}  // namespace

std::optional<std::string> PublicationPreparation::CheckName(const ProjectNode& project, const EditionList& editions,
                                                             const std::string& name, const std::string& comments) {
  if (name.empty() || comments.empty()) return std::string(kNameAndComments);
  if (project.IsEdition()) {
    const std::string full = "<S> " + name;
    for (int c = 0; c < project.GetChildCount(); ++c) {
      if (project.GetChild(c)->GetName() == full) return std::string(kSupplementNotUnique);
    }
    return std::nullopt;
  }
  const std::string full = "<E> " + name;
  for (int e = 0; e < editions.GetCount(); ++e) {
    if (editions.GetAt(e).GetName() == full) return std::string(kEditionNotUnique);
  }
  return std::nullopt;
}

InstructionBatch PublicationPreparation::ListBatch(const ProjectNode& project, bool skipPublications) {
  InstructionBatch batch;
  const int base = AddOwnLists(batch, project);
  for (int c = 0; c < project.GetChildCount(); ++c) AddChildLists(batch, *project.GetChild(c), base, skipPublications);
  return batch;
}

InstructionBatch PublicationPreparation::BasedUponBatch(const ProjectNode& edition, const ProjectNode& project) {
  InstructionBatch batch;
  const int base = AddOwnLists(batch, edition);
  for (int c = 0; c < edition.GetChildCount(); ++c) AddChildLists(batch, *edition.GetChild(c), base, false);
  for (int c = 0; c < project.GetChildCount(); ++c) {
    const ProjectNode& child = *project.GetChild(c);
    if (!child.IsEdition() && !child.IsSupplement()) AddChildLists(batch, child, base, false);
  }
  return batch;
}

void PublicationPreparation::KeepCopies(const ProjectNode& project) {
  const std::string versions = DocumentListCache::VersionsFilePath(libraryFolder_, project.GetCacheFilePath());
  if (!versions.empty() && platform::fs::Exists(versions)) {
    platform::fs::CopyFile(versions, versions + "_BPTemp", platform::fs::CopyMode::Overwrite);
  }
  for (int c = 0; c < project.GetChildCount(); ++c) KeepCopies(*project.GetChild(c));
}

bool PublicationPreparation::Retick(const ProjectNode& node, Tick tick) const {
  if (IsRoot(node)) return true;
  const std::string path = DocumentListCache::VersionsFilePath(libraryFolder_, node.GetCacheFilePath());
  VersionedDocumentList list;
  if (path.empty() || !list.ReadFile(path)) return false;
  for (int d = 0; d < list.GetCount(); ++d) {
    VersionedDocument& document = *list.GetAt(d);
    document.SetSelectedIndex(-1);
    if (tick == Tick::kLatest) document.SelectLatestVersion();
    for (int v = 0; tick == Tick::kOriginal && v < document.GetVersionCount(); ++v) {
      if (document.GetVersion(v)->IsOriginalEdition()) {
        document.SetSelectedIndex(v);
        break;
      }
    }
  }
  return list.WriteFile(path);
}

void PublicationPreparation::ClearSubtree(const ProjectNode& node) const {
  if (!Retick(node, Tick::kNone)) return;
  for (int c = 0; c < node.GetChildCount(); ++c) ClearSubtree(*node.GetChild(c));
}

void PublicationPreparation::ClearAllSelections() { ClearSubtree(tree_.GetRoot()); }

void PublicationPreparation::PreTickFresh(const ProjectNode& project, const std::string& chosenEdition) {
  if ((project.IsEdition() && project.GetIndexName() != chosenEdition) || project.IsSupplement()) {
    ClearSubtree(project);
    return;
  }
  if (!Retick(project, Tick::kLatest)) return;
  for (int c = 0; c < project.GetChildCount(); ++c) PreTickFresh(*project.GetChild(c), chosenEdition);
}

SupplementList PublicationPreparation::IncludedSupplements(const SupplementList& supplements,
                                                           const std::vector<bool>& included) {
  SupplementList chosen;
  for (int s = supplements.GetCount() - 1; s >= 0; --s) {
    if (static_cast<std::size_t>(s) < included.size() && included[static_cast<std::size_t>(s)]) {
      chosen.Add(supplements.GetAt(s));
    }
  }
  return chosen;
}

std::set<std::string> PublicationPreparation::ProjectPaths(const ProjectNode& edition,
                                                           const PublicationSelection& selection) {
  std::set<std::string> paths;
  struct Pending {
    const ProjectNode* node;
    std::string parentPath;
  };
  std::vector<Pending> pending{{&edition, std::string()}};
  while (!pending.empty()) {
    const Pending next = pending.back();
    pending.pop_back();
    const ProjectNode& node = *next.node;
    std::string path;
    if (node.IsSupplement()) {
      if (!selection.IncludesSupplement(node.GetIndexName())) continue;
      path = node.GetRecordedProjectName();
    } else if (node.IsEdition()) {
      path = next.parentPath + node.GetRecordedProjectName();
    } else {
      path = next.parentPath + node.GetName();
    }
    paths.insert(path);
    for (int c = node.GetChildCount() - 1; c >= 0; --c) pending.push_back({node.GetChild(c), path});
  }
  return paths;
}

void PublicationPreparation::PreTickBasedUpon(const ProjectNode& project, const ProjectNode& edition,
                                              const PublicationSelection& selection) {
  switch (selection.versionChoice) {
    case PublicationSelection::kLatestEditionVersions:
      PreTickLatestEdition(project, edition, selection, false);
      break;
    case PublicationSelection::kLatestProjectVersions:
      PreTickLatestProject(project, edition, selection, ProjectPaths(edition, selection), std::string(), false);
      break;
    case PublicationSelection::kOriginalEditionVersions:
      PreTickOriginal(project, edition, selection, false);
      break;
    default:
      break;
  }
}

void PublicationPreparation::PreTickLatestEdition(const ProjectNode& node, const ProjectNode& edition,
                                                  const PublicationSelection& selection, bool inside) {
  if ((node.IsEdition() && &node != &edition) ||
      (node.IsSupplement() && !selection.IncludesSupplement(node.GetIndexName()))) {
    ClearSubtree(node);
    return;
  }
  if (&node == &edition) inside = true;
  if (!Retick(node, inside ? Tick::kLatest : Tick::kNone)) return;
  for (int c = 0; c < node.GetChildCount(); ++c) PreTickLatestEdition(*node.GetChild(c), edition, selection, inside);
}

void PublicationPreparation::PreTickLatestProject(const ProjectNode& node, const ProjectNode& edition,
                                                  const PublicationSelection& selection,
                                                  const std::set<std::string>& paths, const std::string& parentPath,
                                                  bool inside) {
  if (&node == &edition || (node.IsSupplement() && selection.IncludesSupplement(node.GetIndexName()))) inside = true;
  const bool publication = node.IsEdition() || node.IsSupplement() || node.GetFlag2() || node.GetFlag3();
  if (publication && !inside) {
    ClearSubtree(node);
    return;
  }
  const std::string path =
      node.IsEdition() || node.IsSupplement() ? node.GetRecordedProjectName() : parentPath + node.GetName();
  if (paths.count(path) == 0) {
    ClearSubtree(node);
  } else if (!Retick(node, Tick::kLatest)) {
    return;
  }
  for (int c = 0; c < node.GetChildCount(); ++c) {
    PreTickLatestProject(*node.GetChild(c), edition, selection, paths, path, inside);
  }
}

void PublicationPreparation::PreTickOriginal(const ProjectNode& node, const ProjectNode& edition,
                                             const PublicationSelection& selection, bool inside) {
  if (node.IsSupplement() && !selection.IncludesSupplement(node.GetIndexName())) {
    ClearSubtree(node);
    return;
  }
  if (&node == &edition) inside = true;
  const bool original = &node == &edition || (inside && node.GetFlag1());
  if (!Retick(node, original ? Tick::kOriginal : Tick::kNone)) return;
  for (int c = 0; c < node.GetChildCount(); ++c) PreTickOriginal(*node.GetChild(c), edition, selection, inside);
}
