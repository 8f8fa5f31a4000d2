// The replies about files on the user's disk, and the deletion and renaming replies.
// The modes, writable choice and folders a reply works with are the ones its own
// request was sent with (kept by stamp); the document's current values stand in
// only for a request that left none.
#include "client/document/CBrannockDoc.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <set>
#include <vector>

#include "client/document/CBrannockApp.h"
#include "client/document/FilePlacement.h"
#include "client/document/HeldWorkingCopies.h"
#include "client/document/ReadOnlyMarking.h"
#include "client/document/TemporaryFiles.h"
#include "client/link/ReplyMessages.h"
#include "client/records/FieldCursor.h"
#include "common/MessageIds.h"
#include "common/NameValidation.h"
#include "common/QuotedLines.h"
#include "common/RecordFields.h"
#include "common/RecordRows.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"
#include "platform/Notifier.h"

namespace {

// A reply that lists documents: the project's index name and the row count on the
// first line, then the rows present, one a line (blank lines skipped).
struct DocumentRows {
  bool hasProject = false;
  std::string project;
  std::size_t count = 0;
  std::vector<std::string> rows;

  // The rows the count covers.
  std::size_t Counted() const { return std::min(rows.size(), count); }
};

DocumentRows ReadDocumentRows(const std::string& body) {
  DocumentRows read;
  std::vector<std::string> lines = SplitRecordRows(body);
  if (lines.empty()) return read;
  std::int32_t count = 0;
  FieldCursor header(lines.front());
  read.hasProject = header.String(read.project).Ok();
  header.Int(count);
  read.count = count > 0 ? static_cast<std::size_t>(count) : 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].find_first_not_of(" \t\r") != std::string::npos) read.rows.push_back(std::move(lines[i]));
  }
  return read;
}

// The temporary path of every 5022 / 5024 row, counted or not, sent or not.
std::vector<std::string> TemporaryPathsOf(const std::vector<std::string>& rows) {
  std::vector<std::string> paths;
  for (const std::string& row : rows) {
    std::string name;
    std::string path;
    FieldCursor(row).String(name).SkipInt().SkipInt().String(path);
    if (!path.empty()) paths.push_back(std::move(path));
  }
  return paths;
}

// The names of the rows whose file the library sent.
std::vector<std::string> ReceivedNames(const DocumentRows& read) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < read.Counted(); ++i) {
    std::string name;
    std::int32_t ok = 0;
    FieldCursor(read.rows[i]).String(name).SkipInt().Int(ok);
    if (ok != 0) names.push_back(std::move(name));
  }
  return names;
}

// The number a body holds when it is one integer and nothing else.
std::optional<int> SingleInteger(std::string body) {
  TrimString(body);
  const char* first = body.data() + (!body.empty() && body.front() == '+' ? 1 : 0);
  const char* last = body.data() + body.size();
  int number = 0;
  const auto [end, error] = std::from_chars(first, last, number);
  if (first == last || error != std::errc() || end != last) return std::nullopt;
  return number;
}

}  // namespace

// ---- 5022 / 5024 ------------------------------------------------------------------

std::set<std::string> CBrannockDoc::KeepWorkingCopies(std::uint32_t stamp, const std::string& projectIndexName,
                                                       const std::string& projectName, const std::string& folder,
                                                       const std::vector<std::string>& received) {
  ProjectDocumentList list;
  if (!listCache_.GetProjectDocumentList(projectIndexName, tree_, libraryFolder_, list)) return {};
  const std::vector<std::string> held = HeldWorkingCopies::Find(list, userText_, folder, received);
  if (held.empty()) return {};
  // The steps of one retrieval share the first answer.
  std::optional<bool>* batchAnswer = FindHeldCopiesAnswer(stamp);
  bool replace = false;
  if (batchAnswer != nullptr && batchAnswer->has_value()) {
    replace = **batchAnswer;
  } else {
    replace = platform::Notify({HeldWorkingCopies::QuestionText(projectName, held), displayName_,
                                platform::NotifyIcon::Warning,
                                platform::NotifyButtons::YesNo}) == platform::NotifyAnswer::Yes;
    if (batchAnswer != nullptr) *batchAnswer = replace;
  }
  if (replace) return {};
  return std::set<std::string>(held.begin(), held.end());
}

