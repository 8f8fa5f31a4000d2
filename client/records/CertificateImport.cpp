#include "client/records/CertificateImport.h"

#include "client/records/ClientAppState.h"
#include "client/records/FieldCursor.h"
#include "client/records/LibraryEntryFile.h"
#include "client/records/TextFileLines.h"
#include "common/CertificateFile.h"
#include "common/CertificatePin.h"
#include "common/StringHelpers.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"
#include "platform/Notifier.h"

namespace {

constexpr const char* kRejected = "The certificate is invalid or corrupt and has been rejected";
constexpr const char* kSaveFailed = "Failed to save the imported certificate to disk";

std::string WithText(const char* format, const std::string& text) {
  const std::string pattern(format);
  const std::size_t at = pattern.find("%s");
  return pattern.substr(0, at) + text + pattern.substr(at + 2);
}

// A file's content before an import rewrites it, so a failed import can put it back.
class FileSnapshot {
 public:
  explicit FileSnapshot(const std::string& path) : path_(path), existed_(ReadWholeFile(path, content_)) {}
  bool Restore() const {
    return existed_ ? platform::AtomicFile::Write(path_, content_) : platform::fs::DeleteFile(path_);
  }

 private:
  std::string path_;
  std::string content_;   // before existed_, which is read into it
  bool existed_;
};

}  // namespace

bool CertificateImport::ReadLibraryRecord(const std::string& text, LibraryRecord& library) {
  FieldCursor fields(text);
  fields.String(library.name).Int(library.keyLength).String(library.keyText);
  TrimString(library.name);
  TrimString(library.keyText);
  // The writer ends every record in a line feed: a text without one was cut short.
  return fields.Ok() && !fields.Rest().empty() && text.back() == '\n' &&
         LibraryConnection::IsValidKey(library.keyText, library.keyLength);
}

CertificateImport::Result CertificateImport::Import(const std::string& path) {
  if (records_.currentProfile < 0 || records_.currentProfile >= static_cast<int>(records_.profiles.size())) {
    return Result::NoCurrentUser;
  }
  std::string text;
  switch (CertificateFile::Read(path, text)) {
    case CertificateFile::ReadResult::Unreadable:
      platform::NotifyText(WithText("Certificate [%s] does not exist or is not accessible", path),
                           platform::NotifyIcon::Error);
      return Result::Unreadable;
    case CertificateFile::ReadResult::TooLarge:
      platform::NotifyText(kRejected, platform::NotifyIcon::Error);
      return Result::Rejected;
    case CertificateFile::ReadResult::Read:
      break;
  }
  LibraryRecord library;
  LibraryConnection connection;
  if (!ReadLibraryRecord(text, library) || !connection.ParseCertificate(text)) {
    platform::NotifyText(kRejected, platform::NotifyIcon::Error);
    return Result::Rejected;
  }
  if (const std::optional<CertificatePin> pin = CertificatePin::Find(text)) {
    library.tlsFingerprint = pin->fingerprint;
    library.tlsPort = pin->port;
  }
  return Store(library, connection);
}

