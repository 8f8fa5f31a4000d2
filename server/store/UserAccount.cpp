#include "server/store/UserAccount.h"

#include <algorithm>
#include <string_view>

#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "platform/Random.h"

namespace {

constexpr int kLogonCodeParts = 10;
constexpr std::uint32_t kLogonCodePartBound = 32768;  // the range of the C library's rand()

bool ContainsBlank(const std::string& value) { return value.find(' ') != std::string::npos; }

// Letters and the punctuation a telephone number must not hold; byte 0xA3 is the
// pound sign in code page 1252 and the last byte of its UTF-8 form.
bool IsForbiddenInDialBack(char c) {
  static constexpr std::string_view kPunctuation = "!\"\xA3$%^&*()_-+={[]}:;@'~#<,>.?/\\|";
  const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  return letter || kPunctuation.find(c) != std::string_view::npos;
}

// Field readers that leave the value alone once the text is used up.
class FieldReader {
 public:
  explicit FieldReader(const std::string& text) : rest_(text) {}
  void Int(int& value) {
    if (!rest_.empty()) rest_ = ReadIntField(value, rest_);
  }
  void Flag(bool& value) {
    if (rest_.empty()) return;
    int number = 0;
    rest_ = ReadIntField(number, rest_);
    value = number != 0;
  }
  void String(std::string& value) {
    if (!rest_.empty()) rest_ = ReadStringField(value, rest_);
  }
  void Stamp(DateTime& value) {
    if (rest_.empty()) return;
    std::string digits;
    rest_ = ReadStringField(digits, rest_);
    value.Parse(digits);
  }
  const std::string& Rest() const { return rest_; }

 private:
  std::string rest_;
};

}  // namespace

std::string UserAccount::Trimmed(const std::string& value) {
  std::string copy = value;
  TrimString(copy);
  return copy;
}

UserAccount::UserAccount() {
  GenerateLogonCode();
  dateTime_.SetNow();
}

void UserAccount::Reset() { *this = UserAccount(); }

bool UserAccount::Validate() const {
  if (id_ == -1 || name_.empty() || password_.empty()) return false;
  switch (connectionType_) {
    case kTcpIp:
      return true;
    case kEmail:
      return !emailAddress_.empty() && !emailField2_.empty() && !emailField3_.empty() &&
             !emailField4_.empty() && !serverMailField1_.empty() && !ContainsBlank(emailAddress_) &&
             !ContainsBlank(emailField2_) && !ContainsBlank(emailField3_) && !ContainsBlank(emailField4_);
    case kRas:
    case kDialIn:
      return !dialBackNumber_.empty() && !dialInField2_.empty() && !dialInField3_.empty() &&
             !dialInField4_.empty() && !ContainsBlank(dialInField2_) && !ContainsBlank(dialInField3_) &&
             std::none_of(dialBackNumber_.begin(), dialBackNumber_.end(), IsForbiddenInDialBack);
    default:
      return false;
  }
}

std::string UserAccount::Save(const std::string& text) const {
  std::string line = AppendIntField(id_, text);
  line = AppendStringField(name_, std::move(line));
  line = AppendStringField(password_, std::move(line));
  line = AppendStringField(keyText_, std::move(line));
  line = AppendIntField(keyLength_, std::move(line));
  line = AppendIntField(connectionType_, std::move(line));
  line = AppendStringField(serverAddress_, std::move(line));
  line = AppendIntField(serverPort_, std::move(line));
  line = AppendStringField(ipAddress_, std::move(line));
  line = AppendIntField(port_, std::move(line));
  line = AppendStringField(serverMailField1_, std::move(line));
  line = AppendStringField(serverMailField2_, std::move(line));
  line = AppendStringField(serverMailField3_, std::move(line));
  line = AppendStringField(serverMailField4_, std::move(line));
  line = AppendStringField(emailAddress_, std::move(line));
  line = AppendStringField(emailField2_, std::move(line));
  line = AppendStringField(emailField3_, std::move(line));
  line = AppendStringField(emailField4_, std::move(line));
  line = AppendStringField(dialBackNumber_, std::move(line));
  line = AppendStringField(dialInField2_, std::move(line));
  line = AppendStringField(dialInField3_, std::move(line));
  line = AppendStringField(dialInField4_, std::move(line));
  line = AppendStringField(logonCode_, std::move(line));
  line = AppendStringField(dateTime_.Format(), std::move(line));
  line = AppendStringField(lastCode_, std::move(line));
  line = AppendIntField(lockoutTrap_ ? 1 : 0, std::move(line));
  line = AppendIntField(lockedOut_ ? 1 : 0, std::move(line));
  return EndRecord(line);
}

