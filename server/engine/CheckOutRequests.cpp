// The requests that move files: check-out (5023), check-in (5026) and add
// documents (5018); and the undone check-out (5104), which moves none. Bodies are
// read row by row (a row's missing fields read as empty and 0), a reply carries
// exactly the rows it counts, and every file received for a request has been moved
// into the library or deleted before its reply is queued.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "common/RecordFields.h"
#include "common/ResultCodes.h"
#include "common/StringHelpers.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/FileListBody.h"
#include "server/engine/LibraryRequests.h"
#include "server/engine/RTE.h"
#include "server/engine/RequestDispatcher.h"
#include "server/engine/RequestRights.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFileList.h"
#include "server/store/StoreLimits.h"
#include "server/store/StoreFilePaths.h"

namespace {

// The body of 5025, the refusal of a check-out from a project that does not exist.
constexpr const char* kCheckOutRefusedBody = "21";

// The acting account's name; "" when the connection has none, which every store
// operation refuses.
std::string UserOf(const RTE& engine) { return RequestDispatcher::ActingUserName(engine).value_or(""); }

// The project's file list (the pairs read before a fault when it cannot be read
// whole); null when the project does not exist.
RecordCache::ListRecord FileListOf(CWexmoorDoc& document, const std::string& projectInternalName) {
  CWexmoorDoc::ProjectListing listing;
  if (!document.CopyProjectListing(projectInternalName, listing)) return nullptr;
  return document.GetRecordCache().List(ProjectFileListPath(listing.folder, projectInternalName));
}

// One row of a request that files follow, as the engine hands it on.
struct ReceivedRow {
  std::string name;
  std::int32_t size = 0;
  std::string comments;
  std::string temporaryPath;
};

ReceivedRow ReadReceivedRow(const std::string& row) {
  ReceivedRow received;
  std::string rest = ReadStringField(received.name, row);
  rest = ReadIntField(received.size, rest);
  rest = ReadStringField(received.comments, rest);
  ReadStringField(received.temporaryPath, rest);
  return received;
}

// The rows behind the first line of a request that files follow; the engine
// wrote one row per received file, so these are exactly the files.
std::vector<ReceivedRow> ReceivedRowsOf(const std::vector<std::string>& rows) {
  std::vector<ReceivedRow> received;
  for (std::size_t i = 1; i < rows.size(); ++i) received.push_back(ReadReceivedRow(rows[i]));
  return received;
}

// Called once the store has had the file: a file it moved in is gone already,
// one it refused is deleted here, so that nothing stays in the temporary
// folder.
void DiscardReceivedFile(const ReceivedRow& file) {
  if (!file.temporaryPath.empty()) platform::fs::DeleteFile(file.temporaryPath);
}

// Deletes every received file of a request that cannot be handled.
void DiscardReceivedFiles(const Msg& request) {
  for (const std::string& path : TemporaryPathsOf(request.GetBodyText())) platform::fs::DeleteFile(path);
}

std::string ReplyHead(const std::string& projectInternalName, std::size_t rowCount) {
  return EndRecord(AppendIntField(static_cast<std::int32_t>(rowCount), AppendStringField(projectInternalName, "")));
}

// --- check-out (5023) --------------------------------------------------------

struct CheckOutRow {
  std::string name;
  int version = -1;  // below 1: the latest
};

// The documents asked for: with a count of 0 or less every document of the list
// in its order, otherwise the rows present, at most count of them.
std::vector<CheckOutRow> RequestedDocuments(const std::vector<std::string>& rows, std::int32_t count,
                                            const ProjectFileList& list) {
  std::vector<CheckOutRow> wanted;
  if (count <= 0) {
    StringList keys;
    list.GetKeys(keys);
    for (int i = 0; i < keys.GetSize(); ++i) wanted.push_back(CheckOutRow{keys.GetAt(i), -1});
    return wanted;
  }
  for (std::size_t i = 1; i < rows.size() && wanted.size() < static_cast<std::size_t>(count); ++i) {
    CheckOutRow row;
    ReadIntField(row.version, ReadStringField(row.name, rows[i]));
    wanted.push_back(row);
  }
  return wanted;
}

// name, version, checked-out flag, server path, size: the version the store
// checked out, or -1, 0, "", 0.
std::string CheckOutReplyRow(const std::string& name, const CWexmoorDoc::CheckOutResult& result) {
  const bool checkedOut = result.code == 0 && !result.path.empty();
  std::string row = AppendStringField(name, "");
  row = AppendIntField(checkedOut ? result.version.GetVersion() : -1, std::move(row));
  row = AppendBoolField(checkedOut, std::move(row));
  row = AppendStringField(checkedOut ? result.path : std::string(), std::move(row));
  return EndRecord(AppendIntField(checkedOut ? result.version.GetFileSize() : 0, row));
}

bool HandleCheckOut(RTE& engine, const Msg& request) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return false;
  const std::vector<std::string> rows = SplitRecordRows(request.GetBodyText());
  const std::string head = rows.empty() ? std::string() : rows.front();
  std::string project;
  std::int32_t count = 0;
  bool referencing = false;
  bool referenced = false;
  ReadBoolField(referenced, ReadBoolField(referencing, ReadIntField(count, ReadStringField(project, head))));

