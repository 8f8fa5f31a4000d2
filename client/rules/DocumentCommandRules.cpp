#include "client/rules/DocumentCommandRules.h"

#include <algorithm>
#include <fstream>
#include <set>

#include "client/document/UndeliveredCheckOuts.h"
#include "common/NameValidation.h"
#include "common/StringHelpers.h"

namespace DocumentCommandRules {
namespace {

const VersionedDocument& DocumentOf(const DocumentRowModel& rows, int row) {
  return *rows.GetList().GetAt(rows.GetRow(row).document);
}

bool HasCheckedOutVersion(const VersionedDocument& document, const std::string* user = nullptr) {
  for (int k = 0; k < document.GetVersionCount(); ++k) {
    const DocumentVersionEntry& version = *document.GetVersion(k);
    if (version.IsCheckedOut() && (user == nullptr || version.GetCheckedOutTo() == *user)) return true;
  }
  return false;
}

// The ticked rows with a version found, in row order.
std::vector<int> TickedRows(const DocumentRowModel& rows) {
  std::vector<int> ticked;
  for (int r = 0; r < rows.GetRowCount(); ++r) {
    if (rows.IsTicked(r) && rows.GetRowVersionIndex(r) >= 0) ticked.push_back(r);
  }
  return ticked;
}

ProjectDocumentList EmptyCollection(const DocumentRowModel& rows) {
  ProjectDocumentList list;
  list.SetProjectName(rows.GetList().GetProjectName());
  list.SetProjectIndexName(rows.GetList().GetProjectIndexName());
  return list;
}

// Walks the rows that are ticked when reached (an untick may untick others) and have a
// version; `visit(row, first)` says whether this is the document's first such row.
template <typename Visit>
void WalkTicked(const DocumentRowModel& rows, Visit visit) {
  std::set<std::string> seen;
  for (int r = 0; r < rows.GetRowCount(); ++r) {
    const int version = rows.GetRowVersionIndex(r);
    if (!rows.IsTicked(r) || version < 0) continue;
    const std::string& name = DocumentOf(rows, r).GetVersion(version)->GetName();
    visit(r, version, seen.insert(name).second);
  }
}

void Untick(DocumentRowModel& rows, int row, const PublicationFlags& flags) {
  if (rows.IsTicked(row)) rows.ToggleRowTick(row, false, flags);
}

bool AnyTickedDocument(const DocumentRowModel& rows, bool (*test)(const VersionedDocument&, const std::string*),
                       const std::string* user) {
  for (int r : TickedRows(rows)) {
    if (test(DocumentOf(rows, r), user)) return true;
  }
  return false;
}

bool NoTickedDocumentCheckedOut(const DocumentRowModel& rows) {
  return !AnyTickedDocument(rows, HasCheckedOutVersion, nullptr);
}

// The version of `document` that the user holds without its file; null when none.
const DocumentVersionEntry* HeldWithoutFile(const VersionedDocument& document, const Situation& situation) {
  for (int k = 0; k < document.GetVersionCount(); ++k) {
    const DocumentVersionEntry* version = document.GetVersion(k);
    if (UndeliveredCheckOuts::IsHeldWithoutFile(*version, situation.userName, situation.projectFolder)) return version;
  }
  return nullptr;
}

bool MayCheckOut(const VersionedDocument& document, const Situation& situation) {
  return !HasCheckedOutVersion(document) || HeldWithoutFile(document, situation) != nullptr;
}

bool IsPublicationUnderWay(const PublicationFlags& flags) { return flags.preparing || flags.running; }

}  // namespace

bool CanAdd(const Situation& situation) {
  return situation.localSelection && !IsPublicationUnderWay(situation.flags);
}

bool CanCheckOut(const DocumentRowModel& rows, const Situation& situation) {
  const std::vector<int> ticked = TickedRows(rows);
  return !IsPublicationUnderWay(situation.flags) && !ticked.empty() &&
         std::all_of(ticked.begin(), ticked.end(), [&](int r) { return MayCheckOut(DocumentOf(rows, r), situation); });
}

bool CanCheckIn(const DocumentRowModel& rows, const Situation& situation) {
  return !IsPublicationUnderWay(situation.flags) && AnyTickedDocument(rows, HasCheckedOutVersion, &situation.userName);
}

bool CanUndoCheckOut(const DocumentRowModel& rows, const Situation& situation) {
  return situation.undoCheckOutServed && CanCheckIn(rows, situation);
}

bool CanRetrieve(const DocumentRowModel& rows, const Situation& situation) {
  if (rows.GetRowCount() == 0 || IsPublicationUnderWay(situation.flags)) return false;
  for (int r = 0; r < rows.GetRowCount(); ++r) {
    if (rows.IsTicked(r)) return true;
  }
  return false;
}

bool CanDelete(const DocumentRowModel& rows, const Situation& situation) {
  return situation.publisher && !IsPublicationUnderWay(situation.flags) && !TickedRows(rows).empty() &&
         NoTickedDocumentCheckedOut(rows);
}

bool CanRename(const DocumentRowModel& rows, const Situation& situation) {
  if (!situation.publisher || IsPublicationUnderWay(situation.flags)) return false;
  int ticked = 0;
  for (int r = 0; r < rows.GetRowCount(); ++r) ticked += rows.IsTicked(r) ? 1 : 0;
  return ticked == 1 && NoTickedDocumentCheckedOut(rows);
}

int CountTickedDocuments(const DocumentRowModel& rows) {
  int count = 0;
  WalkTicked(rows, [&](int, int, bool first) { count += first ? 1 : 0; });
  return count;
}

int CountCheckInDocuments(const DocumentRowModel& rows, const std::string& userName) {
  int count = 0;
  WalkTicked(rows, [&](int row, int, bool first) {
    if (first && HasCheckedOutVersion(DocumentOf(rows, row), &userName)) ++count;
  });
  return count;
}

std::pair<bool, bool> CheckOutReferenceFlags(int option) {
  switch (option) {
    case 1: return {false, true};
    case 2: return {true, false};
    case 3: return {true, true};
    default: return {false, false};
  }
}

ProjectDocumentList CollectCheckOut(DocumentRowModel& rows, const Situation& situation) {
  ProjectDocumentList list = EmptyCollection(rows);
  WalkTicked(rows, [&](int row, int version, bool first) {
    if (!first) return;
    const VersionedDocument& document = DocumentOf(rows, row);
    if (!HasCheckedOutVersion(document)) {
      list.Add(*document.GetVersion(version));
    } else if (const DocumentVersionEntry* held = HeldWithoutFile(document, situation)) {
      list.Add(*held);
    }
    Untick(rows, row, situation.flags);
  });
  return list;
}

ProjectDocumentList CollectRetrieve(DocumentRowModel& rows, const PublicationFlags& flags) {
  ProjectDocumentList list = EmptyCollection(rows);
  WalkTicked(rows, [&](int row, int version, bool first) {
    if (first) list.Add(*DocumentOf(rows, row).GetVersion(version));
    Untick(rows, row, flags);
  });
  return list;
}

ProjectDocumentList CollectUndoCheckOut(DocumentRowModel& rows, const Situation& situation) {
  ProjectDocumentList list = EmptyCollection(rows);
  WalkTicked(rows, [&](int row, int, bool first) {
    if (!first) return;
    const VersionedDocument& document = DocumentOf(rows, row);
    for (int k = 0; k < document.GetVersionCount(); ++k) {
      const DocumentVersionEntry& version = *document.GetVersion(k);
      if (version.IsCheckedOut() && version.GetCheckedOutTo() == situation.userName) {
        list.Add(version);
        break;
      }
    }
    Untick(rows, row, situation.flags);
  });
  return list;
}

ProjectDocumentList CollectDelete(DocumentRowModel& rows, const PublicationFlags& flags) {
  ProjectDocumentList list = EmptyCollection(rows);
  WalkTicked(rows, [&](int row, int, bool first) {
    if (!first) return;
    list.Add(*DocumentOf(rows, row).GetVersion(0));
    Untick(rows, row, flags);
  });
  return list;
}

ProjectDocumentList CollectDrag(const DocumentRowModel& rows) {
  ProjectDocumentList list = EmptyCollection(rows);
  WalkTicked(rows, [&](int row, int version, bool first) {
    if (first) list.Add(*DocumentOf(rows, row).GetVersion(version));
  });
  return list;
}

CheckIn CollectCheckIn(DocumentRowModel& rows, const PublicationFlags& flags, const std::string& userName,
                       const std::string& projectFolder, const std::string& encodedComments) {
  CheckIn result{EmptyCollection(rows), ""};
  WalkTicked(rows, [&](int row, int, bool first) {
    if (!first) return;
    const VersionedDocument& document = DocumentOf(rows, row);
    for (int k = 0; k < document.GetVersionCount(); ++k) {
      const DocumentVersionEntry& version = *document.GetVersion(k);
      if (!version.IsCheckedOut() || version.GetCheckedOutTo() != userName) continue;
      const std::string path = EnsureTrailingBackslash(projectFolder) + version.GetName();
      // Only a plain name inside a mapped folder is looked for: no probing elsewhere.
      const bool readable =
          !projectFolder.empty() && IsValidStoredName(version.GetName()) && std::ifstream(path, std::ios::binary).is_open();
      if (readable) {
        DocumentVersionEntry entry = version;
        entry.SetComment(encodedComments);
        result.documents.Add(entry);
      } else {
        result.missingFiles += path + "\r\n";
      }
      break;
    }
    Untick(rows, row, flags);
  });
  return result;
}

std::vector<RenameTarget> CollectRename(const DocumentRowModel& rows) {
  std::vector<RenameTarget> targets;
  for (int r : TickedRows(rows)) targets.push_back({r, *DocumentOf(rows, r).GetVersion(rows.GetRowVersionIndex(r))});
  return targets;
}

}  // namespace DocumentCommandRules
