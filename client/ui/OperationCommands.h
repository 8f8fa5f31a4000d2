#pragma once
// The Operations commands that act on the document list's ticked documents.
#include <optional>

#include "client/rules/OperationTargets.h"
#include "client/ui/CommandIds.h"

inline std::optional<OperationTargets::Operation> OperationOf(int command) {
  using Operation = OperationTargets::Operation;
  switch (command) {
    case CommandIds::kRetrieve: return Operation::kRetrieve;
    case CommandIds::kCheckOut: return Operation::kCheckOut;
    case CommandIds::kCheckIn: return Operation::kCheckIn;
    case CommandIds::kUndoCheckOut: return Operation::kUndoCheckOut;
    case CommandIds::kDelete: return Operation::kDelete;
    case CommandIds::kRename: return Operation::kRename;
    default: return std::nullopt;
  }
}
