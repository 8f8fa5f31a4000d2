#include "server/admin/UserDetails.h"

#include <algorithm>
#include <cctype>

#include "common/NameValidation.h"
#include "common/StringHelpers.h"
#include "server/admin/NameRule.h"

namespace {

constexpr int kHighestPort = 65535;
// More digits than this cannot be a port, whatever leading zeros they carry.
constexpr std::size_t kMaxPortDigits = 10;
// A name the administration stores must be one a logon can present.
static_assert(kMaxStoredNameBytes <= UserAccount::kMaxLogonFieldLength);

}  // namespace

UserDetails UserDetails::FromAccount(const UserAccount& account) {
  UserDetails details;
  details.name = account.GetName();
  details.password = account.GetPassword();
  details.connectionType = account.GetConnectionType();
  details.ipAddress = account.GetIpAddress();
  details.portText = std::to_string(account.GetPort());
  details.emailAddress = account.GetEmailAddress();
  details.emailServer = account.GetEmailField2();
  details.emailAccount = account.GetEmailField3();
  details.emailPassword = account.GetEmailField4();
  details.dialBackNumber = account.GetDialBackNumber();
  details.dialInAccount = account.GetDialInField2();
  details.dialInPassword = account.GetDialInField3();
  return details;
}

bool UserDetails::ParsePort(const std::string& text, int& port) {
  std::string digits = text;
  TrimString(digits);
  const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  if (digits.size() > kMaxPortDigits || !std::all_of(digits.begin(), digits.end(), isDigit)) return false;
  const long value = digits.empty() ? 0 : std::stol(digits);
  if (value > kHighestPort) return false;
  port = static_cast<int>(value);
  return true;
}

bool UserDetails::ApplyTo(UserAccount& account) const {
  int port = 0;
  if (!IsValidStoredName(name)) return false;
  if (connectionType == UserAccount::kTcpIp && !ParsePort(portText, port)) return false;
  account.SetName(name);
  account.SetPassword(password);
  account.SetConnectionType(connectionType);
  switch (connectionType) {
    case UserAccount::kTcpIp:
      account.SetIpAddress(ipAddress);
      account.SetPort(port);
      break;
    case UserAccount::kEmail:
      account.SetEmailAddress(emailAddress);
      account.SetEmailField2(emailServer);
      account.SetEmailField3(emailAccount);
      account.SetEmailField4(emailPassword);
      break;
    case UserAccount::kRas:
    case UserAccount::kDialIn:
      account.SetDialBackNumber(dialBackNumber);
      account.SetDialInField2(dialInAccount);
      account.SetDialInField3(dialInPassword);
      break;
    default:
      break;
  }
  return true;
}

bool UserDetails::IsComplete() const {
  if (name.empty() || password.empty()) return false;
  switch (connectionType) {
    case UserAccount::kTcpIp:
      return true;
    case UserAccount::kEmail:
      return !emailAddress.empty() && !emailServer.empty() && !emailAccount.empty() && !emailPassword.empty();
    case UserAccount::kDialIn:
    case UserAccount::kFtp:
      return !dialBackNumber.empty() && !dialInAccount.empty() && !dialInPassword.empty();
    default:
      return false;
  }
}

std::string UserDetails::Refusal() const {
  if (const std::string broken = NameRuleBroken(name); !broken.empty()) return "Username: " + broken;
  std::string blanksTrimmed = password;
  TrimString(blanksTrimmed);
  if (blanksTrimmed.empty()) return "Password: a password is required";
  if (password.size() > UserAccount::kMaxLogonFieldLength) {
    return "Password: a password can be at most " + std::to_string(UserAccount::kMaxLogonFieldLength) +
           " bytes long, the most a logon takes";
  }
  int port = 0;
  switch (connectionType) {
    case UserAccount::kTcpIp:
      if (!ParsePort(portText, port)) return "Port: a port is a number from 0 to 65535, or empty";
      break;
    case UserAccount::kEmail:
      if (!IsComplete()) return "User Email Details: every field is required";
      break;
    case UserAccount::kDialIn:
    case UserAccount::kFtp:
      if (!IsComplete()) return "User Dialback Details: every field is required";
      break;
    default:
      return "Connection Type: choose TCP/IP";
  }
  return "";
}
