// The server's users file, given as its plain text (the target scrambles it). A file
// that loads is saved into another root and loaded again: the same header values and
// the same account lines; a certificate issued for its first account saves the file
// as it then stands; nothing but the users file is left in that root.
#include "common/BuiltInKeys.h"
#include "common/Codec.h"
#include "fuzz/FuzzSupport.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/ServerSettings.h"

namespace {

std::string Accounts(const ServerSettings& settings) {
  std::string lines = settings.GetLibraryName() + "\n";
  for (int i = 0; i < settings.GetUserCount(); ++i) lines = settings.GetUser(i)->Save(lines);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::AnswerYesQuietly();
  const BuiltInKey key = CertificateBuiltInKey();   // the key the test server scrambles with
  Codec codec;
  codec.Add(static_cast<int>(key.size()), key.data(), 1);
  std::string scrambled = fuzz::Text(data, size);
  codec.Encode(0, static_cast<std::int64_t>(scrambled.size()), scrambled.data());

  const platform::ScratchFolder folder;
  const std::string first = folder / "first";
  const std::string second = folder / "second";
  FUZZ_CHECK(platform::fs::CreateFolder(first) && platform::fs::CreateFolder(second));
  folder.Put(std::string("first/") + ServerSettings::kUsersFileName, scrambled);

  ServerSettings loaded(key);
  if (!loaded.LoadUsers(first)) return 0;
  FUZZ_CHECK(loaded.SaveUsers(second));
  ServerSettings again(key);
  FUZZ_CHECK(again.LoadUsers(second));
  FUZZ_CHECK(Accounts(again) == Accounts(loaded));

  // A certificate for the first account: its new code and key are what the file holds.
  again.SetRootPath(second);
  std::string certificate;
  if (again.BuildCertificateText(0, certificate)) {
    ServerSettings reloaded(key);
    FUZZ_CHECK(reloaded.LoadUsers(second));
    FUZZ_CHECK(Accounts(reloaded) == Accounts(again));
  }
  FUZZ_CHECK(fuzz::Entries(second) == std::set<std::string>{ServerSettings::kUsersFileName});
  return 0;
}
