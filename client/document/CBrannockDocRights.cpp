// The account's rights: asking the server, keeping its rows, refusals for rights.
#include <sstream>
#include <string>

#include "client/document/CBrannockDoc.h"
#include "client/document/RefusalTexts.h"
#include "client/document/RequestRoles.h"
#include "common/QuotedLines.h"
#include "common/RecordFields.h"
#include "common/ResultCodes.h"
#include "common/StringHelpers.h"
#include "common/WireCapabilities.h"
#include "platform/Notifier.h"

namespace {

// Whether a body is the rights code and nothing else.
bool IsRightsCode(const std::string& body) {
  std::int32_t number = 0;
  std::string rest = ReadIntField(number, body);
  TrimString(rest);
  return number == kRightsRefusedCode && rest.empty() && !body.empty();
}

// The report of a reply that carries report lines rather than codes: 5045's whole
// body, 5047's lines behind its project line, 5053's reason field behind it; empty
// for any other reply.
std::string ReportOf(const Msg& reply) {
  const MessageId id = reply.GetMessageId();
  if (id == MSGID_DELETE_PROJECT_FAILED) return reply.GetBodyText();
  if (id != MSGID_DELETE_DOCUMENTS_RESULT && id != MSGID_RENAME_DOCUMENT_FAILED) return std::string();
  QuotedLines lines(reply.GetBodyText());
  std::string project;
  if (!lines.Next(project)) return std::string();
  if (id == MSGID_DELETE_DOCUMENTS_RESULT) return lines.Rest();
  std::string reason;
  ReadStringField(reason, lines.Rest());
  return reason;
}

// Whether one line of the report is the server's refusal for rights.
bool HoldsRightsLine(const std::string& report) {
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == kRightsRefusedLine) return true;
  }
  return false;
}

}  // namespace

bool CBrannockDoc::ServerSpeaksRights() const {
  // Not while the link logs on again: the server reached may announce otherwise.
  return IsReady() && connection_->GetServerCapabilities().Has(WireExtension::kRights);
}

bool CBrannockDoc::MayRequest(const ProjectNode& project, MessageId request) {
  const std::optional<RequestRole> needed = RoleForRequest(request);
  if (!rights_ || !needed) return true;
  return rights_->RoleOf(tree_.GetShownPath(project.GetIndexName())) >= needed->role;
}

void CBrannockDoc::AskRights() {
  if (!ServerSpeaksRights()) return;
  SendRequest(MSGID_LIST_RIGHTS, std::string());
}

void CBrannockDoc::OnRightsList(const Msg& reply) {
  // A list that cannot be read grants nothing new: the server still decides.
  rights_ = AccountRights::Decode(reply.GetBodyText());
}

void CBrannockDoc::OnRightsListFailed(const Msg&) { rights_.reset(); }

bool CBrannockDoc::HandleRightsRefusal(const Msg& reply, MessageId request) {
  // An earlier server never means rights by the code.
  if (request == 0 || !ServerSpeaksRights() ||
      !(IsRightsCode(reply.GetBodyText()) || HoldsRightsLine(ReportOf(reply)))) {
    return false;
  }
  const std::optional<std::string> text = RefusalTexts::Rights(request);
  if (!text) return false;
  MarkInstructionFailed(reply.GetOriginalStamp(), false);
  AskRights();
  platform::NotifyText(*text);
  return true;
}
