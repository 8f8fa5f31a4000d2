#include "client/rules/TreeBatchBuilder.h"

#include <algorithm>

#include "client/document/CBrannockDoc.h"
#include "common/StringHelpers.h"

namespace {

bool IsPlainProject(const ProjectNode& node) { return !node.IsEdition() && !node.IsSupplement(); }

}  // namespace

Instruction TreeBatchBuilder::MakeInstruction(int kind, int prerequisite, const ProjectNode& node,
                                              const std::string& target, const std::string& source) {
  Instruction instruction;
  instruction.SetKind(kind);
  instruction.SetPrerequisite(prerequisite);
  instruction.SetName(node.GetName());
  instruction.SetIndexName(node.GetIndexName());
  instruction.SetTargetFolder(target);
  instruction.SetSourceFolder(source);
  return instruction;
}

namespace {

Instruction Make(int kind, int prerequisite, const ProjectNode& node, const std::string& target,
                 const std::string& source) {
  return TreeBatchBuilder::MakeInstruction(kind, prerequisite, node, target, source);
}

}  // namespace

InstructionBatch TreeBatchBuilder::Retrieve(const ProjectNode& node, const RetrieveChoices& choices) {
  InstructionBatch batch;
  batch.GetInstruction(0)->SetIndexName(node.GetIndexName());
  std::string folder = choices.useMappedFolders ? node.GetLocalFolder() : choices.localFolder;
  if (choices.createProjectFolder) folder = EnsureTrailingBackslash(folder) + node.GetName();

  const bool original = !IsPlainProject(node) && choices.originalVersions;
  const int kind = original ? kGetOriginalDocuments : kGetProject;
  const int self = batch.AddInstruction(Make(kind, 0, node, folder, folder));
  if (!choices.getSubProjects) return batch;
  for (int c = 0; c < node.GetChildCount(); ++c) {
    const ProjectNode& child = *node.GetChild(c);
    const bool taken = IsPlainProject(node) ? IsPlainProject(child)
                       : original           ? !child.IsSupplement() && child.GetFlag1()
                                            : !child.IsSupplement();
    if (taken) AddSubProject(batch, child, self, kind, choices.useMappedFolders);
  }
  if (IsPlainProject(node) || !choices.editionWithSupplements) return batch;
  for (int c = 0; c < node.GetChildCount(); ++c) {
    const ProjectNode& child = *node.GetChild(c);
    const auto& chosen = choices.supplements;
    if (child.IsSupplement() && std::find(chosen.begin(), chosen.end(), child.GetIndexName()) != chosen.end()) {
      AddSubProject(batch, child, self, kind, choices.useMappedFolders);
    }
  }
  return batch;
}

void TreeBatchBuilder::AddSubProject(InstructionBatch& batch, const ProjectNode& child, int prerequisite, int kind,
                                     bool useMappedFolders) {
  std::string folder;
  if (useMappedFolders) {
    folder = child.GetLocalFolder();
  } else {
    folder = batch.GetInstruction(prerequisite)->GetTargetFolder();
    if (IsPlainProject(child)) folder = EnsureTrailingBackslash(folder) + child.GetName();
  }
  const int self = batch.AddInstruction(Make(kind, prerequisite, child, folder, folder));
  for (int c = 0; c < child.GetChildCount(); ++c) {
    const ProjectNode& grandChild = *child.GetChild(c);
    if (!IsPlainProject(grandChild)) continue;
    if (kind == kGetProject) {
      AddSubProject(batch, grandChild, self, kGetProject, useMappedFolders);
    } else if (grandChild.GetFlag1()) {
      AddSubProject(batch, grandChild, self, kGetOriginalDocuments, useMappedFolders);
    }
  }
}

InstructionBatch TreeBatchBuilder::DropProject(CBrannockDoc& document, ProjectNode& dragged, const ProjectNode& target,
                                               const std::string& comments) {
  InstructionBatch batch;
  batch.GetInstruction(0)->SetIndexName(target.GetIndexName());
  batch.SetComments(comments);
  document.QueueProjectListRequests(dragged, batch);
  AddDroppedProject(batch, dragged, 0, EnsureTrailingBackslash(target.GetLocalFolder()) + dragged.GetName(),
                    EnsureTrailingBackslash(document.GetLibraryFolder()));
  return batch;
}

void TreeBatchBuilder::AddDroppedProject(InstructionBatch& batch, ProjectNode& project, int prerequisite,
                                         const std::string& target, const std::string& libraryFolder) {
  // The list replies name the cache file so; the references step reads it by that name.
  if (project.GetCacheFilePath().empty()) project.MakeCacheFileName();
  const std::string source = libraryFolder + project.GetCacheFilePath();
  const int added = batch.AddInstruction(Make(kAddProject, prerequisite, project, target, source));
  batch.AddInstruction(Make(kAddDocumentReferences, added, project, target, source));
  for (int c = 0; c < project.GetChildCount(); ++c) {
    ProjectNode& child = *project.GetChild(c);
    AddDroppedProject(batch, child, added, EnsureTrailingBackslash(target) + child.GetName(), libraryFolder);
  }
}

InstructionBatch TreeBatchBuilder::DropDocuments(const ProjectNode& target, const std::string& listFile,
                                                 const std::string& comments) {
  InstructionBatch batch;
  batch.GetInstruction(0)->SetIndexName(target.GetIndexName());
  batch.SetComments(comments);
  batch.AddInstruction(Make(kAddDocumentReferences, 0, target, target.GetLocalFolder(), listFile));
  for (const int kind : {kListDocuments, kListVersions}) {
    batch.AddInstruction(Make(kind, 1, target, target.GetLocalFolder(), target.GetLocalFolder()));
  }
  return batch;
}

InstructionBatch TreeBatchBuilder::Refresh(const ProjectNode& node) {
  InstructionBatch batch;
  if (node.GetIndexName() == ProjectNode::kRootIndexName) {
    Instruction refresh;
    refresh.SetKind(kRefreshProjects);
    refresh.SetPrerequisite(0);
    batch.AddInstruction(refresh);
    return batch;
  }
  for (const int kind : {kListDocuments, kListVersions}) batch.AddInstruction(Make(kind, 0, node, "", ""));
  return batch;
}
