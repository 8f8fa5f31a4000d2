#pragma once
// The console lines about logons: each refused logon, each account locked out and
// each account unlocked. Refusals of one account for one cause pass at most once a
// minute, so a peer that retries without end cannot fill the console.
#include <string>

class ServerNotes;

class LogonNotice {
 public:
  enum class Refusal { NoSuchAccount, OverLongField, WrongNameOrPassword, LockedOut, WrongCode };

  explicit LogonNotice(ServerNotes& notes) : notes_(notes) {}

  // `accountName` is the stored name of account `userId`; unused for NoSuchAccount.
  void Refused(int userId, const std::string& accountName, Refusal cause);
  // A logon that proved the name and password with a spent code locked the account.
  void LockedOut(int userId, const std::string& accountName);

 private:
  ServerNotes& notes_;
};
