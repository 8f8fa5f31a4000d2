#include "client/rules/OperationTargets.h"

namespace OperationTargets {

Pane Answering(Pane focused, int tickedDocuments) {
  return tickedDocuments > 0 ? Pane::kDocuments : focused;
}

int DocumentCount(Operation operation, const DocumentRowModel& rows, const DocumentCommandRules::Situation& situation) {
  // Check-in and its undoing both act on the documents the user holds.
  if (operation == Operation::kCheckIn || operation == Operation::kUndoCheckOut) {
    return DocumentCommandRules::CountCheckInDocuments(rows, situation.userName);
  }
  return DocumentCommandRules::CountTickedDocuments(rows);
}

std::string MenuText(Operation operation, int documents) {
  if (documents <= 0) return std::string();
  const std::string counted = std::to_string(documents) + (documents == 1 ? " document" : " documents");
  switch (operation) {
    case Operation::kRetrieve: return "&Retrieve " + counted + " from Library ...";
    case Operation::kCheckOut: return "Check-&out " + counted + " ...";
    case Operation::kCheckIn: return "Check-&in " + counted + " ...";
    case Operation::kUndoCheckOut: return "&Undo check-out of " + counted + " ...";
    case Operation::kDelete: return "&Delete " + counted + " from Library ...";
    case Operation::kRename: return "Re&name " + counted + " ...";
  }
  return std::string();
}

}  // namespace OperationTargets
