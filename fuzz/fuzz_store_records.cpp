// The store's record files: statistics, file lists, the inventory and the counter
// file. The first byte picks the kind, the rest is the file. What loads is saved
// and loaded again and must encode the same; saving leaves no temporary file.
#include <memory>

#include "fuzz/FuzzSupport.h"
#include "platform/ScratchFolder.h"
#include "server/store/FileStatistics.h"
#include "server/store/InternalNameCounter.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerProject.h"

namespace {

bool StatisticsRoundTrip(const std::string& path, const std::string& copy) {
  FileStatistics first;
  int lines = 0;
  std::string content;
  if (first.Load(path, lines) != 0 || first.Encode(content) != 0) return false;
  FUZZ_CHECK(first.Save(copy) == 0);
  FileStatistics second;
  std::string again;
  FUZZ_CHECK(second.Load(copy, lines) == 0 && second.Encode(again) == 0);
  FUZZ_CHECK(again == content);
  return true;
}

bool FileListRoundTrip(const std::string& path, const std::string& copy) {
  ProjectFileList first;
  std::string content;
  if (!first.Load(path) || !first.Encode(content)) return false;
  FUZZ_CHECK(first.Save(copy));
  ProjectFileList second;
  std::string again;
  FUZZ_CHECK(second.Load(copy) && second.Encode(again));
  FUZZ_CHECK(again == content);
  return true;
}

// Owns the projects an inventory read appends.
struct Inventory {
  PointerArray<ServerProject> projects;
  ~Inventory() {
    for (int i = 0; i < projects.GetSize(); ++i) delete projects.GetAt(i);
  }
};

bool InventoryRoundTrip(const std::string& path, const std::string& copy) {
  Inventory first;
  std::string fault;
  std::string content;
  if (!ServerProject::ReadInventoryFile(path, first.projects, fault)) return false;
  if (!ServerProject::EncodeInventory(first.projects, content)) return false;
  FUZZ_CHECK(ServerProject::WriteInventoryFile(copy, first.projects));
  Inventory second;
  std::string again;
  FUZZ_CHECK(ServerProject::ReadInventoryFile(copy, second.projects, fault));
  FUZZ_CHECK(ServerProject::EncodeInventory(second.projects, again));
  FUZZ_CHECK(again == content);
  return true;
}

bool CounterRoundTrip(const std::string& path, const std::string& copy) {
  InternalNameCounter first(path);
  if (!first.Load(false)) return false;
  FUZZ_CHECK(first.SaveAs(copy));
  InternalNameCounter second(copy);
  FUZZ_CHECK(second.Load(false));
  FUZZ_CHECK(second.GetHigh() == first.GetHigh() && second.GetLow() == first.GetLow());
  return true;
}

using RoundTrip = bool (*)(const std::string&, const std::string&);
constexpr RoundTrip kRoundTrips[] = {StatisticsRoundTrip, FileListRoundTrip, InventoryRoundTrip, CounterRoundTrip};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const platform::ScratchFolder folder;
  const std::string path = folder.Put("record.wxf", fuzz::Text(data + 1, size - 1));
  const RoundTrip roundTrip = kRoundTrips[data[0] % std::size(kRoundTrips)];
  const bool saved = roundTrip(path, folder / "copy.wxf");
  const std::set<std::string> left = fuzz::Entries(folder.Path());
  FUZZ_CHECK(left == (saved ? std::set<std::string>{"record.wxf", "copy.wxf"} : std::set<std::string>{"record.wxf"}));
  return 0;
}
