#include "server/engine/LogonNotice.h"

#include "server/store/ServerNotes.h"

namespace {

std::string Account(int userId, const std::string& accountName) {
  return accountName + " (user " + std::to_string(userId) + ")";
}

const char* Reason(LogonNotice::Refusal cause) {
  switch (cause) {
    case LogonNotice::Refusal::NoSuchAccount:
      return "no such account";
    case LogonNotice::Refusal::OverLongField:
      return "a name, password or code longer than the server takes";
    case LogonNotice::Refusal::WrongNameOrPassword:
      return "wrong name or password";
    case LogonNotice::Refusal::LockedOut:
      return "the account is locked out";
    case LogonNotice::Refusal::WrongCode:
      return "not the account's logon code";
  }
  return "";
}

}  // namespace

void LogonNotice::Refused(int userId, const std::string& accountName, Refusal cause) {
  if (cause == Refusal::NoSuchAccount) {
    // One key for every unknown number: a peer trying numbers makes one line a minute.
    notes_.AddOncePerMinute("logon refused: no such account",
                            "Logon refused for user number " + std::to_string(userId) + ": " + Reason(cause));
    return;
  }
  notes_.AddOncePerMinute("logon refused " + std::to_string(userId) + " " + std::to_string(static_cast<int>(cause)),
                          "Logon refused for " + Account(userId, accountName) + ": " + Reason(cause));
}

void LogonNotice::LockedOut(int userId, const std::string& accountName) {
  notes_.Add("Account " + Account(userId, accountName) +
             " is locked out: a logon gave its name and password with a spent logon code");
}