  const RecordCache::ListRecord list = FileListOf(*document, project);
  if (!list) return RequestDispatcher::SendReply(engine, request, MSGID_CHECK_OUT_FAILED, kCheckOutRefusedBody);
  // A check-out is a change: rows refused one by one would read as documents held by others.
  if (!document->IsLibraryWritable()) {
    NoteLibraryNotWritable(*document, "a check-out by " + UserOf(engine));
    return RequestDispatcher::SendReply(engine, request, MSGID_CHECK_OUT_FAILED,
                                        AppendIntField(kLibraryNotWritableCode, ""));
  }

  const std::string user = UserOf(engine);
  const bool onlyLatest = document->IsOnlyLatestCheckOut();
  const std::vector<CheckOutRow> wanted = RequestedDocuments(rows, count, *list);
  std::string body = ReplyHead(project, wanted.size());
  bool anyCheckedOut = false;
  bool anyNotSaved = false;
  bool anyOutsideRights = false;
  // Documents taken along references are checked out only where the account is an author.
  const int account = static_cast<int>(engine.GetUserIdentity().GetUserId());
  const CWexmoorDoc::ProjectFilter mayChange = [document, account](const std::string& owner) {
    return RequestRights::Holds(*document, account, owner, GroupRole::Author);
  };
  for (const CheckOutRow& row : wanted) {
    const CWexmoorDoc::CheckOutResult result = document->CheckOutDocuments(
        project, row.name, onlyLatest ? -1 : row.version, user, referencing, referenced, mayChange);
    anyOutsideRights = anyOutsideRights || result.code == CWexmoorDoc::kCheckOutOutsideRights;
    anyCheckedOut = anyCheckedOut || result.code == 0;
    anyNotSaved = anyNotSaved || result.code == CWexmoorDoc::kCheckOutNotSaved ||
                  result.code == CWexmoorDoc::kCheckOutRolledBack;
    body += CheckOutReplyRow(row.name, result);
  }
  // A refused row reads as a document held by someone else: when nothing was
  // checked out because of the account's rights or because nothing could be
  // written, the whole request says why.
  if (!anyCheckedOut && anyOutsideRights) {
    return RequestDispatcher::SendReply(engine, request, MSGID_CHECK_OUT_FAILED, AppendIntField(kRightsRefusedCode, ""));
  }
  if (!anyCheckedOut && anyNotSaved) {
    NoteProjectNotWritten(*document, project, "a check-out");
    return RequestDispatcher::SendReply(engine, request, MSGID_CHECK_OUT_FAILED,
                                        AppendIntField(kLibraryNotWritableCode, ""));
  }
  return RequestDispatcher::SendReply(engine, request, MSGID_CHECKED_OUT_DOCUMENTS, body);
}

