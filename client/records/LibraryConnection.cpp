#include "client/records/LibraryConnection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

#include "client/records/ClientAppState.h"
#include "client/records/FieldCursor.h"
#include "common/NameValidation.h"
#include "common/RecordFields.h"
#include "common/StringHelpers.h"

namespace {

constexpr int kMaxKeyLength = 65535;
constexpr int kMaxPort = 65535;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// One to four groups of 1-3 digits, separated by single dots.
bool IsDottedAddress(const std::string& host) {
  int groups = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = host.find('.', start);
    const std::size_t end = dot == std::string::npos ? host.size() : dot;
    const std::size_t digits = end - start;
    if (digits < 1 || digits > 3) return false;
    if (!std::all_of(host.begin() + static_cast<std::ptrdiff_t>(start),
                     host.begin() + static_cast<std::ptrdiff_t>(end), IsDigit)) {
      return false;
    }
    if (++groups > 4) return false;
    if (dot == std::string::npos) return true;
    start = dot + 1;
  }
}

bool InRange(int number) { return number >= 1 && number <= 4; }

}  // namespace

std::optional<in_addr> LibraryConnection::LookUpHost(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &answer) != 0 || answer == nullptr) {
    return std::nullopt;
  }
  sockaddr_in first{};
  std::memcpy(&first, answer->ai_addr, std::min<std::size_t>(sizeof first, answer->ai_addrlen));
  freeaddrinfo(answer);
  return first.sin_addr;
}

bool LibraryConnection::IsValidKey(const std::string& keyText, int keyLength) {
  return keyLength >= 1 && keyLength <= kMaxKeyLength &&
         keyText.size() == 2 * static_cast<std::size_t>(keyLength) &&
         std::all_of(keyText.begin(), keyText.end(), IsHexDigit);
}

void LibraryConnection::SetName(const std::string& name) {
  name_ = name;
  ClientAppState::MarkUsersModified();
}

void LibraryConnection::SetHost(const std::string& host) {
  host_ = host;
  kind_ = kTcpIp;
  ClientAppState::MarkUsersModified();
}

void LibraryConnection::SetPort(int port) {
  port_ = port;
  ClientAppState::MarkUsersModified();
}

void LibraryConnection::SetEmailAddress(const std::string& address) {
  emailAddress_ = address;
  kind_ = kEmail;
  ClientAppState::MarkUsersModified();
}

void LibraryConnection::SetFtpAddress(const std::string& address) {
  ftpAddress_ = address;
  kind_ = kFtp;
  ClientAppState::MarkUsersModified();
}

void LibraryConnection::SetLocalFolder(const std::string& folder) {
  localFolder_ = folder;
  ClientAppState::MarkUsersModified();
}

std::string LibraryConnection::GetEmailText(int number) const {
  return InRange(number) ? emailTexts_[static_cast<std::size_t>(number - 1)] : std::string();
}

void LibraryConnection::SetEmailText(int number, const std::string& text) {
  if (InRange(number)) emailTexts_[static_cast<std::size_t>(number - 1)] = text;
}

std::string LibraryConnection::GetDialInText(int number) const {
  return InRange(number) ? dialInTexts_[static_cast<std::size_t>(number - 1)] : std::string();
}

void LibraryConnection::SetDialInText(int number, const std::string& text) {
  if (InRange(number)) dialInTexts_[static_cast<std::size_t>(number - 1)] = text;
}

std::string LibraryConnection::GetServerText() const {
  switch (kind_) {
    case kTcpIp:
      return host_ + ":" + std::to_string(port_);
    case kEmail:
      return emailAddress_;
    case kFtp:
      return ftpAddress_;
    default:
      return "";
  }
}

