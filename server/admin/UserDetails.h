#pragma once
// The account details the administrator edits, as texts the way the user
// administration shows them: name, password, connection type and the fields of
// each connection type's group. Applying them to an account copies only these, so
// the logon code, key and lock-out state an account gained meanwhile survive.
#include <string>

#include "server/store/UserAccount.h"

struct UserDetails {
  std::string name;
  std::string password;
  int connectionType = UserAccount::kUnknown;
  std::string ipAddress;
  std::string portText;
  std::string emailAddress;
  std::string emailServer;     // e-mail field 2
  std::string emailAccount;    // e-mail field 3
  std::string emailPassword;   // e-mail field 4
  std::string dialBackNumber;
  std::string dialInAccount;   // dial-in field 2
  std::string dialInPassword;  // dial-in field 3

  // Every field from the account; the port as decimal text.
  static UserDetails FromAccount(const UserAccount& account);

  // Copies name, password and connection type, then the fields of that type's
  // group (TCP/IP: address and port; e-mail: its four fields; RAS and dial-in:
  // the three dial-in fields). False, with the account untouched, when the name
  // is unsafe as a folder name or the port is not empty or decimal 0-65535.
  bool ApplyTo(UserAccount& account) const;

  // Whether the details are complete enough to be saved: name and password given,
  // and TCP/IP; or e-mail with its four fields; or dial-in or FTP with the three
  // dial-in fields.
  bool IsComplete() const;

  // What keeps the details from being saved, as "Field: rule" for the first field
  // that is missing or breaks its rule; empty when they can be saved.
  std::string Refusal() const;

  // The port of a text that is empty (0) or decimal digits of 0-65535 after
  // trimming; false for anything else.
  static bool ParsePort(const std::string& text, int& port);
};
