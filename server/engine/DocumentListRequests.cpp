// The document-list requests. 5015 and 5028 read a project's file list and each
// document's statistics through the store's record cache, without project locks:
// every save replaces its file atomically and then its cached parse, so a reader
// sees the old record or the new one whole, at worst a moment out of date. 5046 deletes through the store and
// reports the documents that stayed because others depend on them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/RecordFields.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/FileListBody.h"
#include "server/engine/LibraryRequests.h"
#include "server/engine/RTE.h"
#include "server/engine/ReplyText.h"
#include "server/engine/RequestDispatcher.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/CachedStatistics.h"
#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/StringList.h"

namespace {

constexpr const char* kReportSeparator = "---------------------------------------------------------\r\n";

std::string ErrorBody(int code) { return AppendIntField(code, ""); }

// How one of the two lists answers and which of its rows each listed document gives.
struct DocumentListKind {
  MessageId listed;
  MessageId failed;
  int emptyBodyCode;
  int unknownProjectCode;
  std::string_view (CachedStatistics::*rows)() const;
};

// The rows `kind` lists, in list order, of every document of the project's file
// list whose statistics load and hold a version, and their number; none when the
// list does not load. Not complete when the connection ended while the rows waited for room.
struct ListedRows {
  ListedRows(RTE& engine, std::size_t headRoom) : rows(engine.NewReplyCharge(), engine.ReplyStopFlag(), headRoom) {}
  std::int32_t count = 0;
  ReplyText rows;
  bool complete = true;
};

// Documents looked up together. Their paths, and their parses when some are not
// held, are all a listing keeps besides its rows, however large the project: a
// listing holding every parse at once took far more than the cache's bound.
constexpr std::size_t kDocumentsPerLookUp = 512;

// Appends the rows of one group of documents. Held statistics are read in one
// look-up that takes no reference to them; only when some are not held are they loaded.
void AddGroupRows(RecordCache& records, const std::string& allPaths, const std::vector<std::size_t>& ends,
                  const DocumentListKind& kind, ListedRows& listed) {
  std::vector<std::string_view> paths;
  paths.reserve(ends.size());
  for (std::size_t i = 0, start = 0; i < ends.size(); start = ends[i++]) {
    paths.push_back(std::string_view(allPaths).substr(start, ends[i] - start));
  }
  const auto add = [&](const CachedStatistics& document) {
    if (document.LatestRow().empty()) return;
    ++listed.count;
    listed.rows.Append((document.*kind.rows)());
  };
  if (records.VisitAllHeld(paths, add)) return;
  for (const RecordCache::ParsedRecord& document : records.ParsedAll({paths.begin(), paths.end()})) {
    if (document) add(*document);
  }
}

void ListDocumentRows(RecordCache& records, const CWexmoorDoc::ProjectListing& project, const DocumentListKind& kind,
                      ListedRows& listed) {
  const RecordCache::ListRecord list = records.List(ProjectFileListPath(project.folder, project.internalName));
  if (list->LoadFailed()) return;
  // A group's paths in one buffer: no allocation per document.
  std::string allPaths;
  std::vector<std::size_t> ends;
  ends.reserve(kDocumentsPerLookUp);
  const auto addGroup = [&] {
    // Room is waited for before the look-up: held rows are appended under the cache's lock.
    listed.complete = listed.complete && listed.rows.Reserve(ReplyText::kStep);
    if (listed.complete) AddGroupRows(records, allPaths, ends, kind, listed);
    allPaths.clear();
    ends.clear();
  };
  list->ForEachValue([&](const std::string& internalFileName) {
    AppendStatisticsPath(allPaths, project.folder, internalFileName);
    ends.push_back(allPaths.size());
    if (ends.size() == kDocumentsPerLookUp) addGroup();
  });
  if (!ends.empty()) addGroup();
}

// `withDocuments` false answers as for a project holding none.
bool ListDocuments(RTE& engine, const Msg& request, const DocumentListKind& kind, bool withDocuments = true) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return false;
  const std::string body = request.GetBodyText();
  if (body.empty()) return RequestDispatcher::SendReply(engine, request, kind.failed, ErrorBody(kind.emptyBodyCode));
  std::string internalName;
  ReadStringField(internalName, body);
  CWexmoorDoc::ProjectListing project;
  if (!document->CopyProjectListing(internalName, project)) {
    return RequestDispatcher::SendReply(engine, request, kind.failed, ErrorBody(kind.unknownProjectCode));
  }
  const auto head = [&](std::int32_t count) {
    std::string text = AppendStringField(project.name, "");
    text = AppendStringField(project.internalName, std::move(text));
    return EndRecord(AppendIntField(count, text));
  };
  // Room for the head with any count of up to six digits.
  ListedRows listed(engine, head(999999).size());
  if (withDocuments) ListDocumentRows(document->GetRecordCache(), project, kind, listed);
  if (!listed.complete) return false;
  return RequestDispatcher::SendReply(engine, request, kind.listed, head(listed.count), listed.rows);
}

