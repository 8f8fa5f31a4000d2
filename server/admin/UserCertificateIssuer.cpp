#include "server/admin/UserCertificateIssuer.h"

#include "common/CertificateFile.h"
#include "platform/CriticalSection.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/TlsSettings.h"


UserCertificateIssuer::Result UserCertificateIssuer::Issue(int userId, const std::string& path,
                                                           std::string& reason) {
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  ServerSettings& settings = document_.GetSettings();
  const int index = settings.FindUserIndex(userId);
  const std::optional<UserAccount> before = settings.GetUser(index);
  if (!before) return Result::UserAbsent;
  std::string text;
  if (!settings.BuildCertificateText(index, text)) return Result::UsersNotSaved;
  text += TlsSettings::CertificatePinRecord(document_.GetRootPath(), settings.GetPort());
  if (CertificateFile::Write(path, text, &reason)) return Result::Written;

  // No certificate carries the new code and key, so the old certificate stays valid.
  settings.UpdateUser(userId, [&before](UserAccount& account) {
    account.SetLogonCode(before->GetLogonCode());
    account.SetKeyText(before->GetKeyText());
  });
  return settings.SaveUsers(document_.GetRootPath()) ? Result::FileNotWritten
                                                     : Result::FileNotWrittenUsersNotRestored;
}

std::string UserCertificateIssuer::WrittenText(const std::string& path) {
  return "Certificate " + path + " created successfully and is now operational";
}

std::string UserCertificateIssuer::NotWrittenText(const std::string& path, const std::string& reason) {
  return "Failed to write certificate " + path + ": " + reason;
}
