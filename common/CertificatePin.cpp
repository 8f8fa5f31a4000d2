#include "common/CertificatePin.h"

#include <sstream>

#include "common/RecordFields.h"

namespace {

constexpr const char* kTag = "tls pin";
constexpr int kRecordsBefore = 2;   // the library's and the account's
constexpr int kMaxPort = 65535;

}  // namespace

std::string CertificatePin::Write() const {
  return EndRecord(AppendIntField(port, AppendStringField(fingerprint, AppendStringField(kTag, ""))));
}

std::optional<CertificatePin> CertificatePin::Find(const std::string& certificateText) {
  std::istringstream lines(certificateText);
  std::string line;
  for (int number = 0; std::getline(lines, line); ++number) {
    if (number < kRecordsBefore) continue;
    std::string tag;
    CertificatePin pin;
    std::int32_t port = 0;
    ReadIntField(port, ReadStringField(pin.fingerprint, ReadStringField(tag, line + "\n")));
    if (tag != kTag) continue;
    if (pin.fingerprint.empty() || port < 1 || port > kMaxPort) return std::nullopt;
    pin.port = port;
    return pin;
  }
  return std::nullopt;
}
