#include "server/engine/LogonService.h"

#include <climits>

#include "common/RecordFields.h"
#include "server/store/CWexmoorDoc.h"

LogonService::Result LogonService::Logon(std::uint32_t userId, const std::string& body) {
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  ServerSettings& settings = document_.GetSettings();
  const int id = userId > static_cast<std::uint32_t>(INT_MAX) ? -1 : static_cast<int>(userId);
  const bool known = id >= 0 && settings.FindUserIndex(id) >= 0;
  if (body.empty() && !known) return {};

  std::string name, password, code;
  std::string rest = ReadStringField(name, body);
  if (!known) return RefuseUnknownUser(name);
  rest = ReadStringField(password, rest);
  ReadStringField(code, rest);
  return CheckKnownUser(id, name, password, code);
}

LogonService::Result LogonService::RefuseUnknownUser(const std::string& name) {
  ServerSettings& settings = document_.GetSettings();
  for (int i = 0; i < settings.GetUserCount(); ++i) {
    const std::optional<UserAccount> account = settings.GetUser(i);
    if (account && account->GetName() == name && account->IsLockoutTrapSet()) {
      settings.UpdateUser(account->GetId(), [](UserAccount& a) { a.LockOut(); });
    }
  }
  SaveUsers();
  return {};
}

LogonService::Result LogonService::CheckKnownUser(int userId, const std::string& name, const std::string& password,
                                                  const std::string& code) {
  ServerSettings& settings = document_.GetSettings();
  bool accepted = false;
  std::string previousCode, newCode;
  settings.UpdateUser(userId, [&](UserAccount& account) {
    // Each test runs only when the ones before it passed.
    accepted = account.GetName() == name && account.GetPassword() == password && account.CheckLogonCode(code) &&
               !account.IsLockedOut();
    if (accepted) {
      previousCode = account.GetLogonCode();
      account.GenerateLogonCode();
      newCode = account.GetLogonCode();
    } else if (account.IsLockoutTrapSet()) {
      account.LockOut();
    }
  });
  const bool saved = SaveUsers();
  if (!accepted) return {};
  if (saved) return {true, newCode};
  // The file still holds the previous code; handing out a code it does not know
  // would make the next logon fail once the server restarts.
  settings.UpdateUser(userId, [&](UserAccount& account) { account.SetLogonCode(previousCode); });
  return {true, previousCode};
}

bool LogonService::SaveUsers() { return document_.GetSettings().SaveUsers(document_.GetRootPath()); }
