#include "server/engine/LogonService.h"

#include <climits>

#include "common/RecordFields.h"
#include "server/store/CWexmoorDoc.h"

LogonService::Result LogonService::Logon(std::uint32_t userId, const std::string& body) {
  std::string name, password, code;
  std::string rest = ReadStringField(name, body);
  rest = ReadStringField(password, rest);
  ReadStringField(code, rest);
  for (const std::string* field : {&name, &password, &code}) {
    if (field->size() > UserAccount::kMaxLogonFieldLength) return {};
  }
  if (userId > static_cast<std::uint32_t>(INT_MAX)) return {};

  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  return CheckKnownUser(static_cast<int>(userId), name, password, code);
}

LogonService::Result LogonService::CheckKnownUser(int userId, const std::string& name, const std::string& password,
                                                  const std::string& code) {
  ServerSettings& settings = document_.GetSettings();
  bool proven = false;
  bool accepted = false;
  UserAccount before;
  std::string newCode;
  settings.UpdateUser(userId, [&](UserAccount& account) {
    // Only a request that knows the account's name and password may change it.
    proven = account.GetName() == name && account.GetPassword() == password && !account.IsLockedOut();
    if (!proven) return;
    before = account;
    const UserAccount::CodeMatch match = account.CheckLogonCode(code);
    accepted = match != UserAccount::CodeMatch::None;
    if (accepted) {
      account.AcceptLogonCode(match);
      newCode = account.GetLogonCode();
    } else if (account.IsLockoutTrapSet()) {
      account.LockOut();
    }
  });
  if (!proven) return {};
  const bool saved = SaveUsers();
  if (!accepted) return {};
  if (saved) return {true, newCode};
  // Handing out a code the file does not hold would make the next logon fail
  // once the server restarts: the account goes back to what the file holds.
  settings.UpdateUser(userId, [&](UserAccount& account) { account = before; });
  return {true, before.GetLogonCode()};
}

bool LogonService::SaveUsers() { return document_.GetSettings().SaveUsers(document_.GetRootPath()); }