// --- check-in (5026) ---------------------------------------------------------

// Store codes of a check-in, by range, and the code its reply row carries; any
// other store code, and a request the store is not asked about, gives 19.
struct CheckInCodeRange {
  int first;
  int last;
  int result;
};
constexpr CheckInCodeRange kCheckInCodes[] = {
    {0, 0, 0},
    {CWexmoorDoc::kVersionFileNotMoved, CWexmoorDoc::kVersionFileNotMoved, 13},
    {CWexmoorDoc::kLinkedProjectMissing, CWexmoorDoc::kLinkedProjectMissing, 14},
    {CWexmoorDoc::kProjectNotFound, CWexmoorDoc::kProjectNotFound, 14},
    {11015, 11015, 14},  // grouped with a missing project; this store never returns it
    {FileStatistics::kNothingCheckedOut, FileStatistics::kNothingCheckedOut, 15},
    {FileStatistics::kCheckedOutByOther, FileStatistics::kCheckedOutByOther, 16},
    {FileStatistics::kCannotOpen, FileStatistics::kCannotOpen, 17},
    {CWexmoorDoc::kLinkedFileNotLoaded, CWexmoorDoc::kLinkedFileNotLoaded, 17},
    {FileStatistics::kFrameStartMissing, FileStatistics::kArrayNotClosed, 18},
    {FileStatistics::kFrameEndMissing, FileStatistics::kFrameEndMissing, 18},
    {FileEntry::kLinksMissing, FileEntry::kFileSizeMissing, 18},
    {CWexmoorDoc::kDocumentNotListed, CWexmoorDoc::kDocumentNotListed, 18},
    {CWexmoorDoc::kOriginalNotListed, CWexmoorDoc::kOriginalNotLoaded, 18},
    {CWexmoorDoc::kCheckInNotSaved, CWexmoorDoc::kCheckInNotSaved, kLibraryNotWritableCode},
};

constexpr int kOtherCheckInFailure = 19;
// A comment longer than the store takes, for a check-in and an add alike.
constexpr int kCommentTooLong = 58;

int CheckInResultCode(int storeCode) {
  for (const CheckInCodeRange& range : kCheckInCodes) {
    if (storeCode >= range.first && storeCode <= range.last) return range.result;
  }
  return kOtherCheckInFailure;
}

// What a request that brings files asks for: its project, the acting user and the
// received files.
struct FileDelivery {
  CWexmoorDoc& document;
  std::string project;
  std::string user;
};

// The folder of the project, or the library's when it has none.
std::string ProjectFolderOf(CWexmoorDoc& document, const std::string& projectInternalName) {
  CWexmoorDoc::ProjectListing listing;
  return document.CopyProjectListing(projectInternalName, listing) ? listing.folder : document.GetRootPath();
}

// Why a received file cannot even be offered to the store, as a reply code; 0 when
// it can. The engine leaves the path of a file the disk did not take empty (and has
// told the console). `what` names the refused write for the console.
int RefusalBeforeStore(const FileDelivery& delivery, const ReceivedRow& file, const std::string& what) {
  if (file.temporaryPath.empty()) return kLibraryNotWritableCode;
  const std::string refused = what + " of \"" + file.name + "\" by " + delivery.user;
  if (!delivery.document.IsLibraryWritable()) {
    NoteLibraryNotWritable(delivery.document, refused);
    return kLibraryNotWritableCode;
  }
  if (IsStorableFreeText(file.comments)) return 0;
  delivery.document.GetRefusedWrites().Note(RefusedWriteNotes::Cause::CommentTooLong,
                                           ProjectFolderOf(delivery.document, delivery.project), refused);
  return kCommentTooLong;
}