void CBrannockDoc::OnDocumentFilesReply(const Msg& reply, bool readOnly, bool checkOut) {
  const std::uint32_t stamp = reply.GetOriginalStamp();
  const DocumentRows read = ReadDocumentRows(reply.GetBodyText());
  const ProjectNode* node = read.hasProject ? tree_.FindProjectByPath(read.project) : nullptr;

  FilePlacementSettings settings;
  settings.temporaryFolder = TemporaryFiles(app_.GetWorkingDirectory()).GetFolder();
  if (node == nullptr) {
    ReplyMessages none{std::string()};
    FilePlacement(settings, none).DeleteTemporaryFiles(TemporaryPathsOf(read.rows));
    MarkInstructionFailed(stamp, false);
    versionDeliveries_.Fail(stamp);
    return;
  }
  if (checkOut) SendListVersions(read.project);

  const RequestMemory* memory = FindRequestMemory(stamp);
  settings.folder = GetInstructionTargetFolder(stamp);
  if (settings.folder.empty() && !checkOut && memory != nullptr) settings.folder = memory->folder;
  if (settings.folder.empty()) settings.folder = node->GetLocalFolder();
  settings.backupRoot = GetUserBackupRoot();
  settings.shownPath = tree_.GetShownPath(read.project);
  settings.shownPath.insert(settings.shownPath.begin(), connectionName_);
  settings.ownFolder = TellsWhereFilesWent(stamp) && IsClientOwnFolder(settings.folder);
  settings.replaceMode = memory != nullptr ? memory->replaceMode : replaceMode_;
  settings.readOnly = memory != nullptr && !checkOut ? !memory->writable : readOnly;
  settings.checkOut = checkOut;
  ReplyMessages messages(node->GetName());
  FilePlacement placement(settings, messages);

  // A retrieval never silently replaces the working copy of a document the user holds.
  const std::set<std::string> keptWorkingCopies =
      checkOut ? std::set<std::string>()
               : KeepWorkingCopies(stamp, read.project, node->GetName(), settings.folder, ReceivedNames(read));
  const bool folderMade = placement.MakeFolder();
  std::vector<std::string> placedPaths;
  int placed = 0;
  int notPlaced = 0;
  for (std::size_t i = 0; folderMade && i < read.Counted(); ++i) {
    std::string name;
    std::int32_t ok = 0;
    std::string temporaryPath;
    FieldCursor(read.rows[i]).String(name).SkipInt().Int(ok).String(temporaryPath);
    if (ok == 0) {
      placement.NoteRefused(name);
      ++notPlaced;
    } else if (keptWorkingCopies.count(name) == 0) {
      if (placement.Place(name, temporaryPath)) {
        ++placed;
        placedPaths.push_back(EnsureTrailingBackslash(settings.folder) + name);
      } else {
        ++notPlaced;
      }
    }
  }
  const std::vector<std::string> kept = placement.Finish();
  placement.TellWhereFilesWent();
  placement.DeleteTemporaryFiles(TemporaryPathsOf(read.rows));

  if (!messages.IsEmpty()) ShowInformation(messages.Take());
  if (folderMade) {
    CountDone(stamp, checkOut ? DoneNotice::Operation::kCheckOut : DoneNotice::Operation::kRetrieve, settings.folder,
              placed, notPlaced);
  }
  // A folder that could not be made placed nothing: the instruction failed. Rows
  // that failed one by one leave it succeeded (later steps wait on it).
  if (folderMade) {
    MarkInstructionDone(stamp, read.project, true);
  } else {
    MarkInstructionFailed(stamp, false);
  }
  if (!settings.readOnly) {
    SendListDocuments(read.project);
    SendListVersions(read.project);
  }
  if (!shownLocalFolder_.empty() && StripTrailingBackslash(shownLocalFolder_) == StripTrailingBackslash(settings.folder)) {
    SendHint(MSGID_RETRIEVED_DOCUMENTS, UpdateHint::kLocalFileListView);
  }
  // A fetched version is there once its file was placed and no replacement kept the old one.
  std::erase_if(placedPaths, [&kept](const std::string& path) {
    return std::find(kept.begin(), kept.end(), path) != kept.end();
  });
  versionDeliveries_.Deliver(stamp, placedPaths.empty() ? std::string() : placedPaths.front());
}

