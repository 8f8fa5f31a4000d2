#include "server/engine/RequestRights.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/QuotedLines.h"
#include "common/RecordFields.h"
#include "common/RecordRows.h"
#include "common/ResultCodes.h"
#include "platform/fs.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/FileListBody.h"
#include "server/engine/LibraryRequests.h"
#include "server/engine/RTE.h"
#include "server/engine/RequestDispatcher.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/HiddenProject.h"

namespace {

const std::string kRefusedLine = std::string(kRightsRefusedLine) + "\r\n";
constexpr const char* kReportSeparator = "---------------------------------------------------------\r\n";

std::string LeadingStringField(const std::string& body, int index) {
  std::string rest = body;
  std::string field;
  for (int i = 0; i <= index; ++i) rest = ReadStringField(field, rest);
  return field;
}

// Whether a group of the account covers a project below `project`, which the tree
// then lists so that it can reach that one.
bool ReachesCoveredProject(CWexmoorDoc& document, const GroupTable& groups, int account, const std::string& project) {
  for (const GroupRight& right : groups.RightsOf(account)) {
    const std::vector<std::string> chain = document.ProjectChain(right.subtree);
    if (std::find(chain.begin(), chain.end(), project) != chain.end()) return true;
  }
  return false;
}

std::string CodeBody() { return AppendIntField(kRightsRefusedCode, ""); }

// 5105: each document asked for (as far as the count goes) with the code; none given back.
std::string UndoCheckOutRefusal(const std::string& body, const std::string& project) {
  const std::vector<std::string> rows = SplitRecordRows(body);
  std::string ignored;
  std::int32_t count = 0;
  if (!rows.empty()) ReadIntField(count, ReadStringField(ignored, rows.front()));
  std::string reply;
  std::int32_t carried = 0;
  for (std::size_t i = 1; i < rows.size() && carried < count; ++i, ++carried) {
    std::string name;
    ReadStringField(name, rows[i]);
    reply += EndRecord(AppendIntField(kRightsRefusedCode, AppendStringField(name, "")));
  }
  return EndRecord(AppendIntField(carried, AppendStringField(project, ""))) + reply;
}

// 5019 and 5027: a row per file received, none stored.
std::string DeliveryRefusal(const std::string& body, const std::string& project) {
  const std::vector<std::string> rows = SplitRecordRows(body);
  std::string reply;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    std::string name;
    ReadStringField(name, rows[i]);
    std::string row = AppendIntField(0, AppendIntField(-1, AppendStringField("", AppendStringField(name, ""))));
    reply += EndRecord(AppendIntField(kRightsRefusedCode, AppendBoolField(false, row)));
  }
  for (const std::string& path : TemporaryPathsOf(body)) {
    if (!path.empty()) platform::fs::DeleteFile(path);
  }
  return EndRecord(AppendIntField(static_cast<std::int32_t>(rows.empty() ? 0 : rows.size() - 1),
                                  AppendStringField(project, ""))) +
         reply;
}

// 5038 and 5042: every entry fails.
std::string ReferencesRefusal(const std::string& body, const std::string& destination) {
  QuotedLines lines(body);
  std::string line;
  std::string named;
  std::int32_t count = 0;
  lines.Next(line);
  ReadIntField(count, ReadStringField(named, line));
  std::string rows;
  std::int32_t failures = 0;
  for (; failures < count && lines.Next(line); ++failures) {
    std::string name;
    ReadStringField(name, line);
    std::string row = AppendIntField(0, AppendIntField(0, AppendStringField("", AppendStringField(name, ""))));
    rows += EndRecord(AppendIntField(kRightsRefusedCode, AppendBoolField(false, row)));
  }
  return EndRecord(AppendIntField(failures, AppendStringField(destination, ""))) + rows;
}

// The failure reply of a refused request and its body.
std::pair<MessageId, std::string> Refusal(const Msg& request, const std::string& project) {
  const std::string body = request.GetBodyText();
  switch (request.GetMessageId()) {
    case MSGID_ADD_PROJECT: return {MSGID_ADD_PROJECT_FAILED, CodeBody()};
    case MSGID_LIST_DOCUMENTS: return {MSGID_DOCUMENT_LIST_FAILED, CodeBody()};
    case MSGID_ADD_DOCUMENTS: return {MSGID_ADD_DOCUMENTS_RESULT, DeliveryRefusal(body, project)};
    case MSGID_RETRIEVE: return {MSGID_RETRIEVE_FAILED, CodeBody()};
    case MSGID_CHECK_OUT: return {MSGID_CHECK_OUT_FAILED, CodeBody()};
    case MSGID_UNDO_CHECK_OUT: return {MSGID_UNDO_CHECK_OUT_RESULT, UndoCheckOutRefusal(body, project)};
    case MSGID_CHECK_IN: return {MSGID_CHECK_IN_RESULT, DeliveryRefusal(body, project)};
    case MSGID_LIST_VERSIONS: return {MSGID_VERSION_LIST_FAILED, CodeBody()};
    case MSGID_CREATE_EDITION: return {MSGID_CREATE_EDITION_FAILED, CodeBody()};
    case MSGID_ADD_ORIGINAL_PROJECT: return {MSGID_ADD_ORIGINAL_PROJECT_FAILED, CodeBody()};
    case MSGID_ADD_ORIGINAL_REFERENCES: return {MSGID_ADD_ORIGINAL_REFERENCES_RESULT, ReferencesRefusal(body, project)};
    case MSGID_GET_ORIGINAL_DOCUMENTS: return {MSGID_GET_ORIGINAL_DOCUMENTS_FAILED, CodeBody()};
    case MSGID_ADD_REFERENCES: return {MSGID_ADD_REFERENCES_RESULT, ReferencesRefusal(body, project)};
    case MSGID_DELETE_PROJECT: return {MSGID_DELETE_PROJECT_FAILED, kRefusedLine};
    case MSGID_DELETE_DOCUMENTS:
      return {MSGID_DELETE_DOCUMENTS_RESULT,
              EndRecord(AppendStringField(project, "")) + kReportSeparator + kRefusedLine};
    case MSGID_RENAME_PROJECT: return {MSGID_RENAME_PROJECT_FAILED, ""};
    default:   // 5051
      return {MSGID_RENAME_DOCUMENT_FAILED,
              AppendStringField(kRefusedLine, EndRecord(AppendStringField(project, "")))};
  }
}

}  // namespace

