// Certificates and their import. The input is a certificate's plain text: written as
// a certificate file it reads back the same (up to a zero byte). Imported into a
// client with one profile, the entries and users files on disk then hold exactly what
// the import left in memory, and an import that fails leaves both files as they were.
#include <vector>

#include "client/records/CertificateImport.h"
#include "client/records/ClientAppState.h"
#include "client/records/LibraryEntryFile.h"
#include "common/CertificateFile.h"
#include "fuzz/FuzzSupport.h"
#include "platform/ScratchFolder.h"

namespace {

struct Client {
  Client() {
    UserProfile profile;
    profile.SetLoginName("login");
    profiles.push_back(profile);
    FUZZ_CHECK(LibraryEntryFile::Save(entriesPath, entries));
    FUZZ_CHECK(usersFile.Save(profiles));
  }
  bool FilesHoldMemory() {
    std::vector<LibraryEntry> storedEntries;
    std::vector<UserProfile> storedProfiles;
    UserProfileFile reader(usersFile.GetPath());
    return LibraryEntryFile::Load(entriesPath, storedEntries) && storedEntries == entries &&
           reader.Load(storedProfiles) == UserProfileFile::LoadResult::Loaded && storedProfiles == profiles;
  }

  platform::ScratchFolder folder;
  const std::string entriesPath = folder / LibraryEntryFile::kFileName;
  std::vector<LibraryEntry> entries;
  std::vector<UserProfile> profiles;
  UserProfileFile usersFile{folder / UserProfileFile::kFileName};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::Text(data, size);
  Client client;
  const std::string path = client.folder / "user.wxc";
  if (!CertificateFile::Write(path, text)) return 0;
  std::string read;
  FUZZ_CHECK(CertificateFile::Read(path, read) == CertificateFile::ReadResult::Read);
  FUZZ_CHECK(read == text.substr(0, text.find('\0')));

  fuzz::AnswerYesQuietly();
  const std::string entriesBefore = platform::ScratchFolder::Read(client.entriesPath);
  const std::string usersBefore = platform::ScratchFolder::Read(client.usersFile.GetPath());
  CertificateImport import({client.entries, client.entriesPath, client.profiles, 0, client.usersFile,
                            client.folder.Path()});
  const CertificateImport::Result result = import.Import(path);
  ClientAppState::ClearUsersModified();
  if (result == CertificateImport::Result::Imported) {
    FUZZ_CHECK(client.FilesHoldMemory());
  } else {
    FUZZ_CHECK(platform::ScratchFolder::Read(client.entriesPath) == entriesBefore);
    FUZZ_CHECK(platform::ScratchFolder::Read(client.usersFile.GetPath()) == usersBefore);
  }
  return 0;
}
