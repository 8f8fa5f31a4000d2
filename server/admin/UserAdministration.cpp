#include "server/admin/UserAdministration.h"

#include <optional>

#include "platform/CriticalSection.h"
#include "server/store/CWexmoorDoc.h"

UserAdministration::Result UserAdministration::Add(UserAccount& account) {
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  if (document_.GetSettings().FindDuplicate(account) != -1) return Result::Duplicate;
  return document_.AddUser(account) ? Result::Done : Result::NotSaved;
}

UserAdministration::Result UserAdministration::Remove(int id) {
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  ServerSettings& settings = document_.GetSettings();
  const std::optional<UserAccount> before = settings.FindUser(id);
  if (!before) return Result::Absent;
  settings.RemoveUser(id);
  if (settings.SaveUsers(document_.GetRootPath())) {
    // Not saved, the next start drops the membership all the same.
    document_.GetGroups().ForgetAccount(id);
    return Result::Done;
  }
  settings.AddUser(*before);
  return Result::NotSaved;
}

UserAdministration::Result UserAdministration::Change(int id, const std::function<void(UserAccount&)>& change) {
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  ServerSettings& settings = document_.GetSettings();
  const std::optional<UserAccount> before = settings.FindUser(id);
  if (!before || !settings.UpdateUser(id, change)) return Result::Absent;
  if (settings.SaveUsers(document_.GetRootPath())) return Result::Done;
  settings.UpdateUser(id, [&before](UserAccount& account) { account = *before; });
  return Result::NotSaved;
}

std::string UserAdministration::DuplicateText(const std::string& name) {
  return std::string(kNotUniqueText) + "\n\nUsername: an account named " + name +
         " with this connection type and IP address already exists";
}

const char* UserAdministration::ConnectionTypeText(int type) {
  static const char* const kTexts[] = {"Unknown", "TCP/IP", "Email", "RAS", "Dialin", "FTP"};
  return type >= 0 && type < 6 ? kTexts[type] : "";
}
