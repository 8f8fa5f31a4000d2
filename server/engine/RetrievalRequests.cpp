// The two requests that fetch stored versions without changing anything: 5020
// (named documents of a project, or all of them) and 5039 (the original-edition
// versions of a project's documents). Both read the record files without locks and
// answer with a 5022 whose rows name the stored files the writer sends behind it.
// A row is sent only when its stored file is there with the row's size, so one lost
// or damaged version file fails its own row and never the connection.
#include <cstdint>
#include <string>
#include <vector>

#include "common/QuotedLines.h"
#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/LibraryRequests.h"
#include "server/engine/RequestDispatcher.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/FileStatistics.h"
#include "server/store/ProjectFileList.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/StringList.h"

namespace {

// Body of 5021 and 5040: the project does not exist. No other reply uses 20.
constexpr std::int32_t kProjectMissingCode = 20;

// The documents of one project as its record files hold them now.
struct ProjectDocuments {
  std::string folder;  // ends in the separator
  ProjectFileList list;

  // False when the project does not exist. A list that cannot be read keeps the
  // pairs read before the fault; its other documents fail one by one.
  bool Load(CWexmoorDoc& document, const std::string& projectInternalName) {
    folder = EnsureTrailingBackslash(document.GetProjectFolderPath(projectInternalName));
    if (projectInternalName.empty() || folder.empty()) return false;
    list.Load(ProjectFileListPath(folder, projectInternalName));
    return true;
  }

  std::vector<std::string> Names() const {
    StringList keys;
    list.GetKeys(keys);
    std::vector<std::string> names;
    for (int i = 0; i < keys.GetSize(); ++i) names.push_back(keys.GetAt(i));
    return names;
  }

  // False when the name is not listed or its statistics file does not load.
  bool LoadStatistics(const std::string& name, FileStatistics& statistics) const {
    const std::string internalFileName = list.Lookup(name);
    if (internalFileName.empty()) return false;
    int lineCounter = 0;
    return statistics.Load(StatisticsPath(folder, internalFileName), lineCounter) == 0;
  }
};

// A 5022 row (with the server path) of a document that is not delivered.
std::string FailedRow(const std::string& name) {
  std::string row = AppendBoolField(false, AppendIntField(-1, AppendStringField(name, "")));
  return EndRecord(AppendIntField(0, AppendStringField("", row)));
}

// The row that sends the version in the header of `statistics` as `rowVersion`;
// the failed row when its stored file is missing or not as long as the version says.
std::string SentRow(CWexmoorDoc& document, const std::string& name, std::int32_t rowVersion,
                    const FileStatistics& statistics) {
  const std::string path = document.GetVersionFilePath(statistics);
  const int size = statistics.GetFileSize();
  std::int64_t actual = -1;
  if (path.empty() || !platform::fs::IsFile(path) || !platform::fs::FileSize(path, actual) || actual != size) {
    return FailedRow(name);
  }
  std::string row = AppendBoolField(true, AppendIntField(rowVersion, AppendStringField(name, "")));
  return EndRecord(AppendIntField(size, AppendStringField(path, row)));
}

std::string ReplyBody(const std::string& projectInternalName, std::size_t rowCount, const std::string& rows) {
  return EndRecord(AppendIntField(static_cast<std::int32_t>(rowCount), AppendStringField(projectInternalName, ""))) +
         rows;
}

// The row of version `version` (below 1: the latest) of the document `name`.
std::string RetrievedRow(CWexmoorDoc& document, const ProjectDocuments& project, const std::string& name,
                         std::int32_t version) {
  FileStatistics statistics;
  if (!project.LoadStatistics(name, statistics)) return FailedRow(name);
  int found = -1;
  if (version < 1) {
    found = statistics.GetLatestVersionIndex();
  } else {
    for (int i = 0; i < statistics.GetVersionCount() && found < 0; ++i) {
      if (statistics.GetVersion(i).GetVersion() == version) found = i;
    }
  }
  if (found < 0) return FailedRow(name);
  statistics.SetHeader(statistics.GetVersion(found));
  return SentRow(document, name, statistics.GetVersion(), statistics);
}

// 5020. Line 1: project, count; then one line per document: name, version. A count
// of 0 or less asks for the latest version of every listed document; a larger count
// is served as far as the lines go, so the reply's count is always its rows.
bool Retrieve(RTE& engine, const Msg& request) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return false;
  QuotedLines lines(request.GetBodyText());
  std::string line, projectInternalName;
  std::int32_t count = 0;
  lines.Next(line);
  ReadIntField(count, ReadStringField(projectInternalName, line));

  ProjectDocuments project;
  if (!project.Load(*document, projectInternalName)) {
    return RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVE_FAILED, AppendIntField(kProjectMissingCode, ""));
  }
  std::string rows;
  std::size_t rowCount = 0;
  if (count <= 0) {
    for (const std::string& name : project.Names()) {
      rows += RetrievedRow(*document, project, name, -1);
      ++rowCount;
    }
  } else {
    for (; rowCount < static_cast<std::size_t>(count) && lines.Next(line); ++rowCount) {
      std::string name;
      std::int32_t version = 0;
      ReadIntField(version, ReadStringField(name, line));
      rows += RetrievedRow(*document, project, name, version);
    }
  }
  return RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVED_DOCUMENTS,
                                      ReplyBody(projectInternalName, rowCount, rows));
}

// 5039. Body: project. One row per listed document that has an original-edition
// version (its first), with version -1; a document that cannot be read gets the
// failed row, which the count includes like every other row.
bool GetOriginalDocuments(RTE& engine, const Msg& request) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return false;
  QuotedLines lines(request.GetBodyText());
  std::string line, projectInternalName;
  lines.Next(line);
  ReadStringField(projectInternalName, line);

  ProjectDocuments project;
  if (!project.Load(*document, projectInternalName)) {
    return RequestDispatcher::SendReply(engine, request, MSGID_GET_ORIGINAL_DOCUMENTS_FAILED,
                                        AppendIntField(kProjectMissingCode, ""));
  }
  std::string rows;
  std::size_t rowCount = 0;
  for (const std::string& name : project.Names()) {
    FileStatistics statistics;
    if (!project.LoadStatistics(name, statistics)) {
      rows += FailedRow(name);
      ++rowCount;
      continue;
    }
    int found = -1;
    for (int i = 0; i < statistics.GetVersionCount() && found < 0; ++i) {
      if (statistics.GetVersion(i).IsOriginalEdition()) found = i;
    }
    if (found < 0) continue;
    statistics.SetHeader(statistics.GetVersion(found));
    rows += SentRow(*document, name, -1, statistics);
    ++rowCount;
  }
  return RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVED_DOCUMENTS,
                                      ReplyBody(projectInternalName, rowCount, rows));
}

}  // namespace

void RegisterRetrievalRequests(RequestDispatcher& dispatcher) {
  dispatcher.Register(MSGID_RETRIEVE, &Retrieve);
  dispatcher.Register(MSGID_GET_ORIGINAL_DOCUMENTS, &GetOriginalDocuments);
}
