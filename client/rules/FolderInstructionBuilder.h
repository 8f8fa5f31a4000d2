#pragma once
// Turns selected local folders into the instructions of an add batch: for each folder
// an "Add Project" instruction (already done when the parent has a child project of
// that name, ignoring case), its "Add Documents to Project" instruction and, as the
// batch's rules allow, the same for its sub-folders, depth first. Each instruction
// waits on its folder's (the top-level ones on the placeholder).
#include <functional>
#include <string>
#include <vector>

#include "client/document/InstructionBatch.h"
#include "client/document/LocalFileEntry.h"

class ProjectNode;
class ProjectTree;

class FolderInstructionBuilder {
 public:
  static constexpr const char* kMappingMismatch =
      "The local path mapping you specified for project [%s] does not match the known path mapping for the project.  "
      "Add operation will not proceed";

  // Lists the admitted entries of one folder (CBrannockDoc::ScanLocalFolder).
  using Scan =
      std::function<void(std::vector<LocalFileEntry>& entries, const std::string& folder, const FolderRuleSet& rules)>;

  FolderInstructionBuilder(ProjectTree& tree, Scan scan);

  // Appends to `batch` (whose placeholder names the parent) the instructions of the
  // top-level `folders` of `localFolder`, created below the parent as sub-folders of
  // `confirmedFolder`. False at the first existing project that is not found again
  // by its index name (GetMismatch names the folder); the batch must not be queued.
  bool AddFolders(InstructionBatch& batch, const std::vector<std::string>& folders, const std::string& confirmedFolder,
                  const std::string& localFolder);
  // Appends the instructions below the "Add Project" instruction `n`: its documents
  // and sub-folders as the batch's rules allow. True for an `n` out of range.
  bool BuildFolderInstructions(InstructionBatch& batch, int n);

  // The folder name of the failed check; empty while none failed.
  const std::string& GetMismatch() const { return mismatch_; }
  // kMappingMismatch about `folder`.
  static std::string MismatchText(const std::string& folder);

 private:
  // Appends the "Add Project" instruction of `name` waiting on `prerequisite`; it takes
  // an existing child of `existing` (may be null) of that name. -1 after a mismatch.
  int AddProjectInstruction(InstructionBatch& batch, int prerequisite, const ProjectNode* existing,
                            const std::string& name, const std::string& targetFolder, const std::string& sourceFolder);

  ProjectTree& tree_;
  Scan scan_;
  std::string mismatch_;
};
