#include "server/admin/TlsAdministration.h"

#include "platform/CriticalSection.h"
#include "server/admin/RunningServer.h"
#include "server/engine/TlsListener.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/TlsIdentityFiles.h"

namespace {

constexpr const char* kNextStart = " from the server's next start";
constexpr const char* kNow = " now";
constexpr const char* kUnreadable = "The TLS settings of the library cannot be read: ";

// The port of `text` (1-65535), or 0.
int ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  const int port = std::stoi(text);
  return port <= 65535 ? port : 0;
}

}  // namespace

TlsAdministration::Outcome TlsAdministration::MakeKey(bool renew) {
  const std::string root = document_.GetRootPath();
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  const std::string problem = TlsIdentityFiles::Make(root, document_.GetSettings().GetServerAddress(), renew);
  if (!problem.empty()) return {false, problem};
  return KeyStored(renew ? "A new TLS key replaces the old one" : "The TLS key is made");
}

TlsAdministration::Outcome TlsAdministration::ImportKey(const std::string& certificatePath,
                                                        const std::string& keyPath) {
  const std::string root = document_.GetRootPath();
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  const std::string problem = TlsIdentityFiles::Import(root, certificatePath, keyPath);
  if (!problem.empty()) return {false, problem};
  return KeyStored("The TLS key of " + keyPath + " is taken");
}

TlsAdministration::Outcome TlsAdministration::KeyStored(const std::string& what) {
  const std::string root = document_.GetRootPath();
  const std::optional<TlsSettings> settings = TlsSettings::Load(root);
  if (server_ == nullptr) return {true, KeyMadeText(what, kNextStart)};
  // While TLS is off the key waits for it to be turned on.
  if (!settings || settings->GetMode() == TlsSettings::Mode::Off) return {true, KeyMadeText(what, "")};
  bool applied = false;
  const std::string problem = server_->Tls().Change(*settings, root, [] { return true; }, applied);
  if (!problem.empty()) return {false, KeyMadeText(what, "") + "\nThe running server does not serve it: " + problem};
  return {true, KeyMadeText(what, applied ? kNow : kNextStart)};
}

std::string TlsAdministration::KeyMadeText(const std::string& what, const char* when) const {
  const std::string root = document_.GetRootPath();
  std::string text = what + when + "; its fingerprint is " + TlsSettings::Fingerprint(root);
  const std::optional<TlsSettings> settings = TlsSettings::Load(root);
  if (!settings || settings->GetMode() == TlsSettings::Mode::Off) return text;
  std::string names;
  const ServerSettings& users = document_.GetSettings();
  for (int index = 0; index < users.GetUserCount(); ++index) {
    const std::optional<UserAccount> account = users.GetUser(index);
    if (account->GetConnectionType() != UserAccount::kTcpIp) continue;
    names += (names.empty() ? "" : ", ") + account->GetName();
  }
  if (names.empty()) return text;
  return text + "\nCertificates made before pin the old key: issue new ones (certificate NAME FILE) for " + names;
}

TlsAdministration::Outcome TlsAdministration::SetMode(const std::string& modeText, const std::string& portText) {
  const std::optional<TlsSettings::Mode> mode = TlsSettings::ParseMode(modeText);
  if (!mode) return {false, "TLS mode: one of off, optional, required (not " + modeText + ")"};
  const int port = portText.empty() ? -1 : ParsePort(portText);
  if (port == 0) return {false, "TLS port: a port is a whole number from 1 to 65535"};
  const int libraryPort = document_.GetSettings().GetPort();
  if (port == libraryPort) {
    return {false, "TLS port: " + portText + " is the library's plain port; TLS needs a port of its own"};
  }
  const std::string root = document_.GetRootPath();
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  std::optional<TlsSettings> settings = TlsSettings::Load(root);
  if (!settings) return {false, kUnreadable + root + "/" + TlsSettings::kFileName};
  if (*mode != TlsSettings::Mode::Off && !TlsIdentityFiles::Exists(root)) {
    return {false, "The library has no TLS key yet: make one with tls-init, or take yours with tls-import"};
  }
  settings->SetMode(*mode);
  if (port > 0) settings->SetPort(port);
  if (settings->PortFor(libraryPort) == libraryPort) {
    return {false, "TLS port: the library's plain port cannot serve TLS too; give another port"};
  }
  bool applied = false;
  const std::string problem = Apply(*settings, "Failed to save " + root + "/" + TlsSettings::kFileName, applied);
  if (!problem.empty()) return {false, problem};
  return {true, "TLS is " + std::string(TlsSettings::ModeText(*mode)) + (applied ? kNow : kNextStart) + ": " + Summary()};
}

std::string TlsAdministration::Apply(const TlsSettings& settings, const std::string& saveFailure, bool& applied) {
  const std::string root = document_.GetRootPath();
  applied = false;
  if (server_ == nullptr) return settings.Save(root) ? std::string() : saveFailure;
  bool saved = true;
  const std::string problem = server_->Tls().Change(
      settings, root, [&] { return saved = settings.Save(root); }, applied);
  if (problem.empty()) return problem;
  return (saved ? "The TLS settings stay as they were: " + problem : saveFailure);
}

std::string TlsAdministration::Summary() const {
  const std::string root = document_.GetRootPath();
  const std::optional<TlsSettings> settings = TlsSettings::Load(root);
  if (!settings) return kUnreadable + root + "/" + TlsSettings::kFileName;
  const int libraryPort = document_.GetSettings().GetPort();
  const std::string plain = "plain port " + std::to_string(libraryPort);
  const std::string tls = "TLS port " + std::to_string(settings->PortFor(libraryPort));
  const std::string fingerprint = TlsSettings::Fingerprint(root);
  const std::string key = fingerprint.empty() ? "no TLS key" : "fingerprint " + fingerprint;
  switch (settings->GetMode()) {
    case TlsSettings::Mode::Off: return "TLS off, " + plain + " only, " + key;
    case TlsSettings::Mode::Optional: return "TLS optional, " + plain + " and " + tls + ", " + key;
    case TlsSettings::Mode::Required: return "TLS required, " + tls + " (the " + plain + " refuses logons), " + key;
  }
  return "";
}
