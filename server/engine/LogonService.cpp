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
  return CheckKnownUser(static_cast<int>(userId), name, password, code);
}

LogonService::Result LogonService::CheckKnownUser(int userId, const std::string& name, const std::string& password,
                                                  const std::string& code) {
  ServerSettings& settings = document_.GetSettings();
  bool accepted = false;
  std::string newCode;
  ServerSettings::PendingSave pending;
  {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    pending = settings.ChangeUserForSave(userId, [&](UserAccount& account) -> ServerSettings::UserChange {
      // Only a request that knows the account's name and password may change it.
      if (account.GetName() != name || account.GetPassword() != password || account.IsLockedOut()) return {};
      const UserAccount::LogonCodes before = account.GetLogonCodes();
      const UserAccount::CodeMatch match = account.CheckLogonCode(code);
      accepted = match != UserAccount::CodeMatch::None;
      if (!accepted) {
        if (account.IsLockoutTrapSet()) account.LockOut();
        return {true, std::nullopt};
      }
      account.AcceptLogonCode(match);
      newCode = account.GetLogonCode();
      return {true, before};
    });
  }
  if (!pending.IsNeeded()) return {};
  // Outside the section, so logons made while a save runs share the next one.
  const ServerSettings::SaveOutcome outcome = settings.WaitForSave(pending, document_.GetRootPath());
  if (!accepted) return {};
  if (outcome.saved) return {true, newCode};
  // Handing out a code the file does not hold would make the next logon fail once
  // the server restarts: the account went back to the code the file holds.
  if (outcome.codeKept) return {true, *outcome.codeKept};
  return {};
}
