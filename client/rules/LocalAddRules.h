#pragma once
// The rules of the local file list's "Add to Library ...", without windows: when the
// command is enabled, whether the selection goes the quick way (files into the
// current project, comments only) or through the add dialog, the parent the dialog
// starts with, and which files are sent. Names of documents compare ignoring case
// here, so a file already in the project is not sent again.
#include <string>
#include <vector>

#include "client/document/LocalFileEntry.h"

class ProjectNode;
class ProjectTree;

class LocalAddRules {
 public:
  static constexpr const char* kRootRefusal =
      "You cannot add files to the Library Root.  Select a project to which to add the files.";
  static constexpr const char* kSendFailed = "Failed to add files to project";

  // Some selected entry is a file, or a folder other than "." and "..".
  static bool HasAddable(const std::vector<LocalFileEntry>& selected);
  // The command's state: an addable selection, and no publication being prepared or run
  // (its batches rebuild the tree under an add).
  static bool IsEnabled(const std::vector<LocalFileEntry>& selected, bool publicationBusy);

  struct QuickPlan {
    enum Outcome {
      kGeneral,      // use the add dialog
      kRootRefused,  // files for the root: kRootRefusal, nothing more
      kSend,         // ask for comments, then send `files` (possibly none)
    };
    Outcome outcome = kGeneral;
    std::vector<std::string> files;
  };
  // The quick way applies when the current project is mapped to the listed folder
  // (compared exactly). The selection is walked in order up to its first folder row;
  // files not among `documents` are collected. A folder row sends it the general way.
  static QuickPlan PlanQuick(const ProjectNode* current, const std::string& listedFolder,
                             const std::vector<std::string>& documents, const std::vector<LocalFileEntry>& selected);

  // The parent the add dialog starts with: with several projects mapped to the folder,
  // the current project when it is one of them; else the mapped project, else the
  // current one, else none ("").
  static std::string PresetParent(const std::vector<std::string>& mappedIndexNames, const ProjectNode* mapped,
                                  const ProjectNode* current);

  // `preset`, unless that project is mapped to one of the `addedFolders` (adding the
  // folder again would nest it in itself): then the nearest project above it that is
  // not; the root at the most.
  static std::string OutsideAddedFolders(const std::string& preset, ProjectTree& tree,
                                         const std::vector<std::string>& addedFolders);

  // Files cannot go to the root: a root (or empty) parent with a selected file that
  // is not a member refuses.
  static bool RefusesRoot(const std::string& parentIndexName, const std::vector<LocalFileEntry>& selected);
  // The names of the selected files that are none of `documents`.
  static std::vector<std::string> FilesToSend(const std::vector<LocalFileEntry>& selected,
                                              const std::vector<std::string>& documents);
  // The selected folders other than "." and "..", in selection order.
  static std::vector<std::string> FoldersToAdd(const std::vector<LocalFileEntry>& selected);

  static bool SameNameIgnoringCase(const std::string& first, const std::string& second);
};
