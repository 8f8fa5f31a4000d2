#include "client/rules/TreeCommandRules.h"

#include "client/document/CBrannockDoc.h"
#include "client/library/ProjectDocumentList.h"
#include "platform/Clock.h"
#include "platform/NumberLocale.h"
#include "client/rules/CommandRights.h"

namespace {

bool IsPlainProject(const ProjectNode& node) { return !node.IsEdition() && !node.IsSupplement(); }

// The request a command sends for the current project; none for the window's own commands.
std::optional<MessageId> RequestOf(TreeCommandRules::Command command) {
  using Command = TreeCommandRules::Command;
  switch (command) {
    case Command::kRetrieve: return MSGID_RETRIEVE;
    case Command::kAdd: return MSGID_ADD_DOCUMENTS;
    case Command::kPublish: return MSGID_CREATE_EDITION;
    case Command::kDelete: return MSGID_DELETE_PROJECT;
    case Command::kRename: return MSGID_RENAME_PROJECT;
    default: return std::nullopt;
  }
}

}  // namespace

ProjectNode* TreeCommandRules::CurrentProject() const {
  const TreeItem current = document_.GetCurrentProjectItem();
  return current == 0 ? nullptr : document_.GetProjectTree().FindProjectByTreeItem(current);
}

bool TreeCommandRules::IsParentOfCurrent(const ProjectNode& node) const {
  const ProjectNode* current = CurrentProject();
  if (current == nullptr) return false;
  for (int c = 0; c < node.GetChildCount(); ++c) {
    if (node.GetChild(c) == current) return true;
  }
  return false;
}

bool TreeCommandRules::IsPublicationUnderWay() const {
  return document_.IsPreparingPublication() || document_.IsPublicationRunning();
}

TreeCommandRules::State TreeCommandRules::Query(Command command) const {
  State state = QueryIgnoringRights(command);
  // A publication under way can always be given up.
  if (state.enabled && !state.checked && RightsRefusal(command)) state.enabled = false;
  return state;
}

std::optional<std::string> TreeCommandRules::RightsRefusal(Command command) const {
  const std::optional<MessageId> request = RequestOf(command);
  return request ? CommandRights(document_).Refusal(*request) : std::nullopt;
}

TreeCommandRules::State TreeCommandRules::QueryIgnoringRights(Command command) const {
  const ProjectNode* current = CurrentProject();
  const bool free = !IsPublicationUnderWay();
  const bool publisher = document_.IsPublisher();
  const bool running = document_.IsPublicationRunning();
  switch (command) {
    case Command::kMap:
    case Command::kRetrieve:
      return {true, free && current != nullptr, false};
    case Command::kChooseLocalFolder:
      return {true, true, false};
    case Command::kAdd:
      return {true, free && document_.HasLocalSelection(), false};
    case Command::kPublish: {
      const bool preparing = document_.IsPreparingPublication();
      if (!publisher || running) return {true, false, preparing};
      if (preparing) return {true, true, true};
      const bool refused =
          current == nullptr || (!current->IsEdition() && current->GetFlag2()) ||
          (!current->IsSupplement() && current->GetFlag3());
      return {true, !refused, false};
    }
    case Command::kConfirm:
      return {true, publisher && document_.IsPreparingPublication() && !running, false};
    case Command::kTips:
      return {true, true, document_.AreTipsOn()};
    case Command::kDelete:
    case Command::kRename:
      if (!publisher) return {};
      return {true, free && current != nullptr && current != &document_.GetProjectTree().GetRoot(), false};
  }
  return {};
}

std::string TreeCommandRules::InformationText(const ProjectDocumentList* documents) const {
  const ProjectNode* node = CurrentProject();
  if (node == nullptr) return std::string();
  const platform::DateLocale dates = platform::UserDateLocale();
  std::string text = node->GetName() + "\n";
  const auto madeBy = [&dates](const std::string& creator, const DateTime& created) {
    return ", made by " + creator + " on " + created.FormatForDisplay(4, dates) + "\n";
  };
  if (node->IsEdition()) {
    text += "Edition of the project \"" + node->GetEdition().GetProjectName() + "\"" +
            madeBy(node->GetEdition().GetCreator(), node->GetEdition().GetCreationTime());
  }
  if (node->IsSupplement()) {
    text += "Supplement of the project \"" + node->GetSupplement().GetProjectName() + "\"" +
            madeBy(node->GetSupplement().GetCreator(), node->GetSupplement().GetCreationTime());
  }
  text += "Local folder: " + node->GetLocalFolder() + "\n";
  text += "Sub-projects: " + std::to_string(node->GetChildCount()) + "\n";
  if (documents == nullptr) return text + "Documents: not listed yet; select the project to list them.";
  std::int64_t bytes = 0;
  const DocumentVersionEntry* latest = nullptr;
  for (int i = 0; i < documents->GetCount(); ++i) {
    const DocumentVersionEntry& entry = *documents->GetAt(i);
    bytes += entry.GetFileSize();
    if (latest == nullptr || latest->GetVersionDate() < entry.GetVersionDate()) latest = &entry;
  }
  text += "Documents: " + std::to_string(documents->GetCount()) + ", " + platform::GroupDigits(bytes) +
          " Bytes in their latest versions";
  if (latest != nullptr) text += "\nLast change: " + latest->GetVersionDate().FormatForDisplay(4, dates);
  return text;
}

bool TreeCommandRules::CanStartProjectDrag(const ProjectNode* underCursor) const {
  return underCursor != nullptr && underCursor == CurrentProject() && IsPlainProject(*underCursor) &&
         !ProjectNode::IsRootIndexName(underCursor->GetIndexName());
}

bool TreeCommandRules::MayDropDocuments(const ProjectNode* target) const {
  const ProjectNode* current = CurrentProject();
  return target != nullptr && current != nullptr && target != current && IsPlainProject(*target) &&
         IsPlainProject(*current) && !ProjectNode::IsRootIndexName(target->GetIndexName());
}

bool TreeCommandRules::MayDropProject(const std::string& dragged, const ProjectNode* target) const {
  return target != nullptr && target != CurrentProject() && target->GetIndexName() != dragged &&
         !IsParentOfCurrent(*target);
}