std::string CBrannockDoc::GetUserBackupRoot() {
  platform::CriticalSection::Lock lock(app_.GetProfileLock());
  const UserProfile* user = app_.GetCurrentUser();
  return user == nullptr ? std::string() : user->GetBackupRoot();
}

// ---- 5027 / 5019 ------------------------------------------------------------------

void CBrannockDoc::OnCheckInReply(const Msg& reply) {
  const RequestMemory* memory = FindRequestMemory(reply.GetOriginalStamp());
  const std::int32_t checkInMode = memory != nullptr ? memory->checkInMode : checkInMode_;
  OnLocalCopiesReply(reply, ReadOnlyMarking::kCheckInNotMarked, checkInMode == 1, MSGID_CHECK_IN_RESULT);
}

void CBrannockDoc::OnAddDocumentsReply(const Msg& reply) {
  OnLocalCopiesReply(reply, ReadOnlyMarking::kAddNotMarked, true, MSGID_ADD_DOCUMENTS_RESULT);
}

void CBrannockDoc::OnLocalCopiesReply(const Msg& reply, const char* notMarkedText, bool mark, int hint) {
  const std::uint32_t stamp = reply.GetOriginalStamp();
  const DocumentRows read = ReadDocumentRows(reply.GetBodyText());
  const ProjectNode* node = FindRepliedProject(stamp, read.hasProject, read.project);
  if (node == nullptr) return;
  const RequestMemory* memory = FindRequestMemory(stamp);
  std::string folder = memory != nullptr ? memory->folder : std::string();
  if (folder.empty()) folder = GetInstructionSourceFolder(stamp);
  if (folder.empty()) folder = node->GetLocalFolder();

  ReplyMessages messages(node->GetName());
  ReadOnlyMarking marking(folder, notMarkedText, mark, messages);
  int accepted = 0;
  int refused = 0;
  for (std::size_t i = 0; i < read.Counted(); ++i) {
    std::string name;
    std::int32_t ok = 0;
    std::int32_t error = 0;
    FieldCursor(read.rows[i]).String(name).SkipString().SkipInt().SkipInt().Int(ok).Int(error);
    marking.Row(name, ok != 0, ok != 0 ? std::string() : GetServerErrorText(error));
    ++(ok != 0 ? accepted : refused);
  }
  if (!messages.IsEmpty()) ShowInformation(messages.Take());
  CountDone(stamp, hint == MSGID_ADD_DOCUMENTS_RESULT ? DoneNotice::Operation::kAdd : DoneNotice::Operation::kCheckIn,
            folder, accepted, refused);
  FinishLocalCopiesReply(stamp, read.project, hint);
}

const ProjectNode* CBrannockDoc::FindRepliedProject(std::uint32_t stamp, bool hasProject, const std::string& project) {
  const ProjectNode* node = hasProject ? tree_.FindProjectByPath(project) : nullptr;
  if (node == nullptr) MarkInstructionFailed(stamp, false);
  return node;
}

void CBrannockDoc::FinishLocalCopiesReply(std::uint32_t stamp, const std::string& project, int hint) {
  MarkInstructionDone(stamp, project, true);
  SendListDocuments(project);
  SendListVersions(project);
  for (std::uint32_t view : {UpdateHint::kTreeView, UpdateHint::kDocumentListView, UpdateHint::kLocalFileListView}) {
    SendHint(hint, view);
  }
}

// ---- 5105 -------------------------------------------------------------------------

