// The two requests that list references to documents of other projects: 5037
// (original-document references of an edition or supplement) and 5041 (document
// references of a project, optionally as a further version of an existing one).
// Each entry is one line of the body, read from that line alone; the store is called
// once per line present, whatever the count claims, and only failures are reported.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/QuotedLines.h"
#include "common/RecordFields.h"
#include "common/ResultCodes.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/LibraryRequests.h"
#include "server/engine/RequestDispatcher.h"
#include "server/engine/RequestRights.h"
#include "server/engine/RTE.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/FileStatistics.h"
#include "server/store/HiddenProject.h"
#include "server/store/StoreLimits.h"

namespace {

// Store codes of CWexmoorDoc::AddReference and the reply code each becomes.
using CodeTable = std::vector<std::pair<int, std::int32_t>>;

struct ReferenceRequest {
  MessageId reply;
  bool originalEdition;
  bool readsReplaceFlag;  // the entry's fifth field asks to replace an existing reference
  CodeTable codes;
  std::int32_t otherCode;
  std::int32_t commentTooLongCode;

  std::int32_t ReplyCode(int storeCode) const {
    for (const auto& [store, replyCode] : codes) {
      if (store == storeCode) return replyCode;
    }
    return otherCode;
  }
};

const ReferenceRequest& OriginalReferences() {
  static const ReferenceRequest request{MSGID_ADD_ORIGINAL_REFERENCES_RESULT,
                                        true,
                                        false,
                                        {{CWexmoorDoc::kReferenceToSameProject, 34},
                                         {CWexmoorDoc::kDestinationMissing, 35},
                                         {CWexmoorDoc::kOriginalProjectMissing, 36},
                                         {CWexmoorDoc::kDuplicateFileName, 37},
                                         {CWexmoorDoc::kOriginalDocumentMissing, 38},
                                         {CWexmoorDoc::kOriginalVersionMissing, 39},
                                         {CWexmoorDoc::kReferenceNotSaved, 40},
                                         {CWexmoorDoc::kOriginalNotSaved, 41},
                                         {CWexmoorDoc::kDestinationListNotSaved, 42}},
                                        43,
                                        60};
  return request;
}

const ReferenceRequest& DocumentReferences() {
  static const ReferenceRequest request{MSGID_ADD_REFERENCES_RESULT,
                                        false,
                                        true,
                                        {{CWexmoorDoc::kReferenceToSameProject, 44},
                                         {CWexmoorDoc::kDestinationMissing, 45},
                                         {CWexmoorDoc::kOriginalProjectMissing, 46},
                                         {CWexmoorDoc::kDuplicateFileName, 47},
                                         {CWexmoorDoc::kOriginalDocumentMissing, 48},
                                         {CWexmoorDoc::kOriginalVersionMissing, 49},
                                         {CWexmoorDoc::kReferenceNotSaved, 50},
                                         {CWexmoorDoc::kOriginalNotSaved, 51},
                                         {CWexmoorDoc::kDestinationListNotSaved, 52},
                                         {CWexmoorDoc::kExistingReferenceNotLoaded, 54},
                                         {CWexmoorDoc::kExistingReferenceCheckedOut, 55}},
                                        53,
                                        61};
  return request;
}

// Line 1: destination, count. Per entry line: name, version, original's project,
// comments (and for 5041 the replace flag); a missing field reads as empty or 0.
// Reply: destination, number of failures, then per failure name, the internal file
// name, version and size of the statistics the store handed back, 0, the code.
bool AddReferences(RTE& engine, const Msg& request, const ReferenceRequest& kind) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return false;
  QuotedLines lines(request.GetBodyText());
  std::string line, destination;
  std::int32_t count = 0;
  lines.Next(line);
  ReadIntField(count, ReadStringField(destination, line));

  const int account = static_cast<int>(engine.GetUserIdentity().GetUserId());
  std::string rows;
  std::int32_t failures = 0;
  for (std::int32_t entry = 0; entry < count && lines.Next(line); ++entry) {
    std::string name, originalProject, comments;
    std::int32_t version = 0;
    bool replaceExisting = false;
    std::string rest = ReadStringField(name, line);
    rest = ReadIntField(version, rest);
    rest = ReadStringField(originalProject, rest);
    rest = ReadStringField(comments, rest);
    if (kind.readsReplaceFlag) ReadBoolField(replaceExisting, rest);

    FileStatistics result;
    std::int32_t replyCode = !document->IsLibraryWritable() ? kLibraryNotWritableCode
                             : IsStorableFreeText(comments) ? 0
                                                            : kind.commentTooLongCode;
    const std::string refused = "the reference \"" + name + "\" by " +
                                RequestDispatcher::ActingUserName(engine).value_or("");
    if (replyCode == kLibraryNotWritableCode) NoteLibraryNotWritable(*document, refused);
    if (replyCode == kind.commentTooLongCode) {
      document->GetRefusedWrites().Note(RefusedWriteNotes::Cause::CommentTooLong,
                                        document->GetProjectFolderPath(destination), refused);
    }
    // An original the account may not read is refused; one hidden from it is not there.
    const RequestRights::Sight sight =
        replyCode == 0 ? RequestRights::SightOf(*document, account, originalProject) : RequestRights::Sight::kReadable;
    if (sight == RequestRights::Sight::kOnTheWay) replyCode = kRightsRefusedCode;
    if (replyCode == 0) {
      std::optional<HiddenProject> hidden;
      if (sight == RequestRights::Sight::kHidden) hidden.emplace(originalProject);
      const int code = document->AddReference(name, destination, comments, originalProject, version, result,
                                              kind.originalEdition, replaceExisting);
      if (code == 0) continue;
      replyCode = kind.ReplyCode(code);
    }
    ++failures;
    std::string row = AppendStringField(result.GetInternalFileName(), AppendStringField(name, ""));
    row = AppendBoolField(false, AppendIntField(result.GetFileSize(), AppendIntField(result.GetVersion(), row)));
    rows += EndRecord(AppendIntField(replyCode, row));
  }
  const std::string body = EndRecord(AppendIntField(failures, AppendStringField(destination, ""))) + rows;
  return RequestDispatcher::SendReply(engine, request, kind.reply, body);
}

}  // namespace

void RegisterReferenceRequests(RequestDispatcher& dispatcher) {
  dispatcher.Register(MSGID_ADD_ORIGINAL_REFERENCES,
                      [](RTE& engine, const Msg& request) { return AddReferences(engine, request, OriginalReferences()); });
  dispatcher.Register(MSGID_ADD_REFERENCES,
                      [](RTE& engine, const Msg& request) { return AddReferences(engine, request, DocumentReferences()); });
}