std::string LibraryConnection::Write() const {
  std::string line = AppendIntField(1, "");
  line = AppendIntField(userNumber_, std::move(line));
  line = AppendStringField(name_, std::move(line));
  line = AppendStringField(secondLogonText_, std::move(line));
  line = AppendStringField(logonCode_, std::move(line));
  line = AppendStringField(host_, std::move(line));
  line = AppendIntField(port_, std::move(line));
  line = AppendStringField(tcpIpText_, std::move(line));
  line = AppendIntField(tcpIpNumber_, std::move(line));
  line = AppendStringField(emailAddress_, std::move(line));
  for (const std::string& text : emailTexts_) line = AppendStringField(text, std::move(line));
  line = AppendStringField(ftpAddress_, std::move(line));
  line = AppendStringField(dialInTexts_[0], std::move(line));
  line = AppendStringField(dialInTexts_[1], std::move(line));
  line = AppendStringField(dialInTexts_[3], std::move(line));
  line = AppendStringField(dialInTexts_[2], std::move(line));
  line = AppendIntField(kind_, std::move(line));
  line = AppendStringField(userText_, std::move(line));
  line = AppendStringField(keyText_, std::move(line));
  line = AppendIntField(keyLength_, std::move(line));
  line = AppendStringField(localFolder_, std::move(line));
  return EndRecord(line);
}

bool LibraryConnection::Read(const std::string& line) {
  FieldCursor fields(line);
  fields.SkipInt().Int(userNumber_).String(name_).String(secondLogonText_).String(logonCode_);
  fields.String(host_).Int(port_).String(tcpIpText_).Int(tcpIpNumber_).String(emailAddress_);
  for (std::string& text : emailTexts_) fields.String(text);
  fields.String(ftpAddress_).String(dialInTexts_[0]).String(dialInTexts_[1]);
  fields.String(dialInTexts_[3]).String(dialInTexts_[2]);
  fields.Int(kind_).String(userText_).String(keyText_).Int(keyLength_).String(localFolder_);
  return fields.Ok();
}

bool LibraryConnection::ParseCertificate(const std::string& text) {
  LibraryConnection parsed(*this);
  if (!parsed.ReadCertificateFields(text)) return false;
  TrimString(parsed.name_);
  const std::string texts[] = {parsed.host_, parsed.secondLogonText_, parsed.logonCode_, parsed.tcpIpText_,
                               parsed.emailAddress_};
  if (!IsValidStoredName(parsed.name_) || !IsValidStoredName(parsed.userText_) ||
      !IsValidKey(parsed.keyText_, parsed.keyLength_) || std::any_of(std::begin(texts), std::end(texts), HasLineBreak) ||
      std::any_of(parsed.emailTexts_.begin(), parsed.emailTexts_.end(), HasLineBreak) ||
      std::any_of(parsed.dialInTexts_.begin(), parsed.dialInTexts_.end(), HasLineBreak)) {
    return false;
  }
  if (parsed.kind_ == kTcpIp && (parsed.host_.empty() || parsed.port_ < 1 || parsed.port_ > kMaxPort)) return false;
  *this = parsed;
  return true;
}

bool LibraryConnection::ReadCertificateFields(const std::string& text) {
  FieldCursor fields(text);
  fields.String(name_).SkipInt().SkipString();
  fields.Int(userNumber_).String(userText_).String(secondLogonText_).String(keyText_).Int(keyLength_);
  fields.Int(kind_).String(logonCode_);
  switch (kind_) {
    case kTcpIp:
      fields.String(host_).Int(port_).String(tcpIpText_).Int(tcpIpNumber_);
      break;
    case kEmail:
      fields.String(emailAddress_);
      for (std::string& emailText : emailTexts_) fields.String(emailText);
      break;
    case kRas:
    case kDialIn:
      for (std::string& dialInText : dialInTexts_) fields.String(dialInText);
      break;
    default:
      return false;
  }
  return fields.Ok();
}

std::optional<sockaddr_in> LibraryConnection::ResolveAddress(const HostResolver& resolver) const {
  if (port_ < 1 || port_ > kMaxPort) return std::nullopt;
  std::optional<in_addr> address;
  if (IsDottedAddress(host_)) {
    in_addr converted{};
    if (inet_aton(host_.c_str(), &converted) != 0) address = converted;
  } else if (resolver) {
    address = resolver(host_);
  }
  if (!address) return std::nullopt;
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(static_cast<std::uint16_t>(port_));
  result.sin_addr = *address;
  return result;
}
