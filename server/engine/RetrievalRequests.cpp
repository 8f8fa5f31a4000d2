// The two requests that fetch stored versions without changing anything: 5020
// (named documents of a project, or all of them) and 5039 (the original-edition
// versions of a project's documents). Both read the record files without locks and
// answer with a 5022 whose rows name the stored files the writer sends behind it.
// A row is sent only when its stored file is there with the row's size, so one lost
// or damaged version file fails its own row and never the connection.
#include "server/engine/RetrievalRequests.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
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

std::mutex loadHookMutex;
std::function<void(const std::string&)> loadHook;

void NotifyLoad(const std::string& path) {
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(loadHookMutex);
    hook = loadHook;
  }
  if (hook) hook(path);
}

// The documents of one project as its record files hold them now.
struct ProjectDocuments {
  std::string folder;  // ends in the separator
  RecordCache* records = nullptr;
  RecordCache::ListRecord list;

  // False when the project does not exist. A list that cannot be read keeps the
  // pairs read before the fault; its other documents fail one by one.
  bool Load(CWexmoorDoc& document, const std::string& projectInternalName) {
    folder = EnsureTrailingBackslash(document.GetProjectFolderPath(projectInternalName));
    if (projectInternalName.empty() || folder.empty()) return false;
    records = &document.GetRecordCache();
    list = records->List(ProjectFileListPath(folder, projectInternalName));
    return true;
  }

  std::vector<std::string> Names() const {
    StringList keys;
    list->GetKeys(keys);
    std::vector<std::string> names;
    for (int i = 0; i < keys.GetSize(); ++i) names.push_back(keys.GetAt(i));
    return names;
  }

  // False when the name is not listed or its statistics file does not load.
  bool LoadStatistics(const std::string& name, FileStatistics& statistics) const {
    const std::string internalFileName = list->Lookup(name);
    if (internalFileName.empty()) return false;
    const std::string path = StatisticsPath(folder, internalFileName);
    NotifyLoad(path);
    const RecordCache::StatisticsRecord record = records->Statistics(path);
    if (record) statistics = *record;
    return record != nullptr;
  }
};

// Version `index` of `statistics` as the header of a record without versions, which
// is all the version file's path needs (and cheap to copy while it is resolved).
FileStatistics VersionHeader(const FileStatistics& statistics, int index) {
  FileStatistics header;
  header.SetOwnerProject(statistics.GetOwnerProject());
  header.SetHeader(statistics.GetVersion(index));
  return header;
}

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

// The rows of one 5020. A document's statistics are read once and a row asked for
// again is the first one's copy, however many lines name them.
class RetrievedRows {
 public:
  RetrievedRows(CWexmoorDoc& document, const ProjectDocuments& project) : document_(document), project_(project) {}

  // The row of version `version` (below 1: the latest) of the document `name`.
  const std::string& Row(const std::string& name, std::int32_t version) {
    const auto key = std::make_pair(name, version < 1 ? 0 : version);
    auto [entry, added] = rows_.try_emplace(key);
    if (added) entry->second = Build(name, key.second);
    return entry->second;
  }

 private:
  std::string Build(const std::string& name, std::int32_t version) {
    const FileStatistics* statistics = Statistics(name);
    if (statistics == nullptr) return FailedRow(name);
    int found = -1;
    if (version < 1) {
      found = statistics->GetLatestVersionIndex();
    } else {
      for (int i = 0; i < statistics->GetVersionCount() && found < 0; ++i) {
        if (statistics->GetVersion(i).GetVersion() == version) found = i;
      }
    }
    if (found < 0) return FailedRow(name);
    const FileStatistics header = VersionHeader(*statistics, found);
    return SentRow(document_, name, header.GetVersion(), header);
  }

  // Null when the name is not listed or its statistics do not load.
  const FileStatistics* Statistics(const std::string& name) {
    auto [entry, added] = statistics_.try_emplace(name);
    if (added) {
      FileStatistics statistics;
      if (project_.LoadStatistics(name, statistics)) entry->second = std::move(statistics);
    }
    return entry->second ? &*entry->second : nullptr;
  }

  CWexmoorDoc& document_;
  const ProjectDocuments& project_;
  std::unordered_map<std::string, std::optional<FileStatistics>> statistics_;
  std::map<std::pair<std::string, std::int32_t>, std::string> rows_;
};

// 5020. Line 1: project, count; then one line per document: name, version. A count
// of 0 or less asks for the latest version of every listed document; a larger count
// is served as far as the lines go, so the reply's count is always its rows. More
// rows than kMaxRetrievedRows refuse the request.
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
  std::vector<std::pair<std::string, std::int32_t>> asked;
  if (count <= 0) {
    for (std::string& name : project.Names()) asked.emplace_back(std::move(name), -1);
  } else {
    while (asked.size() < static_cast<std::size_t>(count) && asked.size() <= kMaxRetrievedRows && lines.Next(line)) {
      std::string name;
      std::int32_t version = 0;
      ReadIntField(version, ReadStringField(name, line));
      asked.emplace_back(std::move(name), version);
    }
  }
  if (asked.size() > kMaxRetrievedRows) {
    return RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVE_FAILED,
                                        AppendIntField(RequestDispatcher::kReplyTooLargeCode, ""));
  }
  RetrievedRows rows(*document, project);
  std::string body;
  for (const auto& [name, version] : asked) body += rows.Row(name, version);
  return RequestDispatcher::SendReply(engine, request, MSGID_RETRIEVED_DOCUMENTS,
                                      ReplyBody(projectInternalName, asked.size(), body));
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
    rows += SentRow(*document, name, -1, VersionHeader(statistics, found));
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

void SetRetrievalStatisticsLoadHookForTesting(std::function<void(const std::string& path)> hook) {
  std::lock_guard<std::mutex> lock(loadHookMutex);
  loadHook = std::move(hook);
}