void CBrannockDoc::OnUndoCheckOutReply(const Msg& reply) {
  const std::uint32_t stamp = reply.GetOriginalStamp();
  const DocumentRows read = ReadDocumentRows(reply.GetBodyText());
  const ProjectNode* node = FindRepliedProject(stamp, read.hasProject, read.project);
  if (node == nullptr) return;
  const RequestMemory* memory = FindRequestMemory(stamp);
  const std::string folder = memory != nullptr ? memory->folder : node->GetLocalFolder();
  const bool replace = memory != nullptr && memory->replaceMode != 0 && !folder.empty();

  ReplyMessages messages(node->GetName());
  ReadOnlyMarking marking(folder, kUndoNotMarked, true, messages);
  ProjectDocumentList latest;
  latest.SetProjectName(node->GetName());
  latest.SetProjectIndexName(read.project);
  for (std::size_t i = 0; i < read.Counted(); ++i) {
    std::string name;
    std::int32_t error = 0;
    FieldCursor(read.rows[i]).String(name).Int(error);
    if (error != 0) {
      marking.Row(name, false, GetServerErrorText(error));
    } else if (replace) {
      DocumentVersionEntry entry;
      entry.SetName(name);
      entry.SetVersion(0);  // the latest
      latest.Add(entry);
    } else if (!folder.empty() && IsValidStoredName(name) &&
               platform::fs::IsFile(EnsureTrailingBackslash(folder) + name)) {
      marking.Row(name, true, "");  // a copy that is not there has nothing to keep
    }
  }
  if (!messages.IsEmpty()) ShowInformation(messages.Take());
  // The lists asked for first come back first: the retrieval then finds the documents free.
  FinishLocalCopiesReply(stamp, read.project, MSGID_CHECK_IN_RESULT);
  if (latest.GetCount() > 0) {
    SetWritableOnRetrieval(false);
    SendGetDocuments(latest, kFetchReplaceMode);
  }
}

// ---- deletion and renaming --------------------------------------------------------

void CBrannockDoc::OnDeleteProjectReply(const Msg& reply) {
  OnProjectChangedReply(reply, reply.GetMessageId() == MSGID_DELETE_PROJECT_FAILED);
}

void CBrannockDoc::OnRenameProjectReply(const Msg& reply) {
  OnProjectChangedReply(reply, reply.GetMessageId() == MSGID_RENAME_PROJECT_FAILED);
}

void CBrannockDoc::OnProjectChangedReply(const Msg& reply, bool refused) {
  std::string text = reply.GetBodyText();
  if (refused) {
    // A refusal carries an error number, a report, or (a rename) nothing at all.
    if (const std::optional<int> number = SingleInteger(text)) text = GetServerErrorText(*number);
    if (text.empty() && reply.GetMessageId() == MSGID_RENAME_PROJECT_FAILED) text = kProjectRenameRefused;
    MarkInstructionFailed(reply.GetOriginalStamp(), false);
  } else {
    MarkInstructionDone(reply.GetOriginalStamp(), std::string(), true);
  }
  if (text.empty()) {
    RequestProjectTree(true);
  } else {
    ShowReport(text);
  }
}

void CBrannockDoc::OnDeleteDocumentsReply(const Msg& reply) { OnDocumentsChangedReply(reply, false, false); }

void CBrannockDoc::OnRenameDocumentReply(const Msg& reply) {
  OnDocumentsChangedReply(reply, true, reply.GetMessageId() == MSGID_RENAME_DOCUMENT_FAILED);
}

void CBrannockDoc::OnDocumentsChangedReply(const Msg& reply, bool reasonField, bool refused) {
  const std::uint32_t stamp = reply.GetOriginalStamp();
  QuotedLines lines(reply.GetBodyText());
  std::string header;
  std::string project;
  const bool hasProject = lines.Next(header) && FieldCursor(header).String(project).Ok();
  const ProjectNode* node = hasProject ? tree_.FindProjectByPath(project) : nullptr;
  if (node == nullptr) {
    MarkInstructionFailed(stamp, false);
    return;
  }
  std::string text = lines.Rest();
  if (reasonField) {
    std::string reason;
    ReadStringField(reason, text);
    text = reason;
  }
  if (!text.empty()) ShowReport(text);
  if (refused) {
    MarkInstructionFailed(stamp, false);
  } else {
    MarkInstructionDone(stamp, project, true);
  }
  SendListDocuments(project);
  SendListVersions(project);
  for (std::uint32_t view : {UpdateHint::kTreeView, UpdateHint::kDocumentListView, UpdateHint::kLocalFileListView}) {
    SendHint(MSGID_CHECK_IN_RESULT, view);
  }
}
