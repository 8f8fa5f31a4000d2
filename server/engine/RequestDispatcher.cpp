#include "server/engine/RequestDispatcher.h"

#include <mutex>
#include <utility>

#include "common/RecordFields.h"
#include "server/engine/CWexmoorApp.h"
#include "server/engine/LibraryRequests.h"
#include "server/engine/LogonService.h"
#include "server/engine/RTE.h"
#include "server/engine/ReplyText.h"
#include "server/engine/RequestRights.h"
#include "server/store/CWexmoorDoc.h"

namespace {

std::mutex replyHookMutex;
std::function<void()> replyQueuedHook;

// The reply that refuses a request, for the requests that have one.
std::optional<MessageId> FailureReplyOf(MessageId request) {
  switch (request) {
    case MSGID_ADD_PROJECT: return MSGID_ADD_PROJECT_FAILED;
    case MSGID_LIST_DOCUMENTS: return MSGID_DOCUMENT_LIST_FAILED;
    case MSGID_RETRIEVE: return MSGID_RETRIEVE_FAILED;
    case MSGID_CHECK_OUT: return MSGID_CHECK_OUT_FAILED;
    case MSGID_LIST_VERSIONS: return MSGID_VERSION_LIST_FAILED;
    case MSGID_CREATE_EDITION: return MSGID_CREATE_EDITION_FAILED;
    case MSGID_ADD_ORIGINAL_PROJECT: return MSGID_ADD_ORIGINAL_PROJECT_FAILED;
    case MSGID_GET_ORIGINAL_DOCUMENTS: return MSGID_GET_ORIGINAL_DOCUMENTS_FAILED;
    case MSGID_DELETE_PROJECT: return MSGID_DELETE_PROJECT_FAILED;
    case MSGID_RENAME_PROJECT: return MSGID_RENAME_PROJECT_FAILED;
    case MSGID_RENAME_DOCUMENT: return MSGID_RENAME_DOCUMENT_FAILED;
    case MSGID_LIST_RIGHTS: return MSGID_LIST_RIGHTS_FAILED;
    default: return std::nullopt;
  }
}

// A body the reply cannot hold is never sent empty: the request's failure reply
// says it was too large. False when the request has none.
bool RefuseAsTooLarge(Msg& reply, const Msg& request, MessageId id) {
  const std::optional<MessageId> failed = FailureReplyOf(request.GetMessageId());
  if (!failed || *failed == id) return false;
  reply.SetMessageId(*failed);
  return reply.SetBody(AppendIntField(RequestDispatcher::kReplyTooLargeCode, ""));
}

// Stamps the engine's reply message for the request and moves it to the outbound
// queue with the charge that counted it.
bool QueueReply(RTE& engine, const Msg& request, TransferBudget::Charge charge) {
  Msg& reply = engine.GetReplyMessage();
  reply.SetOriginalStamp(request.GetOriginalStamp());
  reply.SetReplyStamp(static_cast<std::uint32_t>(engine.NextReplyNumber()));
  const bool queued = engine.QueueMessage(std::move(reply), std::move(charge));
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(replyHookMutex);
    hook = replyQueuedHook;
  }
  if (hook) hook();
  return queued;
}

}  // namespace

RequestDispatcher::RequestDispatcher() {
  Register(MSGID_LOGON, [this](RTE& engine, const Msg& request) { return Logon(engine, request); });
  Register(MSGID_LOGOFF, &RequestDispatcher::Logoff);
  RegisterProjectTreeRequests(*this);
  RegisterDocumentListRequests(*this);
  RegisterCheckOutRequests(*this);
  RegisterRetrievalRequests(*this);
  RegisterReferenceRequests(*this);
  RegisterRightsRequests(*this);
}

