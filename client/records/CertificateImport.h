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

  // Reads, checks and stores the certificate at `path`. The library is known by
  // its name, or by its key under the name it had before a rename. The same
  // user's (same user number) earlier connection to it is replaced, keeping its
  // local folder; another user's stays and this one is added beside it. A known
  // library of the same name with another key is replaced only when the user
  // agrees, and the connection then gets a fresh local folder. The entry of a
  // former name goes once no connection names it.
  Result Import(const std::string& path);

 private:
  struct LibraryRecord {
    std::string name;
    std::string keyText;
    std::int32_t keyLength = 0;
    std::string tlsFingerprint;   // of the certificate's pin; empty without one
    int tlsPort = 0;
  };
  enum class Outcome { Added, Replaced, ReplacedRenamed, ReplacedOtherLibrary };

  static bool ReadLibraryRecord(const std::string& text, LibraryRecord& library);
  // The import's notice: library, user and what became of an earlier certificate.
  static std::string ImportedText(Outcome outcome, const LibraryConnection& connection,
                                  const std::string& formerName);
  // Whether a connection of any profile (the current one as `changed`) names library `name`.
  bool NamedByAnyConnection(const std::string& name, const UserProfile& changed) const;
  static bool FolderInUse(const UserProfile& profile, const std::string& folder);
  std::string FreshFolder(const std::string& base, const UserProfile& profile) const;
  Result Store(const LibraryRecord& library, LibraryConnection connection);
  // Writes both files; false, the entries file put back, when either fails.
  bool SaveBoth(const std::vector<LibraryEntry>& entries, const UserProfile& profile);

  Records records_;
};
