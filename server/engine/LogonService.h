#pragma once
// Checks a logon request against the user table and hands out the account's next
// logon code. The look-up, the tests, the lock-out and the new code run as one
// region under the document's user-table section, so each accepted logon hands
// out its own new code however many connections present one code at once. The
// code a client last used stays valid until it uses a successor (see
// UserAccount::AcceptLogonCode). The answer waits for a save of the users file
// that holds the change; logons made while a save runs share the next save.
#include <cstdint>
#include <string>

#include "server/engine/LogonNotice.h"

class CWexmoorDoc;

class LogonService {
 public:
  struct Result {
    bool accepted = false;
    // Accepted only: the code the client must present next time, as it stands in
    // the users file (the previous code when the file could not be saved).
    std::string code;
  };

  explicit LogonService(CWexmoorDoc& document) : document_(document) {}

  // `userId` is the request header's user number, `body` the request body of
  // account name, password and logon code. Refusals are not told apart: every one
  // gives accepted false. A field longer than UserAccount::kMaxLogonFieldLength, an
  // unknown number or a wrong name or password changes nothing; only a request
  // with the right name and password whose code is spent locks a trapped account.
  // When the users file could not be saved the account goes back to the codes the
  // file holds and the logon is answered with that code. Every refusal and
  // lock-out is a console line (see LogonNotice).
  Result Logon(std::uint32_t userId, const std::string& body);

 private:
  void NoteRefusal(int userId, LogonNotice::Refusal cause);
  Result CheckKnownUser(int userId, const std::string& name, const std::string& password, const std::string& code);

  CWexmoorDoc& document_;
};