std::optional<RequestRights::Need> RequestRights::NeedOf(MessageId id) {
  switch (id) {
    case MSGID_LIST_DOCUMENTS:
    case MSGID_RETRIEVE:
    case MSGID_LIST_VERSIONS:
    case MSGID_GET_ORIGINAL_DOCUMENTS:
      return Need{GroupRole::Reader, 0, false};
    case MSGID_CHECK_OUT:
    case MSGID_UNDO_CHECK_OUT:
    case MSGID_CHECK_IN:
    case MSGID_ADD_DOCUMENTS:
    case MSGID_ADD_REFERENCES:
      return Need{GroupRole::Author, 0, false};
    case MSGID_ADD_PROJECT:
      return Need{GroupRole::Author, 0, true};
    case MSGID_CREATE_EDITION:
    case MSGID_ADD_ORIGINAL_PROJECT:
      return Need{GroupRole::Publisher, 0, true};
    case MSGID_ADD_ORIGINAL_REFERENCES:
    case MSGID_DELETE_DOCUMENTS:
    case MSGID_RENAME_PROJECT:
    case MSGID_RENAME_DOCUMENT:
      return Need{GroupRole::Publisher, 0, false};
    case MSGID_DELETE_PROJECT:
      return Need{GroupRole::Publisher, 1, false};
    default:
      return std::nullopt;
  }
}

bool RequestRights::Holds(CWexmoorDoc& document, int accountId, const std::string& projectInternalName,
                          GroupRole role) {
  return document.GetGroups().Snapshot()->RightIn(accountId, document.ProjectChain(projectInternalName)).role >= role;
}

RequestRights::Sight RequestRights::SightOf(CWexmoorDoc& document, int accountId,
                                            const std::string& projectInternalName) {
  const std::shared_ptr<const GroupTable> groups = document.GetGroups().Snapshot();
  if (groups->RightIn(accountId, {}).role != GroupRole::None) return Sight::kReadable;
  const std::vector<std::string> chain = document.ProjectChain(projectInternalName);
  if (chain.empty() || groups->RightIn(accountId, chain).role != GroupRole::None) return Sight::kReadable;
  return ReachesCoveredProject(document, *groups, accountId, projectInternalName) ? Sight::kOnTheWay : Sight::kHidden;
}

bool RequestRights::RefuseOutsideRights(RTE& engine, const Msg& request,
                                        const std::function<bool(RTE&, const Msg&)>& handler, bool& keep) {
  const std::optional<Need> need = NeedOf(request.GetMessageId());
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (!need || document == nullptr) return false;
  const int account = static_cast<int>(engine.GetUserIdentity().GetUserId());
  const std::shared_ptr<const GroupTable> groups = document->GetGroups().Snapshot();
  // A role over the whole library needs no look at the tree.
  if (groups->RightIn(account, {}).role >= need->role) return false;
  const std::string body = request.GetBodyText();
  const std::string project = LeadingStringField(body, need->projectField);
  const std::vector<std::string> chain = project.empty() ? std::vector<std::string>{} : document->ProjectChain(project);
  // A project that is not there is the handler's to answer, except where it means the top level.
  if (chain.empty() && !project.empty() && !need->creates) return false;
  const GroupRole role = groups->RightIn(account, chain).role;
  if (role >= need->role) return false;
  const bool seen =
      role != GroupRole::None || chain.empty() || ReachesCoveredProject(*document, *groups, account, project);
  if (seen && role == GroupRole::None && request.GetMessageId() == MSGID_LIST_DOCUMENTS) {
    keep = ListNoDocuments(engine, request);
    return true;
  }
  const std::string user = RequestDispatcher::ActingUserName(engine).value_or(std::to_string(account));
  const std::string kind = std::to_string(request.GetMessageId());
  document->GetNotes().AddOncePerMinute("rights " + user + " " + kind,
                                        "Request " + kind + " by " + user + " was refused: it needs the " +
                                            GroupRoleText(need->role) + " role in its project");
  // Its handler answers as for a project that is not there. A request that creates
  // gets the refusal below, as it does for a project that is not there (the top level).
  if (!seen && !need->creates) {
    const HiddenProject hidden(project);
    keep = handler(engine, request);
    return true;
  }
  const auto [reply, refusal] = Refusal(request, project);
  keep = RequestDispatcher::SendReply(engine, request, reply, refusal);
  return true;
}
