#pragma once
// One user of the library as the server knows it: logon name and password, the
// user's XOR key (upper-case hex text), the one-time logon code of the user's
// certificate, connection details for the certificate and the lock-out state.
// Stored as one CSV line of 27 fields in the users file (see Save); a certificate
// carries a shorter line chosen by connection type (see BuildCertificateLine).
#include <cstddef>
#include <string>

#include "common/DateTime.h"

class UserAccount {
 public:
  // Connection types; Validate accepts kTcpIp to kDialIn only.
  static constexpr int kUnknown = 0;
  static constexpr int kTcpIp = 1;
  static constexpr int kEmail = 2;
  static constexpr int kRas = 3;
  static constexpr int kDialIn = 4;
  static constexpr int kFtp = 5;

  static constexpr int kDefaultKeyLength = 16;
  // The longest key the system takes: a longer one (only a damaged file holds one)
  // would make every certificate of the account huge.
  static constexpr int kMaxKeyLength = 64;
  static bool IsUsableKeyLength(int length) { return length >= 1 && length <= kMaxKeyLength; }
  // Longest name, password or logon code a logon may present; longer ones are
  // refused before anything is looked at or stored.
  static constexpr std::size_t kMaxLogonFieldLength = 255;

  // Which of the account's codes a presented logon code is.
  enum class CodeMatch { None, Current, Previous };

  // A new account holds the defaults that Reset gives.
  UserAccount();

  // Every field back to its default: id -1, key length 16, lock-out trap set, not
  // locked out, a fresh logon code, date-time now, everything else empty or 0.
  void Reset();

  // Two accounts are the same user when their ids are equal.
  bool operator==(const UserAccount& other) const { return id_ == other.id_; }

  // True when the id is assigned, name and password are set and the fields the
  // connection type needs are present and well formed.
  bool Validate() const;

  // `text` followed by the stored line (27 fields and a line feed).
  std::string Save(const std::string& text) const;
  // Resets, then reads the stored line's fields from the front of `text` while text
  // remains (a short line leaves the rest at their defaults). Returns the rest.
  std::string Load(const std::string& text);

  // Gives the account a new logon code and key, then returns its certificate line:
  // 7 common fields plus the group of its connection type (11, 12, 10 or 7 fields).
  std::string BuildCertificateLine();

  // Ten decimal numbers of 0-32767 from the secure random source, back to back.
  void GenerateLogonCode();
  // Key-length times two upper-case hex digits from the secure random source.
  void GenerateKeyText();
  // `keyLength` times two random upper-case hex digits ("" for 0 or less).
  static std::string RandomKeyText(int keyLength);

  // None for a locked-out account (nothing changes). Otherwise stamps the
  // date-time and tells whether `code` is the current code or the previous one
  // (see AcceptLogonCode); a wrong code is kept as the last code.
  CodeMatch CheckLogonCode(const std::string& code);
  // Replaces the code after an accepted logon. The last code the client was seen
  // to hold stays valid until a successor of it is used: a client that gave up
  // waiting for an answer, however often, is never refused its own retry, and a
  // code handed out but never used is superseded by the next one.
  // The stored line has no field for the previous code: the users file keeps it
  // on a line of its own (see ServerSettings).
  void AcceptLogonCode(CodeMatch match);

  // The current and the previous code, which an accepted logon replaces; put back
  // when the users file could not be saved.
  struct LogonCodes {
    std::string current;
    std::string previous;
  };
  LogonCodes GetLogonCodes() const { return {logonCode_, previousCode_}; }
  void RestoreLogonCodes(const LogonCodes& codes) {
    logonCode_ = codes.current;
    previousCode_ = codes.previous;
  }

  bool IsLockoutTrapSet() const { return lockoutTrap_; }
  void SetLockoutTrap(bool set) { lockoutTrap_ = set; }
  bool IsLockedOut() const { return lockedOut_; }
  void LockOut() { lockedOut_ = true; }
  void Unlock() { lockedOut_ = false; }

