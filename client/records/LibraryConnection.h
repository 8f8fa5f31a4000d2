#pragma once
// One library account of one user: the library's name, how to reach its server,
// the account's number, logon texts and key, and the local folder of the
// library's documents. Its line in "BKUsers.wxf" holds 24 comma-separated fields:
//   1,user number,"name","second logon","logon code","host",port,"TCP/IP text",
//   TCP/IP number,"e-mail address","e-mail 1".."e-mail 4","FTP address",
//   "dial-in 1","dial-in 2","dial-in 4","dial-in 3",kind,"user text","key text",
//   key length,"local folder"\n
// (dial-in text 4 stands before 3 in both writing and reading).
#include <netinet/in.h>

#include <array>
#include <functional>
#include <optional>
#include <string>

class LibraryConnection {
 public:
  enum Kind { kUnknown = 0, kTcpIp = 1, kEmail = 2, kFtp = 3, kRas = 4, kDialIn = 5 };
  static constexpr int kDefaultPort = 8901;

  // Returns the first IPv4 address of a host name, or none.
  using HostResolver = std::function<std::optional<in_addr>(const std::string& host)>;
  // The system's name look-up (AF_INET, first answer).
  static std::optional<in_addr> LookUpHost(const std::string& host);

  // A key as stored: length 1-65535 bytes and exactly 2 * length hex digits.
  static bool IsValidKey(const std::string& keyText, int keyLength);

  // The setters of name, host (kind becomes TCP/IP), port, e-mail address (kind
  // e-mail), FTP address (kind FTP) and local folder mark the users modified.
  const std::string& GetName() const { return name_; }
  void SetName(const std::string& name);
  const std::string& GetHost() const { return host_; }
  void SetHost(const std::string& host);
  int GetPort() const { return port_; }
  void SetPort(int port);
  const std::string& GetEmailAddress() const { return emailAddress_; }
  void SetEmailAddress(const std::string& address);
  const std::string& GetFtpAddress() const { return ftpAddress_; }
  void SetFtpAddress(const std::string& address);
  int GetKind() const { return kind_; }
  void SetKind(int kind) { kind_ = kind; }
  bool IsTcpIp() const { return kind_ == kTcpIp; }
  bool IsEmail() const { return kind_ == kEmail; }
  bool IsFtp() const { return kind_ == kFtp; }
  const std::string& GetUserText() const { return userText_; }
  void SetUserText(const std::string& text) { userText_ = text; }
  const std::string& GetKeyText() const { return keyText_; }
  void SetKeyText(const std::string& keyText) { keyText_ = keyText; }
  int GetUserNumber() const { return userNumber_; }
  void SetUserNumber(int number) { userNumber_ = number; }
  const std::string& GetSecondLogonText() const { return secondLogonText_; }
  void SetSecondLogonText(const std::string& text) { secondLogonText_ = text; }
  int GetKeyLength() const { return keyLength_; }
  void SetKeyLength(int length) { keyLength_ = length; }
  const std::string& GetLogonCode() const { return logonCode_; }
  void SetLogonCode(const std::string& code) { logonCode_ = code; }
  const std::string& GetTcpIpText() const { return tcpIpText_; }
  void SetTcpIpText(const std::string& text) { tcpIpText_ = text; }
  int GetTcpIpNumber() const { return tcpIpNumber_; }
  void SetTcpIpNumber(int number) { tcpIpNumber_ = number; }
  // Texts 1 to 4; another number reads as empty and is not stored.
  std::string GetEmailText(int number) const;
  void SetEmailText(int number, const std::string& text);
  std::string GetDialInText(int number) const;
  void SetDialInText(int number, const std::string& text);
  const std::string& GetLocalFolder() const { return localFolder_; }
  void SetLocalFolder(const std::string& folder);

  // Where the library is reached, as a user reads it: "host:port" for TCP/IP,
  // the e-mail or FTP address for those kinds, empty for any other.
  std::string GetServerText() const;

  // The record's line, ending in a line feed.
  std::string Write() const;
  // Reads the 24 fields from one line; false when the line ends before the last
  // field (the fields read so far are kept).
  bool Read(const std::string& line);

  // Reads the account from a whole decoded certificate text: library name, the
  // library's key length and key text (not kept here), then user number, user
  // text, second logon text, key text, key length, kind and logon code, then by
  // kind: TCP/IP host, port, TCP/IP text and number; e-mail address and four
  // e-mail texts; RAS and dial-in four dial-in texts. The name is trimmed. False,
  // the record unchanged, for any other kind, a field missing, a name or user text
  // unfit for a folder level, a text with a line break, a key that is not
  // 2 * length hex digits (length 1-65535), or for TCP/IP an empty host or a port
  // outside 1-65535.
  bool ParseCertificate(const std::string& text);

  // The server's IPv4 address and port (network byte order). A host of one to four
  // dot-separated groups of 1-3 digits is converted numerically (no look-up; no
  // address when it does not convert); any other host goes to `resolver`. None
  // when nothing resolves or the port is outside 1-65535.
  std::optional<sockaddr_in> ResolveAddress(const HostResolver& resolver = LookUpHost) const;

  bool operator==(const LibraryConnection&) const = default;

 private:
  bool ReadCertificateFields(const std::string& text);

  std::string name_;
  std::string host_;
  int port_ = kDefaultPort;
  std::string emailAddress_;
  std::string ftpAddress_;
  int kind_ = kUnknown;
  std::string userText_;
  std::string keyText_;
  int userNumber_ = 0;
  std::string secondLogonText_;
  int keyLength_ = 0;
  std::string logonCode_;
  std::string tcpIpText_;
  int tcpIpNumber_ = 0;
  std::array<std::string, 4> emailTexts_;
  std::array<std::string, 4> dialInTexts_;
  std::string localFolder_;
};
