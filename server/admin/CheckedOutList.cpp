#include "server/admin/CheckedOutList.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "server/admin/ProjectPlaces.h"
#include "server/store/CWexmoorDoc.h"

namespace {

// "YYYYMMDDHHMMSS" as "YYYY-MM-DD HH:MM:SS".
std::string Readable(const std::string& stamp) {
  if (stamp.size() != 14) return stamp;
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " + stamp.substr(8, 2) + ":" +
         stamp.substr(10, 2) + ":" + stamp.substr(12, 2);
}

}  // namespace

std::vector<CheckedOutDocument> ListCheckedOut(CWexmoorDoc& document) {
  // The server's own index names the few records to read, not the whole library.
  const auto held = document.CheckedOutDocuments();
  const std::vector<ProjectPlace> places = ListProjectPlaces(document);
  std::unordered_map<std::string, std::size_t> placeOfFolder;
  for (std::size_t i = 0; i < places.size(); ++i) placeOfFolder.emplace(places[i].folder, i);
  std::vector<std::pair<std::size_t, CheckedOutDocument>> rows;
  for (const auto& [path, statistics] : held) {
    const auto place = placeOfFolder.find(path.substr(0, path.rfind('/') + 1));
    if (place == placeOfFolder.end()) continue;   // no project lists that folder any more
    for (int v = 0; v < statistics->GetVersionCount(); ++v) {
      const FileEntry& version = statistics->GetVersion(v);
      if (version.GetCheckedOutTo().empty()) continue;
      rows.push_back({place->second,
                      {places[place->second].path, statistics->GetName(), version.GetCheckedOutTo(),
                       Readable(version.GetCheckedOutTime().Format())}});
      break;
    }
  }
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.document < b.second.document;
  });
  std::vector<CheckedOutDocument> listed;
  listed.reserve(rows.size());
  for (auto& row : rows) listed.push_back(std::move(row.second));
  return listed;
}