  // String setters store the value trimmed of surrounding white space, but for the
  // password, kept as typed: the logon compares it byte for byte.
  int GetId() const { return id_; }
  void SetId(int id) { id_ = id; }
  std::string GetName() const { return name_; }
  void SetName(const std::string& v) { name_ = Trimmed(v); }
  std::string GetPassword() const { return password_; }
  void SetPassword(const std::string& v) { password_ = v; }
  std::string GetServerAddress() const { return serverAddress_; }
  void SetServerAddress(const std::string& v) { serverAddress_ = Trimmed(v); }
  int GetServerPort() const { return serverPort_; }
  void SetServerPort(int port) { serverPort_ = port; }
  std::string GetIpAddress() const { return ipAddress_; }
  void SetIpAddress(const std::string& v) { ipAddress_ = Trimmed(v); }
  int GetPort() const { return port_; }
  void SetPort(int port) { port_ = port; }
  std::string GetEmailAddress() const { return emailAddress_; }
  void SetEmailAddress(const std::string& v) { emailAddress_ = Trimmed(v); }
  std::string GetEmailField2() const { return emailField2_; }
  void SetEmailField2(const std::string& v) { emailField2_ = Trimmed(v); }
  std::string GetEmailField3() const { return emailField3_; }
  void SetEmailField3(const std::string& v) { emailField3_ = Trimmed(v); }
  std::string GetEmailField4() const { return emailField4_; }
  void SetEmailField4(const std::string& v) { emailField4_ = Trimmed(v); }
  std::string GetServerMailField1() const { return serverMailField1_; }
  void SetServerMailField1(const std::string& v) { serverMailField1_ = Trimmed(v); }
  std::string GetServerMailField2() const { return serverMailField2_; }
  void SetServerMailField2(const std::string& v) { serverMailField2_ = Trimmed(v); }
  std::string GetServerMailField3() const { return serverMailField3_; }
  void SetServerMailField3(const std::string& v) { serverMailField3_ = Trimmed(v); }
  std::string GetServerMailField4() const { return serverMailField4_; }
  void SetServerMailField4(const std::string& v) { serverMailField4_ = Trimmed(v); }
  std::string GetDialBackNumber() const { return dialBackNumber_; }
  void SetDialBackNumber(const std::string& v) { dialBackNumber_ = Trimmed(v); }
  std::string GetDialInField2() const { return dialInField2_; }
  void SetDialInField2(const std::string& v) { dialInField2_ = Trimmed(v); }
  std::string GetDialInField3() const { return dialInField3_; }
  void SetDialInField3(const std::string& v) { dialInField3_ = Trimmed(v); }
  std::string GetDialInField4() const { return dialInField4_; }
  void SetDialInField4(const std::string& v) { dialInField4_ = Trimmed(v); }
  std::string GetKeyText() const { return keyText_; }
  void SetKeyText(const std::string& v) { keyText_ = Trimmed(v); }
  int GetKeyLength() const { return keyLength_; }
  void SetKeyLength(int length) { keyLength_ = length; }
  int GetConnectionType() const { return connectionType_; }
  void SetConnectionType(int type) { connectionType_ = type; }
  std::string GetLogonCode() const { return logonCode_; }
  void SetLogonCode(const std::string& v) { logonCode_ = Trimmed(v); }
  DateTime GetDateTime() const { return dateTime_; }
  void SetDateTime(const DateTime& value) { dateTime_ = value; }
  std::string GetLastCode() const { return lastCode_; }
  void SetLastCode(const std::string& v) { lastCode_ = Trimmed(v); }

 private:
  static std::string Trimmed(const std::string& value);

  int id_ = -1;
  std::string name_;
  std::string password_;
  std::string serverAddress_;
  int serverPort_ = 0;
  std::string ipAddress_;
  int port_ = 0;
  std::string emailAddress_;
  std::string emailField2_;
  std::string emailField3_;
  std::string emailField4_;
  std::string serverMailField1_;
  std::string serverMailField2_;
  std::string serverMailField3_;
  std::string serverMailField4_;
  std::string dialBackNumber_;
  std::string dialInField2_;
  std::string dialInField3_;
  std::string dialInField4_;
  std::string keyText_;
  int keyLength_ = kDefaultKeyLength;
  int connectionType_ = kUnknown;
  std::string logonCode_;
  bool lockoutTrap_ = true;
  bool lockedOut_ = false;
  DateTime dateTime_;
  std::string lastCode_;
  std::string previousCode_;
};
