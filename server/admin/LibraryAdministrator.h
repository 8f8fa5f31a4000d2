#pragma once
// One administration command on an opened library, with the rules and texts of the
// windowed server's dialogs (the same code). "wexmoor admin" runs it on a library no
// server holds; a running server runs it on its live document for the command that
// came over its administration socket, so its windows and sessions see the change.
// Every change is saved before success is reported; a refused change says why on
// the error stream and changes nothing.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "server/admin/GroupAdministration.h"

class CWexmoorDoc;
class RunningServer;
class UserAccount;

// Asks for a password; none when there is no answer.
using PasswordSource = std::function<std::optional<std::string>()>;

class LibraryAdministrator {
 public:
  static constexpr int kDone = 0;
  static constexpr int kRefused = 1;
  static constexpr int kUsage = 64;
  // "status" when no server runs, as service monitors expect.
  static constexpr int kNotRunning = 3;

  // What a command needs from the shell before it can run anywhere.
  struct Needs {
    bool password = false;
    int pathArgument = -1;   // the argument that names a file or folder; -1: none
    bool library = false;    // reads the library's records, not only the users file
    int pathCount = 1;       // from pathArgument on, how many arguments name files
  };
  // False, with why, for an unknown command or the wrong number of arguments.
  static bool Check(const std::vector<std::string>& command, Needs& needs, std::string& error);

  // `server` is the server that holds the library and records each change; null for a stopped library.
  LibraryAdministrator(CWexmoorDoc& document, const RunningServer* server, const PasswordSource& password,
                       std::ostream& out, std::ostream& err)
      : document_(document), server_(server), password_(password), out_(out), err_(err) {}

  // Runs the command (its name, then its arguments): kDone, kRefused or kUsage.
  int Run(const std::vector<std::string>& command);

 private:
  struct Command;
  using Arguments = std::vector<std::string>;
  static const Command* Find(const std::string& name);

  int Users(const Arguments&);
  int AddUser(const Arguments& arguments);
  int SetPassword(const Arguments& arguments);
  int Unlock(const Arguments& arguments);
  int DeleteUser(const Arguments& arguments);
  int Certificate(const Arguments& arguments);
  int SetLibraryName(const Arguments& arguments);
  int SetPort(const Arguments& arguments);
  int SetAddress(const Arguments& arguments);
  int CheckedOut(const Arguments&);
  int Backup(const Arguments& arguments);
  int Release(const Arguments& arguments);
  int Show(const Arguments&);
  int Status(const Arguments&);
  int Verify(const Arguments&);
  int TlsInit(const Arguments& arguments);
  int TlsImport(const Arguments& arguments);
  int SetTls(const Arguments& arguments);
  int Groups(const Arguments&);
  int GroupAdd(const Arguments& arguments);
  int GroupDelete(const Arguments& arguments);
  int GroupSet(const Arguments& arguments);
  int Join(const Arguments& arguments);
  int Leave(const Arguments& arguments);
  int Rights(const Arguments& arguments);
  int SetDefaultGroup(const Arguments& arguments);
  // Says the outcome of a group change, as Done or Refuse.
  int Told(const GroupAdministration::Outcome& outcome);

  int Refuse(const std::string& reason);
  int NoSuchUser(const std::string& name) { return Refuse("No TCP/IP user is named " + name); }
  std::optional<UserAccount> FindByName(const std::string& name) const;
  int Change(const UserAccount& account, const std::string& done, const std::function<void(UserAccount&)>& change);
  // Issues the certificate into `file`; what the administrator is told about it in `told`.
  bool IssueCertificate(int id, const std::string& file, std::string& told);
  // Says `done` and records it on the running server's console.
  int Done(const std::string& done);
  int SetAddressAndPort(const std::string& address, const std::string& portText);

  CWexmoorDoc& document_;
  const RunningServer* server_;
  const PasswordSource& password_;
  std::ostream& out_;
  std::ostream& err_;
};
