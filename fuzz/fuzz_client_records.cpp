// The client's record files: profiles, library entries, the inventory, document
// list caches and folder rule sets. The first byte picks the kind, the rest is the
// file. What loads is saved elsewhere and loaded again: equal to what was loaded,
// and nothing but the saved file is left beside it.
#include <sstream>
#include <vector>

#include "client/library/ProjectDocumentList.h"
#include "client/library/ProjectInventory.h"
#include "client/records/ClientAppState.h"
#include "client/records/FolderRuleSet.h"
#include "client/records/LibraryEntryFile.h"
#include "client/records/UserProfileFile.h"
#include "fuzz/FuzzSupport.h"
#include "platform/fs.h"
#include "platform/ScratchFolder.h"

namespace {

// The file `name` in the folder "first" (the input) and its copy in "second".
struct Files {
  explicit Files(const std::string& name, const std::string& content)
      : first(folder / "first"), second(folder / "second"), input(first + "/" + name), copy(second + "/" + name) {
    FUZZ_CHECK(platform::fs::CreateFolder(first) && platform::fs::CreateFolder(second));
    folder.Put("first/" + name, content);
  }
  platform::ScratchFolder folder;
  const std::string first, second, input, copy;
};

bool Profiles(const Files& files) {
  std::vector<UserProfile> loaded;
  UserProfileFile reader(files.input);
  if (reader.Load(loaded) != UserProfileFile::LoadResult::Loaded || reader.IsDamaged()) return false;
  UserProfileFile writer(files.copy);
  FUZZ_CHECK(writer.Save(loaded));
  ClientAppState::ClearUsersModified();
  std::vector<UserProfile> again;
  FUZZ_CHECK(writer.Load(again) == UserProfileFile::LoadResult::Loaded && !writer.IsDamaged());
  FUZZ_CHECK(again == loaded);
  return true;
}

bool Entries(const Files& files) {
  std::vector<LibraryEntry> loaded;
  if (!LibraryEntryFile::Load(files.input, loaded)) return false;
  FUZZ_CHECK(LibraryEntryFile::Save(files.copy, loaded));
  std::vector<LibraryEntry> again;
  FUZZ_CHECK(LibraryEntryFile::Load(files.copy, again) && again == loaded);
  return true;
}

bool Inventory(const Files& files) {
  ProjectNode loaded;
  if (ProjectInventory(files.first).Load(loaded) != ProjectInventory::LoadResult::Loaded) return false;
  FUZZ_CHECK(ProjectInventory(files.second).Save(loaded));
  ProjectNode again;
  FUZZ_CHECK(ProjectInventory(files.second).Load(again) == ProjectInventory::LoadResult::Loaded);
  FUZZ_CHECK(again.Encode() == loaded.Encode());
  return true;
}

bool DocumentList(const Files& files) {
  ProjectDocumentList loaded;
  if (!loaded.ReadFile(files.input)) return false;
  FUZZ_CHECK(loaded.WriteFile(files.copy));
  ProjectDocumentList again;
  FUZZ_CHECK(again.ReadFile(files.copy) && again.Encode() == loaded.Encode());
  return true;
}

// Rule sets live inside profiles; both of their forms are checked in memory, and
// nothing is saved.
bool RuleSet(const Files& files) {
  const std::string text = platform::ScratchFolder::Read(files.input);
  FolderRuleSet fromText;
  fromText.FromRecordString(text);
  FolderRuleSet backFromText;
  FUZZ_CHECK(backFromText.FromRecordString(fromText.ToRecordString()).empty() && backFromText == fromText);

  std::istringstream in(text);
  FolderRuleSet loaded;
  if (!loaded.Read(in)) return false;
  std::ostringstream out;
  FUZZ_CHECK(loaded.Write(out));
  std::istringstream back(out.str());
  FolderRuleSet again;
  FUZZ_CHECK(again.Read(back) && again == loaded);
  return false;
}

struct Kind {
  const char* fileName;
  bool (*roundTrip)(const Files&);
};
constexpr Kind kKinds[] = {{UserProfileFile::kFileName, Profiles},
                           {LibraryEntryFile::kFileName, Entries},
                           {ProjectInventory::kFileName, Inventory},
                           {"CacheList.wxf", DocumentList},
                           {"RuleSet.wxf", RuleSet}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  fuzz::AnswerYesQuietly();
  const Kind& kind = kKinds[data[0] % std::size(kKinds)];
  const Files files(kind.fileName, fuzz::Text(data + 1, size - 1));
  const bool saved = kind.roundTrip(files);
  const std::set<std::string> expected = saved ? std::set<std::string>{kind.fileName} : std::set<std::string>{};
  FUZZ_CHECK(fuzz::Entries(files.second) == expected);
  return 0;
}
