#pragma once
// Which pane answers an Operations command, and what its menu item says. The ticked
// documents are what the document list's operations act on, so while any are ticked
// the list answers those commands whichever pane has the focus; otherwise the focused
// pane does (the tree: the project's retrieve, delete and rename).
#include <string>

#include "client/rules/DocumentCommandRules.h"
#include "client/rules/DocumentRowModel.h"

namespace OperationTargets {

enum class Pane { kTree, kDocuments, kLocal };
enum class Operation { kRetrieve, kCheckOut, kCheckIn, kUndoCheckOut, kDelete, kRename };

Pane Answering(Pane focused, int tickedDocuments);

// How many documents the document list's `operation` acts on now.
int DocumentCount(Operation operation, const DocumentRowModel& rows, const DocumentCommandRules::Situation& situation);

// The menu item naming the count ("Check-&out 3 documents ..."); empty for no
// documents, when the item keeps its own text.
std::string MenuText(Operation operation, int documents);

}  // namespace OperationTargets
