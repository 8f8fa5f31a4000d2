#pragma once
// The rules behind the library tree's commands, drags and information text, read
// from the document's state: the current project, the publication flags, the program
// (only the publisher publishes, deletes and renames), the local selection and the tips.
#include <optional>
#include <string>

class CBrannockDoc;
class ProjectDocumentList;
class ProjectNode;

class TreeCommandRules {
 public:
  enum class Command { kMap, kRetrieve, kChooseLocalFolder, kAdd, kPublish, kConfirm, kTips, kDelete, kRename };
  struct State {
    bool handled = false;   // false: the program has no such command
    bool enabled = false;
    bool checked = false;
  };

  explicit TreeCommandRules(CBrannockDoc& document) : document_(document) {}

  // While a publication is prepared or runs, only publishing, confirming, choosing
  // the local folder and the tips stay; while it runs, publishing and confirming go too.
  // A command whose request the account's role in the current project does not allow is off.
  State Query(Command command) const;
  // Why the account's role in the current project forbids the command; none when it does not.
  std::optional<std::string> RightsRefusal(Command command) const;
  // True while the tree's own actions (drags, refreshes, commands other than the
  // publication's) are held back by a publication.
  bool IsPublicationUnderWay() const;

  // The text about the current project in user-facing names, in the user's locales:
  // what an edition or supplement is of and who made it when, its local folder and
  // sub-projects, and from `documents` (null: never listed) its documents' count,
  // size and last change. Empty without a current project.
  std::string InformationText(const ProjectDocumentList* documents) const;

  // A project drag starts only from the current item showing a plain project other than the root.
  bool CanStartProjectDrag(const ProjectNode* underCursor) const;
  // Whether documents dragged from the current project may be dropped on `target`.
  bool MayDropDocuments(const ProjectNode* target) const;
  // Whether the project being dragged (index name `dragged`) may be dropped on `target`.
  bool MayDropProject(const std::string& dragged, const ProjectNode* target) const;

 private:
  State QueryIgnoringRights(Command command) const;
  ProjectNode* CurrentProject() const;
  bool IsParentOfCurrent(const ProjectNode& node) const;

  CBrannockDoc& document_;
};