// Stores the received files of a request and gives each one's reply row (without the line end).
using FileStorer = std::function<std::vector<std::string>(const FileDelivery&, const std::vector<ReceivedRow>&)>;

// The frame of 5026 and 5018: `storeFiles` stores the received files; each is
// deleted after it, when the store did not take it. A reply carries a row for
// every file received.
bool AnswerDelivery(RTE& engine, const Msg& request, MessageId replyId, const FileStorer& storeFiles) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) {
    DiscardReceivedFiles(request);
    return false;
  }
  const std::vector<std::string> requestRows = SplitRecordRows(request.GetBodyText());
  FileDelivery delivery{*document, "", UserOf(engine)};
  ReadStringField(delivery.project, requestRows.empty() ? std::string() : requestRows.front());
  const std::vector<ReceivedRow> files = ReceivedRowsOf(requestRows);
  const std::vector<std::string> rows = storeFiles(delivery, files);
  std::string body = ReplyHead(delivery.project, files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    DiscardReceivedFile(files[i]);
    body += EndRecord(rows[i]);
  }
  return RequestDispatcher::SendReply(engine, request, replyId, body);
}

// The reply row of one checked-in file; `list` is read once, for the internal names of the rows.
std::string CheckInFile(const FileDelivery& delivery, const ReceivedRow& file, RecordCache::ListRecord& list) {
  int code = RefusalBeforeStore(delivery, file, "the check-in");
  int storeCode = 0;
  const bool done = code == 0 && delivery.document.CheckInDocuments(delivery.project, delivery.user, file.name,
                                                                    file.size, file.comments, file.temporaryPath,
                                                                    storeCode);
  if (code == 0 && !done) code = CheckInResultCode(storeCode);
  if (storeCode == CWexmoorDoc::kCheckInNotSaved) {
    NoteProjectNotWritten(delivery.document, delivery.project, "the check-in of \"" + file.name + "\"");
  }
  if (done && !list) list = FileListOf(delivery.document, delivery.project);
  if (done && !list) list = std::make_shared<const ProjectFileList>();
  std::string row = AppendStringField(file.name, "");
  row = AppendStringField(done ? list->Lookup(file.name) : std::string(), std::move(row));
  row = AppendIntField(-1, std::move(row));
  row = AppendIntField(done ? file.size : -1, std::move(row));
  row = AppendBoolField(done, std::move(row));
  return AppendIntField(code, row);
}

bool HandleCheckIn(RTE& engine, const Msg& request) {
  return AnswerDelivery(engine, request, MSGID_CHECK_IN_RESULT,
                        [](const FileDelivery& delivery, const std::vector<ReceivedRow>& files) {
                          RecordCache::ListRecord list;
                          std::vector<std::string> rows;
                          for (const ReceivedRow& file : files) rows.push_back(CheckInFile(delivery, file, list));
                          return rows;
                        });
}

// --- undo check-out (5104) ---------------------------------------------------

// The project and the count, then one document name a row; the reply carries the
// project and the count, then each name with the code a check-in's row would give.
// Only the holder gives a check-out back; no version is made.
bool HandleUndoCheckOut(RTE& engine, const Msg& request) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return false;
  const std::vector<std::string> rows = SplitRecordRows(request.GetBodyText());
  std::string project;
  std::int32_t count = 0;
  ReadIntField(count, ReadStringField(project, rows.empty() ? std::string() : rows.front()));
  std::vector<std::string> names;
  for (std::size_t i = 1; i < rows.size() && names.size() < static_cast<std::size_t>(std::max(count, 0)); ++i) {
    ReadStringField(names.emplace_back(), rows[i]);
  }
  const std::string user = UserOf(engine);
  const bool writable = document->IsLibraryWritable();
  if (!writable) NoteLibraryNotWritable(*document, "an undone check-out by " + user);
  std::string body = ReplyHead(project, names.size());
  for (const std::string& name : names) {
    int code = writable ? 0 : kLibraryNotWritableCode;
    // Without an account the release would not be bound to any holder.
    if (code == 0 && user.empty()) code = kOtherCheckInFailure;
    if (code == 0) {
      std::string holder;
      const int storeCode = document->ReleaseCheckOut(project, name, holder, user);
      code = CheckInResultCode(storeCode);
      if (storeCode == CWexmoorDoc::kCheckInNotSaved) {
        NoteProjectNotWritten(*document, project, "the undone check-out of \"" + name + "\"");
      }
    }
    body += EndRecord(AppendIntField(code, AppendStringField(name, "")));
  }
  return RequestDispatcher::SendReply(engine, request, MSGID_UNDO_CHECK_OUT_RESULT, body);
}

