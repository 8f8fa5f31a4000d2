#pragma once
// The table from request id to handler and the rules every request meets before
// its handler: before logon only 5003 is taken (anything else is answered with
// 5002 and ends the connection), 5008 logs off and keeps the connection, and ids
// without a handler end the connection without a reply, as do extension requests
// from a peer that did not announce their extension. Handlers answer through
// SendReply, which gives every reply its request's stamp and the next reply number.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/MessageIds.h"
#include "common/Msg.h"
#include "common/WireCapabilities.h"

class ReplyText;
class RTE;

class RequestDispatcher {
 public:
  // True keeps the connection, false ends it.
  using Handler = std::function<bool(RTE& engine, const Msg& request)>;

  // A table holding every request handler the server has.
  RequestDispatcher();
  RequestDispatcher(const RequestDispatcher&) = delete;
  RequestDispatcher& operator=(const RequestDispatcher&) = delete;

  // Adds (or replaces) the handler of a request id; ids that are not request ids
  // are never dispatched, whatever is registered for them. An empty handler takes
  // the id's away, and with the last of an extension's, its announcement (a server
  // of an earlier build, for tests).
  void Register(MessageId id, Handler handler);
  // The extensions whose requests have handlers: what the server announces in 5009.
  WireCapabilities Served() const { return served_; }

  // The decision for one request, on the connection thread. Memory exhaustion
  // inside a handler is traced and ends the connection.
  bool Dispatch(RTE& engine, const Msg& request) const;

  // The body code of a failure reply sent instead of a reply too large to send.
  static constexpr std::int32_t kReplyTooLargeCode = 64;

  // Fills the engine's reply message with `id` and `body`, the request's original
  // stamp and the connection's next reply number, and moves it to the outbound
  // queue (the reply message is left without a body). A body the message cannot
  // hold is never sent empty: the request's failure reply is queued instead with
  // kReplyTooLargeCode, or, for a request without one, nothing is queued and false
  // ends the connection.
  static bool SendReply(RTE& engine, const Msg& request, MessageId id, const std::string& body);
  // The same for a body of `head` then `tail`, which becomes the body without a copy.
  static bool SendReply(RTE& engine, const Msg& request, MessageId id, std::string_view head, ReplyText& tail);

  // The account name of the user the connection logged on as, read as a copy from
  // the user table; none when the connection is not logged on or the account is gone.
  static std::optional<std::string> ActingUserName(const RTE& engine);

  // The refusal of a logon on the plain port of a library that requires TLS.
  static constexpr const char* kTlsNeededText =
      "This library accepts logons over TLS only: ask its administrator for a new certificate, "
      "made while TLS is on, and import it";

  // Test seam: runs on the connection thread right after each reply is queued.
  static void SetReplyQueuedHookForTesting(std::function<void()> hook);

 private:
  bool Logon(RTE& engine, const Msg& request) const;
  static bool Logoff(RTE& engine, const Msg& request);

  std::unordered_map<MessageId, Handler> handlers_;
  WireCapabilities served_;
};