std::string UserAccount::Load(const std::string& text) {
  Reset();
  FieldReader in(text);
  in.Int(id_);
  in.String(name_);
  in.String(password_);
  in.String(keyText_);
  in.Int(keyLength_);
  in.Int(connectionType_);
  in.String(serverAddress_);
  in.Int(serverPort_);
  in.String(ipAddress_);
  in.Int(port_);
  in.String(serverMailField1_);
  in.String(serverMailField2_);
  in.String(serverMailField3_);
  in.String(serverMailField4_);
  in.String(emailAddress_);
  in.String(emailField2_);
  in.String(emailField3_);
  in.String(emailField4_);
  in.String(dialBackNumber_);
  in.String(dialInField2_);
  in.String(dialInField3_);
  in.String(dialInField4_);
  in.String(logonCode_);
  in.Stamp(dateTime_);
  in.String(lastCode_);
  in.Flag(lockoutTrap_);
  in.Flag(lockedOut_);
  return in.Rest();
}

std::string UserAccount::BuildCertificateLine() {
  previousCode_.clear();   // a new certificate spends every code handed out before
  GenerateLogonCode();
  GenerateKeyText();
  std::string line = AppendIntField(id_, "");
  line = AppendStringField(name_, std::move(line));
  line = AppendStringField(password_, std::move(line));
  line = AppendStringField(keyText_, std::move(line));
  line = AppendIntField(keyLength_, std::move(line));
  line = AppendIntField(connectionType_, std::move(line));
  line = AppendStringField(logonCode_, std::move(line));
  switch (connectionType_) {
    case kTcpIp:
      line = AppendStringField(serverAddress_, std::move(line));
      line = AppendIntField(serverPort_, std::move(line));
      line = AppendStringField(ipAddress_, std::move(line));
      line = AppendIntField(port_, std::move(line));
      break;
    case kEmail:
      line = AppendStringField(serverMailField1_, std::move(line));
      line = AppendStringField(emailAddress_, std::move(line));
      line = AppendStringField(emailField2_, std::move(line));
      line = AppendStringField(emailField3_, std::move(line));
      line = AppendStringField(emailField4_, std::move(line));
      break;
    case kRas:
    case kDialIn:
      line = AppendStringField(dialInField2_, std::move(line));
      line = AppendStringField(dialInField3_, std::move(line));
      line = AppendStringField(dialInField4_, std::move(line));
      break;
    default:
      break;
  }
  return EndRecord(line);
}

void UserAccount::GenerateLogonCode() {
  logonCode_.clear();
  for (int i = 0; i < kLogonCodeParts; ++i) {
    logonCode_ += std::to_string(platform::RandomBelow(kLogonCodePartBound));
  }
}

void UserAccount::GenerateKeyText() { keyText_ = RandomKeyText(keyLength_); }

std::string UserAccount::RandomKeyText(int keyLength) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int i = 0; i < keyLength; ++i) {
    text += kHexDigits[platform::RandomBelow(16)];
    text += kHexDigits[platform::RandomBelow(16)];
  }
  return text;
}

UserAccount::CodeMatch UserAccount::CheckLogonCode(const std::string& code) {
  if (lockedOut_) return CodeMatch::None;
  dateTime_.SetNow();
  if (code == logonCode_) return CodeMatch::Current;
  if (!previousCode_.empty() && code == previousCode_) return CodeMatch::Previous;
  lastCode_ = code;
  return CodeMatch::None;
}

void UserAccount::AcceptLogonCode(CodeMatch match) {
  if (match == CodeMatch::Current) previousCode_ = logonCode_;
  GenerateLogonCode();
}