CertificateImport::Result CertificateImport::Store(const LibraryRecord& library, LibraryConnection connection) {
  std::vector<LibraryEntry> entries = records_.entries;
  LibraryEntry* known = LibraryEntryFile::Find(entries, library.name);
  const bool otherKey =
      known != nullptr && (known->GetKeyText() != library.keyText || known->GetKeyLength() != library.keyLength);
  if (otherKey) {
    const platform::Notification question{
        WithText("A different library named %s is already known to this client.  Replace it?", library.name), "",
        platform::NotifyIcon::Question, platform::NotifyButtons::YesNo};
    if (platform::Notify(question) != platform::NotifyAnswer::Yes) return Result::Declined;
  }
  // A renamed library keeps its key: the entry of that key under another name is its former self.
  std::string formerName;
  if (known == nullptr) {
    if (const LibraryEntry* renamed = LibraryEntryFile::FindKey(entries, library.keyText, library.keyLength)) {
      formerName = renamed->GetName();
    }
  }
  LibraryEntry entry(library.name, library.keyText, library.keyLength);
  // A certificate without a pin makes the entry plain again: the server's administrator turned TLS off.
  entry.SetTlsPin(library.tlsFingerprint, library.tlsPort);
  if (known != nullptr) {
    *known = entry;
  } else {
    entries.push_back(entry);
  }

  const bool wasModified = ClientAppState::AreUsersModified();
  UserProfile profile = records_.profiles[static_cast<std::size_t>(records_.currentProfile)];
  // One connection per library and user: the same user's earlier certificate is replaced, another user's kept.
  LibraryConnection* existing = profile.FindConnection(connection.GetName(), connection.GetUserNumber());
  if (existing == nullptr && !formerName.empty()) {
    existing = profile.FindConnection(formerName, connection.GetUserNumber());
  }
  const Outcome outcome = existing == nullptr ? Outcome::Added
                          : otherKey          ? Outcome::ReplacedOtherLibrary
                          : formerName.empty() ? Outcome::Replaced
                                               : Outcome::ReplacedRenamed;
  if (existing != nullptr && !otherKey) {
    connection.SetLocalFolder(existing->GetLocalFolder());
  } else {
    const std::string base = EnsureTrailingBackslash(records_.workingFolder) + profile.GetLoginName() + "/" +
                             connection.GetUserText() + "/" + connection.GetName();
    connection.SetLocalFolder(otherKey || FolderInUse(profile, base) ? FreshFolder(base, profile) : base);
  }
  if (existing != nullptr) {
    *existing = connection;
    profile.MarkModified();
  } else {
    profile.AddConnection(connection);
  }
  if (!formerName.empty() && !NamedByAnyConnection(formerName, profile)) {
    std::erase_if(entries, [&formerName](const LibraryEntry& old) { return old.GetName() == formerName; });
  }

  if (!SaveBoth(entries, profile)) {
    if (!wasModified) ClientAppState::ClearUsersModified();
    platform::NotifyText(kSaveFailed, platform::NotifyIcon::Error);
    return Result::SaveFailed;
  }
  records_.entries = std::move(entries);
  records_.profiles[static_cast<std::size_t>(records_.currentProfile)] = profile;
  platform::NotifyText(ImportedText(outcome, connection, formerName));
  return Result::Imported;
}

std::string CertificateImport::ImportedText(Outcome outcome, const LibraryConnection& connection,
                                            const std::string& formerName) {
  std::string text = "Certificate imported for library \"" + connection.GetName() + "\"";
  if (outcome == Outcome::ReplacedRenamed) text += " (formerly \"" + formerName + "\")";
  text += ", user \"" + connection.GetUserText() + "\".\n";
  switch (outcome) {
    case Outcome::Added:
      return text + "It is a new entry in the list of libraries to open.";
    case Outcome::Replaced:
    case Outcome::ReplacedRenamed:
      return text + "It replaces this user's earlier certificate of the library; the local folder and its "
                    "mappings are kept.";
    case Outcome::ReplacedOtherLibrary:
      return text + "It replaces this user's certificate of the earlier library of that name; its documents go "
                    "to the new local folder " + connection.GetLocalFolder() + ".";
  }
  return text;
}

bool CertificateImport::NamedByAnyConnection(const std::string& name, const UserProfile& changed) const {
  for (std::size_t p = 0; p < records_.profiles.size(); ++p) {
    const UserProfile& profile =
        p == static_cast<std::size_t>(records_.currentProfile) ? changed : records_.profiles[p];
    for (int i = 0; i < profile.GetConnectionCount(); ++i) {
      if (profile.GetConnection(i)->GetName() == name) return true;
    }
  }
  return false;
}

bool CertificateImport::FolderInUse(const UserProfile& profile, const std::string& folder) {
  for (int i = 0; i < profile.GetConnectionCount(); ++i) {
    if (profile.GetConnection(i)->GetLocalFolder() == folder) return true;
  }
  return false;
}

bool CertificateImport::SaveBoth(const std::vector<LibraryEntry>& entries, const UserProfile& profile) {
  const FileSnapshot entriesBefore(records_.entriesPath);
  if (!LibraryEntryFile::Save(records_.entriesPath, entries)) return false;
  std::vector<UserProfile> profiles = records_.profiles;
  profiles[static_cast<std::size_t>(records_.currentProfile)] = profile;
  if (!records_.usersFile.Save(profiles)) {
    entriesBefore.Restore();
    return false;
  }
  return true;
}

std::string CertificateImport::FreshFolder(const std::string& base, const UserProfile& profile) const {
  for (int number = 2;; ++number) {
    const std::string candidate = base + std::to_string(number);
    if (!platform::fs::Exists(candidate) && !FolderInUse(profile, candidate)) return candidate;
  }
}
