#include "server/engine/LogonService.h"

#include <climits>
#include <optional>

#include "common/RecordFields.h"
#include "server/engine/LogonNotice.h"
#include "server/store/CWexmoorDoc.h"

LogonService::Result LogonService::Logon(std::uint32_t userId, const std::string& body) {
  std::string name, password, code;
  std::string rest = ReadStringField(name, body);
  rest = ReadStringField(password, rest);
  ReadStringField(code, rest);
  const int id = userId > static_cast<std::uint32_t>(INT_MAX) ? -1 : static_cast<int>(userId);
  for (const std::string* field : {&name, &password, &code}) {
    if (field->size() > UserAccount::kMaxLogonFieldLength) {
      NoteRefusal(id, LogonNotice::Refusal::OverLongField);
      return {};
    }
  }
  if (id < 0) {
    NoteRefusal(id, LogonNotice::Refusal::NoSuchAccount);
    return {};
  }
  return CheckKnownUser(id, name, password, code);
}

void LogonService::NoteRefusal(int userId, LogonNotice::Refusal cause) {
  const std::optional<UserAccount> account =
      userId < 0 ? std::nullopt : document_.GetSettings().FindUser(userId);
  LogonNotice(document_.GetNotes())
      .Refused(userId, account ? account->GetName() : "", account ? cause : LogonNotice::Refusal::NoSuchAccount);
}

LogonService::Result LogonService::CheckKnownUser(int userId, const std::string& name, const std::string& password,
                                                  const std::string& code) {
  ServerSettings& settings = document_.GetSettings();
  bool accepted = false;
  bool lockedNow = false;
  std::string newCode;
  std::string accountName;
  LogonNotice::Refusal refusal = LogonNotice::Refusal::NoSuchAccount;
  const auto check = [&](UserAccount& account) -> ServerSettings::UserChange {
    accountName = account.GetName();
    // Only a request that knows the account's name and password may change it.
    if (account.GetName() != name || account.GetPassword() != password) {
      refusal = LogonNotice::Refusal::WrongNameOrPassword;
      return {};
    }
    if (account.IsLockedOut()) {
      refusal = LogonNotice::Refusal::LockedOut;
      return {};
    }
    const UserAccount::LogonCodes before = account.GetLogonCodes();
    const UserAccount::CodeMatch match = account.CheckLogonCode(code);
    accepted = match != UserAccount::CodeMatch::None;
    if (!accepted) {
      refusal = LogonNotice::Refusal::WrongCode;
      lockedNow = account.IsLockoutTrapSet();
      if (lockedNow) account.LockOut();
      return {true, std::nullopt};
    }
    account.AcceptLogonCode(match);
    newCode = account.GetLogonCode();
    return {true, before};
  };
  const ServerSettings::PendingSave pending =
      settings.ChangeUserForSave(userId, check, document_.GetUserTableSection());
  if (!accepted) {
    LogonNotice notice(document_.GetNotes());
    notice.Refused(userId, accountName, refusal);
    if (lockedNow) notice.LockedOut(userId, accountName);
  }
  if (!pending.IsNeeded()) return {};
  // Outside the section: the save enters it, and logons queued for it meanwhile share the next save.
  const ServerSettings::SaveOutcome outcome =
      settings.WaitForSave(pending, document_.GetRootPath(), document_.GetUserTableSection());
  if (!accepted) return {};
  if (outcome.saved) return {true, newCode};
  // Handing out a code the file does not hold would make the next logon fail once
  // the server restarts: the account went back to the code the file holds.
  if (outcome.codeKept) return {true, *outcome.codeKept};
  return {};
}