const DocumentListKind kLatestVersions{MSGID_DOCUMENT_LIST, MSGID_DOCUMENT_LIST_FAILED, 6, 7,
                                       &CachedStatistics::LatestRow};

bool ListLatestVersions(RTE& engine, const Msg& request) { return ListDocuments(engine, request, kLatestVersions); }

bool ListAllVersions(RTE& engine, const Msg& request) {
  static const DocumentListKind kind{MSGID_VERSION_LIST, MSGID_VERSION_LIST_FAILED, 22, 23,
                                     &CachedStatistics::VersionRows};
  return ListDocuments(engine, request, kind);
}

// Body: "project",count on the first line, then one internal file name per line.
// Only the names present are read, however large the count; the store deletes only
// names that its file list holds for the project.
bool DeleteDocuments(RTE& engine, const Msg& request) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return false;
  const std::vector<std::string> rows = SplitRecordRows(request.GetBodyText());
  std::string projectName;
  std::int32_t count = 0;
  if (!rows.empty()) ReadIntField(count, ReadStringField(projectName, rows.front()));
  std::string reply = EndRecord(AppendStringField(projectName, ""));
  CWexmoorDoc::ProjectListing project;
  if (count > 0 && !document->IsLibraryWritable()) {
    NoteLibraryNotWritable(*document, "a deletion of documents by " +
                                          RequestDispatcher::ActingUserName(engine).value_or(""));
    reply += std::string(kReportSeparator) + kLibraryNotWritableLine;
  } else if (count > 0 && document->CopyProjectListing(projectName, project)) {
    const std::size_t names = std::min(static_cast<std::size_t>(count), rows.size() - 1);
    StringList report;
    for (std::size_t row = 1; row <= names; ++row) {
      std::string internalFileName;
      ReadStringField(internalFileName, rows[row]);
      document->DeleteDocument(project.internalName, internalFileName, report);
      if (report.IsEmpty()) continue;
      reply += kReportSeparator;
      for (int line = 0; line < report.GetSize(); ++line) reply += report.GetAt(line);
      report.RemoveAll();
    }
  }
  return RequestDispatcher::SendReply(engine, request, MSGID_DELETE_DOCUMENTS_RESULT, reply);
}

}  // namespace

bool ListNoDocuments(RTE& engine, const Msg& request) {
  return ListDocuments(engine, request, kLatestVersions, false);
}

void RegisterDocumentListRequests(RequestDispatcher& dispatcher) {
  dispatcher.Register(MSGID_LIST_DOCUMENTS, &ListLatestVersions);
  dispatcher.Register(MSGID_LIST_VERSIONS, &ListAllVersions);
  dispatcher.Register(MSGID_DELETE_DOCUMENTS, &DeleteDocuments);
}
