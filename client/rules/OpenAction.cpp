#include "client/rules/OpenAction.h"

OpenAction::Action OpenAction::For(Row row, bool localCopyExists) {
  switch (row) {
    case Row::kFolder:
      return Action::kEnterFolder;
    case Row::kLocalFile:
      return Action::kOpenLocalCopy;
    case Row::kDocument:
      return localCopyExists ? Action::kOpenLocalCopy : Action::kOpenFetchedCopy;
    case Row::kVersion:
      break;
  }
  return Action::kOpenFetchedCopy;
}