// --- add documents (5018) ----------------------------------------------------

int AddResultCode(int storeCode) {
  switch (storeCode) {
    case 0:
      return 0;
    case CWexmoorDoc::kBadParameters:
      return 8;
    case CWexmoorDoc::kNoProjectMatch:
      return 9;
    case CWexmoorDoc::kDuplicateFileName:
      return 10;
    case CWexmoorDoc::kFileCopyFailed:
      return 11;
    default:
      return 12;
  }
}

// The files the store is offered go in one call, so that they are written together.
std::vector<std::string> AddFiles(const FileDelivery& delivery, const std::vector<ReceivedRow>& files) {
  std::vector<int> codes(files.size());
  std::vector<CWexmoorDoc::NewDocument> offered;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const ReceivedRow& file = files[i];
    codes[i] = RefusalBeforeStore(delivery, file, "the add");
    if (codes[i] == 0) offered.push_back({file.name, file.comments, file.temporaryPath, file.size});
  }
  const std::vector<CWexmoorDoc::AddedDocument> stored =
      delivery.document.AddDocuments(delivery.project, delivery.user, offered);
  const CWexmoorDoc::AddedDocument refused;
  std::vector<std::string> rows;
  for (std::size_t i = 0, next = 0; i < files.size(); ++i) {
    const CWexmoorDoc::AddedDocument& added = codes[i] == 0 ? stored[next++] : refused;
    const int code = codes[i] == 0 ? AddResultCode(added.code) : codes[i];
    std::string row = AppendStringField(files[i].name, "");
    row = AppendStringField(added.statistics.GetInternalFileName(), std::move(row));
    row = AppendIntField(added.statistics.GetVersion(), std::move(row));
    row = AppendIntField(added.statistics.GetFileSize(), std::move(row));
    row = AppendBoolField(code == 0, std::move(row));
    rows.push_back(AppendIntField(code, row));
  }
  return rows;
}

bool HandleAddDocuments(RTE& engine, const Msg& request) {
  return AnswerDelivery(engine, request, MSGID_ADD_DOCUMENTS_RESULT, &AddFiles);
}

}  // namespace

void NoteProjectNotWritten(CWexmoorDoc& document, const std::string& projectInternalName, const std::string& what) {
  document.GetNotes().Add("The folder \"" + StripTrailingBackslash(ProjectFolderOf(document, projectInternalName)) +
                          "\" could not be written: " + what + " was refused.");
}

void NoteLibraryNotWritable(CWexmoorDoc& document, const std::string& what) {
  document.GetRefusedWrites().Note(RefusedWriteNotes::Cause::ReadOnlyLibrary, document.GetRootPath(), what);
}

void RegisterCheckOutRequests(RequestDispatcher& dispatcher) {
  dispatcher.Register(MSGID_CHECK_OUT, &HandleCheckOut);
  dispatcher.Register(MSGID_CHECK_IN, &HandleCheckIn);
  dispatcher.Register(MSGID_ADD_DOCUMENTS, &HandleAddDocuments);
  dispatcher.Register(MSGID_UNDO_CHECK_OUT, &HandleUndoCheckOut);
}