void RequestDispatcher::Register(MessageId id, Handler handler) {
  if (handler) {
    handlers_[id] = std::move(handler);
  } else {
    handlers_.erase(id);
  }
  served_ = WireCapabilities();
  for (const auto& [served, ignored] : handlers_) {
    if (const std::optional<WireExtension> extension = ExtensionOfRequest(served)) served_ = served_.With(*extension);
  }
}

bool RequestDispatcher::Dispatch(RTE& engine, const Msg& request) const {
  const MessageId id = request.GetMessageId();
  if (!engine.IsLoggedOn() && id != MSGID_LOGON) {
    SendReply(engine, request, MSGID_BYE, "");
    return false;
  }
  if (!IsRequestId(id) && !MayRequest(engine.GetPeerCapabilities(), id)) return false;
  const auto found = handlers_.find(id);
  if (found == handlers_.end()) return false;
  bool keep = true;
  if (RequestRights::RefuseOutsideRights(engine, request, found->second, keep)) return keep;
  return found->second(engine, request);
}

bool RequestDispatcher::SendReply(RTE& engine, const Msg& request, MessageId id, const std::string& body) {
  Msg& reply = engine.GetReplyMessage();
  reply.SetMessageId(id);
  if (!reply.SetBody(body) && !RefuseAsTooLarge(reply, request, id)) return false;
  return QueueReply(engine, request, engine.NewReplyCharge());
}

bool RequestDispatcher::SendReply(RTE& engine, const Msg& request, MessageId id, std::string_view head,
                                  ReplyText& tail) {
  Msg& reply = engine.GetReplyMessage();
  reply.SetMessageId(id);
  if (!tail.MoveInto(reply, head) && !RefuseAsTooLarge(reply, request, id)) return false;
  return QueueReply(engine, request, tail.TakeCharge());
}

std::optional<std::string> RequestDispatcher::ActingUserName(const RTE& engine) {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr || !engine.IsLoggedOn()) return std::nullopt;
  const std::optional<UserAccount> account =
      document->GetSettings().FindUser(static_cast<int>(engine.GetUserIdentity().GetUserId()));
  if (!account) return std::nullopt;
  return account->GetName();
}

void RequestDispatcher::SetReplyQueuedHookForTesting(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(replyHookMutex);
  replyQueuedHook = std::move(hook);
}

bool RequestDispatcher::Logon(RTE& engine, const Msg& request) const {
  CWexmoorDoc* document = CWexmoorApp::GetDocument();
  if (document == nullptr) return false;
  // Nothing of the account is looked at: the plain wire must not carry a logon.
  if (engine.LogonNeedsTls()) {
    SendReply(engine, request, MSGID_LOGON_REFUSED, kTlsNeededText);
    return false;
  }
  const UserIdentity identity = request.GetUserIdentity();
  const LogonService::Result result =
      LogonService(*document).Logon(identity.GetUserId(), request.GetBody() ? request.GetBody() : "");
  // The connection counts as logged on before 5009 is queued, so a request sent
  // the moment 5009 arrives is already read with the user's key.
  if (!result.accepted || !engine.CompleteLogon(identity)) {
    SendReply(engine, request, MSGID_LOGON_REFUSED, "");
    return false;
  }
  engine.SetPeerCapabilities(WireCapabilities::Announced(WireCapabilities::Side::kClient, request.GetSecondTime()));
  Msg& reply = engine.GetReplyMessage();
  reply.SetSecondTime(served_.Announcement(WireCapabilities::Side::kServer));
  const bool sent = SendReply(engine, request, MSGID_LOGON_ACCEPTED, result.code);
  reply.SetSecondTime({});
  return sent;
}

bool RequestDispatcher::Logoff(RTE& engine, const Msg& request) {
  // The answer is a reply like any other: the 5008's stamp and a fresh reply number.
  Msg& reply = engine.GetReplyMessage();
  reply.SetOriginalStamp(request.GetOriginalStamp());
  reply.SetReplyStamp(static_cast<std::uint32_t>(engine.NextReplyNumber()));
  engine.Logoff();
  return true;
}
