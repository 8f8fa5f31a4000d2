#include "server/store/TlsSettings.h"

#include "common/CertificatePin.h"
#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/TlsCredentials.h"
#include "platform/fs.h"

namespace {

constexpr int kMaxPort = 65535;

std::string InRoot(const std::string& rootPath, const char* name) { return rootPath + "/" + name; }

}  // namespace

std::optional<TlsSettings> TlsSettings::Load(const std::string& rootPath) {
  const std::string path = InRoot(rootPath, kFileName);
  TlsSettings settings;
  if (!platform::fs::Exists(path)) return settings;
  std::string text;
  if (!platform::fs::ReadWholeFile(path, text)) return std::nullopt;
  std::string modeText;
  std::int32_t port = 0;
  ReadIntField(port, ReadStringField(modeText, text));
  const std::optional<Mode> mode = ParseMode(modeText);
  if (!mode || port < 0 || port > kMaxPort) return std::nullopt;
  settings.mode_ = *mode;
  settings.port_ = port;
  return settings;
}

bool TlsSettings::Save(const std::string& rootPath) const {
  const std::string line = EndRecord(AppendIntField(port_, AppendStringField(ModeText(mode_), "")));
  return platform::AtomicFile::Write(InRoot(rootPath, kFileName), line);
}

const char* TlsSettings::ModeText(Mode mode) {
  switch (mode) {
    case Mode::Off: return "off";
    case Mode::Optional: return "optional";
    case Mode::Required: return "required";
  }
  return "off";
}

std::optional<TlsSettings::Mode> TlsSettings::ParseMode(const std::string& text) {
  for (const Mode mode : {Mode::Off, Mode::Optional, Mode::Required}) {
    if (text == ModeText(mode)) return mode;
  }
  return std::nullopt;
}

std::string TlsSettings::CertificatePath(const std::string& rootPath) {
  return InRoot(rootPath, kCertificateFileName);
}

std::string TlsSettings::KeyPath(const std::string& rootPath) { return InRoot(rootPath, kKeyFileName); }

std::string TlsSettings::Fingerprint(const std::string& rootPath) {
  std::string pem;
  if (!platform::fs::ReadWholeFile(CertificatePath(rootPath), pem)) return "";
  return platform::TlsCredentials::FingerprintOfPem(pem);
}

std::string TlsSettings::CertificatePinRecord(const std::string& rootPath, int libraryPort) {
  const std::optional<TlsSettings> settings = Load(rootPath);
  if (!settings || settings->GetMode() == Mode::Off) return "";
  const std::string fingerprint = Fingerprint(rootPath);
  if (fingerprint.empty()) return "";
  return CertificatePin{fingerprint, settings->PortFor(libraryPort)}.Write();
}
