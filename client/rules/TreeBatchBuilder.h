#pragma once
// Builds the instruction batches of the library tree's commands: retrieving a project
// (with its sub-projects, editions or supplements as chosen), dropping a project on
// another project, and dropping documents on a project.
#include <string>
#include <vector>

#include "client/document/InstructionBatch.h"
#include "client/library/ProjectNode.h"

class CBrannockDoc;

class TreeBatchBuilder {
 public:
  enum Kind {
    kGetProject = 1,
    kAddProject = 2,
    kListVersions = 10,
    kListDocuments = 11,
    kAddDocumentReferences = 13,
    kGetOriginalDocuments = 16,
    kRefreshProjects = 17,
  };

  // An instruction of `kind` for `node`, waiting on `prerequisite`.
  static Instruction MakeInstruction(int kind, int prerequisite, const ProjectNode& node, const std::string& target,
                                     const std::string& source);

  // The choices of the retrieve dialog.
  struct RetrieveChoices {
    std::string localFolder;
    bool useMappedFolders = false;
    bool createProjectFolder = false;
    bool getSubProjects = false;
    bool originalVersions = false;          // else the latest versions
    bool editionWithSupplements = false;
    std::vector<std::string> supplements;   // internal names of the supplements chosen
  };

  // The batch that retrieves `node` as `choices` say.
  static InstructionBatch Retrieve(const ProjectNode& node, const RetrieveChoices& choices);
  // The batch that adds `dragged` and every project below it under `target` and
  // references their documents there. The dragged subtree's lists are asked for first,
  // so projects never opened have a list to read. Cache file names are made where missing.
  static InstructionBatch DropProject(CBrannockDoc& document, ProjectNode& dragged, const ProjectNode& target,
                                      const std::string& comments);
  // The batch that references the documents listed in `listFile` in `target`, then
  // lists the target afresh.
  static InstructionBatch DropDocuments(const ProjectNode& target, const std::string& listFile,
                                        const std::string& comments);
  // Refreshing by right double-click: the project list for the root, else the node's
  // two lists.
  static InstructionBatch Refresh(const ProjectNode& node);

 private:
  static void AddSubProject(InstructionBatch& batch, const ProjectNode& child, int prerequisite, int kind,
                            bool useMappedFolders);
  static void AddDroppedProject(InstructionBatch& batch, ProjectNode& project, int prerequisite,
                                const std::string& target, const std::string& libraryFolder);
};
