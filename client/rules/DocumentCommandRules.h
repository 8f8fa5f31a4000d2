#pragma once
// The rules behind the document list's commands, without windows: when each command
// is enabled, which ticked rows it collects into the ProjectDocumentList it sends
// (one entry per document, the first ticked row winning) and which rows it unticks.
// Rows whose revision names no version are skipped by every command.
#include <string>
#include <utility>
#include <vector>

#include "client/library/ProjectDocumentList.h"
#include "client/rules/DocumentRowModel.h"

namespace DocumentCommandRules {

constexpr const char* kMissingFilesText =
    "The following files which you have selected for check-in cannot be found.  Check the local folder mapping "
    "for the project\r\n\r\n";

// What the enabling rules read besides the rows.
struct Situation {
  PublicationFlags flags;
  bool publisher = true;        // the plain client has no deletion or renaming
  bool localSelection = false;  // the local file list holds something to add
  std::string userName;         // the account name a check-out names
  std::string projectFolder;    // the current project's local folder; "" when unmapped
  bool undoCheckOutServed = false;  // the server takes check-outs back
};

bool CanAdd(const Situation& situation);
// Every ticked document is free, or held by the user without its file.
bool CanCheckOut(const DocumentRowModel& rows, const Situation& situation);
bool CanCheckIn(const DocumentRowModel& rows, const Situation& situation);
// Some ticked document is held by the user, and the server takes check-outs back.
bool CanUndoCheckOut(const DocumentRowModel& rows, const Situation& situation);
bool CanRetrieve(const DocumentRowModel& rows, const Situation& situation);
bool CanDelete(const DocumentRowModel& rows, const Situation& situation);
bool CanRename(const DocumentRowModel& rows, const Situation& situation);

// The documents the ticked rows name (a document ticked in several rows counts once).
int CountTickedDocuments(const DocumentRowModel& rows);
// Of those, the documents with a version checked out to `userName`: what check-in sends.
int CountCheckInDocuments(const DocumentRowModel& rows, const std::string& userName);

// The check-out options dialog's choice (0-3) as the two flags of the request: take
// in the documents referencing it, and those it references.
std::pair<bool, bool> CheckOutReferenceFlags(int option);

// Each collector walks the ticked rows in order and unticks as its command does.
// Check-out: the rows' versions of documents with no version checked out, and the
// held version of documents the situation's user holds without their file.
ProjectDocumentList CollectCheckOut(DocumentRowModel& rows, const Situation& situation);
// Retrieve: the rows' versions; every ticked row is unticked, repeats too.
ProjectDocumentList CollectRetrieve(DocumentRowModel& rows, const PublicationFlags& flags);
// Undo check-out: of each document the version the situation's user holds.
ProjectDocumentList CollectUndoCheckOut(DocumentRowModel& rows, const Situation& situation);
// Delete: each document's first version entry.
ProjectDocumentList CollectDelete(DocumentRowModel& rows, const PublicationFlags& flags);
// Drag: the rows' versions; nothing is unticked.
ProjectDocumentList CollectDrag(const DocumentRowModel& rows);

struct CheckIn {
  ProjectDocumentList documents;
  std::string missingFiles;   // one path and "\r\n" per file that cannot be read
};
// Check-in: of each document the first version checked out to `userName`, carrying
// `encodedComments`, when its file in `projectFolder` can be opened. A name unfit to
// be a file name, or an unmapped project, counts as a missing file.
CheckIn CollectCheckIn(DocumentRowModel& rows, const PublicationFlags& flags, const std::string& userName,
                       const std::string& projectFolder, const std::string& encodedComments);

// The ticked rows a rename acts on (each with a version found) and the version it shows.
struct RenameTarget {
  int row = -1;
  DocumentVersionEntry version;
};
std::vector<RenameTarget> CollectRename(const DocumentRowModel& rows);

}  // namespace DocumentCommandRules
