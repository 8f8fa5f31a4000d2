// Reply dispatch, instruction marking and the server's error texts.
#include <cstdint>
#include <cstdio>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/document/RefusalTexts.h"
#include "client/link/ServerErrorTexts.h"
#include "common/MessageIds.h"
#include "common/RecordFields.h"
#include "platform/Notifier.h"

namespace {

// The deletion and renaming replies: only the publisher handles them.
bool IsPublisherReply(MessageId id) { return id >= MSGID_PROJECT_DELETED && id <= kLastMessageId && !IsRequestId(id); }

void ShowUnhandled(MessageId id) {
  char text[32];
  std::snprintf(text, sizeof text, "MessageId = %d", static_cast<int>(id));
  platform::NotifyText(text);
}

// The one behaviour of every error box.
void ShowServerError(CBrannockDoc& document, const Msg& reply) {
  std::int32_t number = 0;
  ReadIntField(number, reply.GetBodyText());
  document.MarkInstructionFailed(reply.GetOriginalStamp(), false);
  platform::NotifyText(document.GetServerErrorText(number));
}

// The head batch's instruction that sent the request of `stamp`, with its index; null
// when the queue is empty or no instruction sent it.
template <typename Batches>
auto FindAnswered(Batches& batches, std::uint32_t stamp, int& index) -> decltype(batches.front().GetInstruction(0)) {
  if (batches.empty()) return nullptr;
  index = batches.front().FindInstructionByMessage(stamp);
  return index < 0 ? nullptr : batches.front().GetInstruction(index);
}

}  // namespace

void CBrannockDoc::Dispatch(const Msg& reply) {
  const MessageId id = reply.GetMessageId();
  const auto answered = unanswered_.find(reply.GetOriginalStamp());
  const MessageId request = answered == unanswered_.end() ? 0 : answered->second;
  if (answered != unanswered_.end()) unanswered_.erase(answered);
  if (!publisher_ && IsPublisherReply(id)) {
    ShowUnhandled(id);
    return;
  }
  const std::uint32_t stamp = reply.GetOriginalStamp();
  if (HandleRightsRefusal(reply, request)) {
    requestMemory_.erase(stamp);
    return;
  }
  switch (id) {
    case MSGID_BYE:
    case MSGID_LOGON_REFUSED:
    case MSGID_UNUSED:
      goodbye_ = true;
      break;
    case MSGID_LOGON_ACCEPTED:   // the connection has acted on it
      break;
    case MSGID_PROJECT_TREE:
      OnProjectTreeReply(reply);
      break;
    case MSGID_ADD_PROJECT_FAILED:
      OnAddProjectFailed(reply);
      break;
    case MSGID_PROJECT_ADDED:
      OnProjectAdded(reply);
      break;
    case MSGID_DOCUMENT_LIST:
      OnDocumentListReply(reply);
      break;
    case MSGID_DOCUMENT_LIST_FAILED:
    case MSGID_VERSION_LIST_FAILED:
      OnListFailed(reply);
      break;
    case MSGID_ADD_DOCUMENTS_RESULT:
      OnAddDocumentsReply(reply);
      break;
    case MSGID_RETRIEVE_FAILED:
    case MSGID_GET_ORIGINAL_DOCUMENTS_FAILED:
      MarkInstructionFailed(stamp, false);
      versionDeliveries_.Fail(stamp);
      break;
    case MSGID_RETRIEVED_DOCUMENTS: {
      const RequestMemory* memory = FindRequestMemory(stamp);
      OnDocumentFilesReply(reply, memory == nullptr || !memory->writable, false);
      break;
    }
    case MSGID_CHECKED_OUT_DOCUMENTS:
      OnDocumentFilesReply(reply, false, true);
      break;
    case MSGID_CHECK_OUT_FAILED:
      OnCheckOutFailed(reply);
      break;
    case MSGID_CHECK_IN_RESULT:
      OnCheckInReply(reply);
      break;
    case MSGID_UNDO_CHECK_OUT_RESULT:
      OnUndoCheckOutReply(reply);
      break;
    case MSGID_VERSION_LIST:
      OnVersionListReply(reply);
      break;
    case MSGID_CREATE_EDITION_FAILED:
      OnCreateEditionFailed(reply);
      break;
    case MSGID_EDITION_CREATED:
      OnEditionCreated(reply);
      break;
    case MSGID_ADD_ORIGINAL_PROJECT_FAILED:
      OnAddOriginalProjectFailed(reply);
      break;
    case MSGID_ORIGINAL_PROJECT_ADDED:
      OnOriginalProjectAdded(reply);
      break;
    case MSGID_ADD_ORIGINAL_REFERENCES_RESULT:
      OnOriginalReferencesAdded(reply);
      break;
    case MSGID_ADD_REFERENCES_RESULT:
      OnDocumentReferencesAdded(reply);
      break;
    case MSGID_PROJECT_DELETED:
    case MSGID_DELETE_PROJECT_FAILED:
      OnDeleteProjectReply(reply);
      break;
    case MSGID_DELETE_DOCUMENTS_RESULT:
      OnDeleteDocumentsReply(reply);
      break;
    case MSGID_PROJECT_RENAMED:
    case MSGID_RENAME_PROJECT_FAILED:
      OnRenameProjectReply(reply);
      break;
    case MSGID_DOCUMENT_RENAMED:
    case MSGID_RENAME_DOCUMENT_FAILED:
      OnRenameDocumentReply(reply);
      break;
    case MSGID_RIGHTS_LIST:
      OnRightsList(reply);
      break;
    case MSGID_LIST_RIGHTS_FAILED:
      OnRightsListFailed(reply);
      break;
    default:   // requests, resend requests and ids outside the protocol
      ShowUnhandled(id);
      break;
  }
  // A request has one reply: what it remembered for it is no longer needed.
  requestMemory_.erase(stamp);
}

