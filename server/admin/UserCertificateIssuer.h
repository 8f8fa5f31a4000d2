#pragma once
// Writes one user's connection certificate as a single step under the document's
// user-table section: the account gets a new logon code and key, the users file
// is saved with them and the certificate file is written. Afterwards either the
// file exists and the saved users file holds its code and key, or no new file
// exists and the account keeps its previous code and key. While the library serves
// TLS the certificate also pins the server's key (CertificatePin).
#include <string>

class CWexmoorDoc;

class UserCertificateIssuer {
 public:
  enum class Result {
    Written,
    UserAbsent,     // no account with that id: nothing changed
    UsersNotSaved,  // the users file could not be saved: nothing changed
    FileNotWritten, // the certificate file could not be written: code and key restored
    // As FileNotWritten, but the users file could not be saved with the restored
    // code and key (it still holds the new ones).
    FileNotWrittenUsersNotRestored,
  };

  explicit UserCertificateIssuer(CWexmoorDoc& document) : document_(document) {}

  // Issues the certificate of account `userId` into the file `path`; for the two
  // FileNotWritten results `reason` says why the file was not written.
  Result Issue(int userId, const std::string& path, std::string& reason);

  // What the administrator is told when the file at `path` was written, or was not
  // (for the system's `reason`).
  static std::string WrittenText(const std::string& path);
  static std::string NotWrittenText(const std::string& path, const std::string& reason);

 private:
  CWexmoorDoc& document_;
};
