#include "client/rules/FolderInstructionBuilder.h"

#include <string_view>
#include <utility>

#include "client/library/ProjectTree.h"
#include "client/rules/LocalAddRules.h"
#include "client/rules/LocalFolderListing.h"

namespace {

constexpr int kAddProject = 2;
constexpr int kAddDocuments = 3;

bool IsPatternForAll(const std::string& parameter) { return parameter == "*" || parameter == "*.*"; }

// What the batch's rules let the builder take; the finer rules are the scan's.
struct Takes {
  bool folders = false;
  bool documents = false;
};

Takes TakesOf(const FolderRuleSet& rules) {
  bool noFolders = false;
  bool noDocuments = false;
  for (int i = 0; i < rules.GetExclusionCount(); ++i) {
    const FolderRule& rule = rules.GetExclusion(i);
    switch (rule.GetType()) {
      case FolderRule::kNoFolders: noFolders = true; break;
      case FolderRule::kNoFoldersNamed:
      case FolderRule::kNoSubFoldersOfFoldersNamed:
        noFolders = noFolders || IsPatternForAll(rule.GetParameter());
        break;
      case FolderRule::kNoDocumentsNamed: noDocuments = noDocuments || IsPatternForAll(rule.GetParameter()); break;
      default: break;
    }
  }
  Takes takes;
  for (int i = 0; i < rules.GetInclusionCount(); ++i) {
    const std::int32_t type = rules.GetInclusion(i).GetType();
    takes.folders = takes.folders || type == FolderRule::kAllFolders || type == FolderRule::kFoldersNamed;
    takes.documents = takes.documents || type == FolderRule::kAllDocuments || type == FolderRule::kDocumentsNamed;
  }
  takes.folders = takes.folders && !noFolders;
  takes.documents = takes.documents && !noDocuments;
  return takes;
}

const ProjectNode* ChildNamed(const ProjectNode* parent, const std::string& name) {
  if (parent == nullptr) return nullptr;
  for (int i = 0; i < parent->GetChildCount(); ++i) {
    if (LocalAddRules::SameNameIgnoringCase(parent->GetChild(i)->GetName(), name)) return parent->GetChild(i);
  }
  return nullptr;
}

}  // namespace

FolderInstructionBuilder::FolderInstructionBuilder(ProjectTree& tree, Scan scan)
    : tree_(tree), scan_(std::move(scan)) {}

std::string FolderInstructionBuilder::MismatchText(const std::string& folder) {
  const std::string_view text = kMappingMismatch;
  const std::size_t at = text.find("%s");
  std::string result(text.substr(0, at));
  result += folder;
  result += text.substr(at + 2);
  return result;
}

bool FolderInstructionBuilder::AddFolders(InstructionBatch& batch, const std::vector<std::string>& folders,
                                          const std::string& confirmedFolder, const std::string& localFolder) {
  const ProjectNode* parent = tree_.FindProjectByPath(batch.GetInstruction(0)->GetIndexName());
  for (const std::string& name : folders) {
    const int n = AddProjectInstruction(batch, 0, parent, name, LocalFolderListing::ChildOf(confirmedFolder, name),
                                        LocalFolderListing::ChildOf(localFolder, name));
    if (n < 0 || !BuildFolderInstructions(batch, n)) return false;
  }
  return true;
}

bool FolderInstructionBuilder::BuildFolderInstructions(InstructionBatch& batch, int n) {
  if (n < 0 || n >= batch.GetCount()) return true;
  const Takes takes = TakesOf(batch.GetRuleSet());
  const Instruction folder = *batch.GetInstruction(n);
  if (takes.documents) {
    Instruction documents;
    documents.SetKind(kAddDocuments);
    documents.SetPrerequisite(n);
    documents.SetName(folder.GetName());
    documents.SetIndexName(folder.GetIndexName());
    documents.SetTargetFolder(folder.GetTargetFolder());
    documents.SetSourceFolder(folder.GetSourceFolder());
    batch.AddInstruction(documents);
  }
  if (!takes.folders) return true;
  std::vector<LocalFileEntry> entries;
  scan_(entries, folder.GetSourceFolder(), batch.GetRuleSet());
  // A project still to be created has no sub-projects yet.
  const ProjectNode* existing =
      folder.GetIndexName().empty() ? nullptr : tree_.FindProjectByPath(folder.GetIndexName());
  for (const LocalFileEntry& entry : entries) {
    if (!entry.IsDirectory() || LocalFolderListing::IsNavigationEntry(entry)) continue;
    const std::string& name = entry.GetBaseName();
    const int child =
        AddProjectInstruction(batch, n, existing, name, LocalFolderListing::ChildOf(folder.GetTargetFolder(), name),
                              LocalFolderListing::ChildOf(folder.GetSourceFolder(), name));
    if (child < 0 || !BuildFolderInstructions(batch, child)) return false;
  }
  return true;
}

int FolderInstructionBuilder::AddProjectInstruction(InstructionBatch& batch, int prerequisite,
                                                    const ProjectNode* existing, const std::string& name,
                                                    const std::string& targetFolder, const std::string& sourceFolder) {
  Instruction instruction;
  instruction.SetKind(kAddProject);
  instruction.SetPrerequisite(prerequisite);
  instruction.SetName(name);
  instruction.SetTargetFolder(targetFolder);
  instruction.SetSourceFolder(sourceFolder);
  if (const ProjectNode* child = ChildNamed(existing, name)) {
    // The project exists: it is walked for new documents and sub-folders, not made again.
    const ProjectNode* known = tree_.FindProjectByPath(child->GetIndexName());
    if (known == nullptr || ProjectNode::IsRootIndexName(child->GetIndexName())) {
      mismatch_ = name;
      return -1;
    }
    instruction.SetIndexName(known->GetIndexName());
    instruction.SetSent(true);
    instruction.SetDone(true);
    instruction.SetSucceeded(true);
  }
  return batch.AddInstruction(instruction);
}