const CBrannockDoc::RequestMemory* CBrannockDoc::FindRequestMemory(std::uint32_t stamp) const {
  const auto found = requestMemory_.find(stamp);
  return found == requestMemory_.end() ? nullptr : &found->second;
}

// ---- marking and folders of the answered instruction ------------------------------

void CBrannockDoc::MarkInstructionDone(std::uint32_t stamp, const std::string& indexName, bool succeeded) {
  int index = -1;
  Instruction* instruction = FindAnswered(batches_, stamp, index);
  if (instruction == nullptr) return;
  instruction->SetDone(true);
  instruction->SetSucceeded(succeeded);
  if (succeeded) instruction->SetIndexName(indexName);
  currentInstruction_ = index;
  lastOutcome_ = succeeded;
  SendHint(ClientHints::kInstructionFinished, UpdateHint::kTreeView);
}

void CBrannockDoc::MarkInstructionFailed(std::uint32_t stamp, bool succeeded) {
  int index = -1;
  const Instruction* instruction = FindAnswered(batches_, stamp, index);
  if (instruction != nullptr) MarkInstructionDone(stamp, instruction->GetIndexName(), succeeded);
}

std::string CBrannockDoc::GetInstructionTargetFolder(std::uint32_t stamp) const {
  int index = -1;
  const Instruction* instruction = FindAnswered(batches_, stamp, index);
  return instruction == nullptr ? std::string() : instruction->GetTargetFolder();
}

std::string CBrannockDoc::GetInstructionSourceFolder(std::uint32_t stamp) const {
  int index = -1;
  const Instruction* instruction = FindAnswered(batches_, stamp, index);
  return instruction == nullptr ? std::string() : instruction->GetSourceFolder();
}

void CBrannockDoc::CountDone(std::uint32_t stamp, DoneNotice::Operation operation, const std::string& subject,
                             int done, int refused) {
  int index = -1;
  if (FindAnswered(batches_, stamp, index) != nullptr) {
    batchNotice_.Count(operation, subject, done, refused);
    return;
  }
  DoneNotice notice;
  notice.Count(operation, subject, done, refused);
  app_.ShowStatusNotice(notice.Text());
}

bool CBrannockDoc::TellsWhereFilesWent(std::uint32_t stamp) const {
  int index = -1;
  const Instruction* instruction = FindAnswered(batches_, stamp, index);
  return instruction != nullptr && instruction->GetPrerequisite() == 0 && !instruction->IsDocumentStep();
}

// ---- texts and boxes ----------------------------------------------------------------

std::string CBrannockDoc::GetServerErrorText(int number) const {
  return ServerErrorTexts::Lookup(ServerErrorTexts::FilePath(app_.GetWorkingDirectory()), number);
}

void CBrannockDoc::ShowInformation(const std::string& text) {
  if (informationHook_) {
    informationHook_(text);
  } else {
    platform::NotifyText(text);
  }
}

void CBrannockDoc::ShowReport(const std::string& text) {
  // A document other projects use is a refusal the user must act on, not news.
  if (const std::optional<std::string> dependents = RefusalTexts::Dependents(text)) {
    platform::NotifyText(*dependents, platform::NotifyIcon::Warning);
  } else {
    ShowInformation(text);
  }
}

void CBrannockDoc::OnAddProjectFailed(const Msg& reply) { ShowServerError(*this, reply); }
void CBrannockDoc::OnCheckOutFailed(const Msg& reply) { ShowServerError(*this, reply); }
void CBrannockDoc::OnCreateEditionFailed(const Msg& reply) { ShowServerError(*this, reply); }
void CBrannockDoc::OnAddOriginalProjectFailed(const Msg& reply) { ShowServerError(*this, reply); }

void CBrannockDoc::OnListFailed(const Msg& reply) {
  // A refused document list is no longer pending, so it can be asked for again.
  if (reply.GetMessageId() == MSGID_DOCUMENT_LIST_FAILED) ForgetListRequestByStamp(reply.GetOriginalStamp());
  std::int32_t number = 0;
  ReadIntField(number, reply.GetBodyText());
  if (number == kDocumentListProjectGone || number == kVersionListProjectGone) {
    // The project was deleted: the new tree says so, once, where a box a list would not.
    MarkInstructionFailed(reply.GetOriginalStamp(), false);
    if (!treeAskedForGoneProject_) {
      treeAskedForGoneProject_ = SendRequest(MSGID_REFRESH_PROJECTS, std::string()).has_value();
    }
  } else {
    ShowServerError(*this, reply);
  }
  if (reply.GetMessageId() == MSGID_VERSION_LIST_FAILED) TakeScannedList(reply.GetOriginalStamp(), nullptr);
}
