#pragma once
// Imports a certificate file (".wxc") into the client's records: the library's key
// becomes a LibraryEntry, the account a LibraryConnection of the current user,
// and both files are saved. Every outcome is shown through platform::Notify; on
// any failure the entries, the profiles and both files stay as they were.
#include <string>
#include <vector>

#include "client/records/LibraryEntry.h"
#include "client/records/UserProfile.h"
#include "client/records/UserProfileFile.h"

class CertificateImport {
 public:
  // The application's records that an import reads and changes.
  struct Records {
    std::vector<LibraryEntry>& entries;
    std::string entriesPath;   // "BKLibraryEntries.wxf"
    std::vector<UserProfile>& profiles;
    int currentProfile;        // index into profiles
    UserProfileFile& usersFile;
    std::string workingFolder;
  };

  enum class Result {
    Imported,
    Unreadable,     // the file does not exist or cannot be read
    Rejected,       // not a certificate this client can use
    Declined,       // the user kept the known library of the same name
    SaveFailed,     // a file could not be written
    NoCurrentUser,  // the current profile index is out of range; nothing shown
  };

  explicit CertificateImport(Records records) : records_(records) {}

  // Reads, checks and stores the certificate at `path`. A known library of the
  // same name and key is replaced, keeping the user's local folder; one of the
  // same name with another key is replaced only when the user agrees, and the
  // connection then gets a fresh local folder.
  Result Import(const std::string& path);

 private:
  struct LibraryRecord {
    std::string name;
    std::string keyText;
    std::int32_t keyLength = 0;
    std::string tlsFingerprint;   // of the certificate's pin; empty without one
    int tlsPort = 0;
  };
  static bool ReadLibraryRecord(const std::string& text, LibraryRecord& library);
  std::string FreshFolder(const std::string& base, const UserProfile& profile) const;
  Result Store(const LibraryRecord& library, LibraryConnection connection);
  // Writes both files; false, the entries file put back, when either fails.
  bool SaveBoth(const std::vector<LibraryEntry>& entries, const UserProfile& profile);

  Records records_;
};
