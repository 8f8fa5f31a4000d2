#include "server/admin/CheckedOutList.h"

#include "server/admin/ProjectPlaces.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreFilePaths.h"

namespace {

// "YYYYMMDDHHMMSS" as "YYYY-MM-DD HH:MM:SS".
std::string Readable(const std::string& stamp) {
  if (stamp.size() != 14) return stamp;
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " + stamp.substr(8, 2) + ":" +
         stamp.substr(10, 2) + ":" + stamp.substr(12, 2);
}

}  // namespace

std::vector<CheckedOutDocument> ListCheckedOut(CWexmoorDoc& document) {
  const std::vector<ProjectPlace> places = ListProjectPlaces(document);
  std::vector<CheckedOutDocument> rows;
  RecordCache& records = document.GetRecordCache();
  for (const ProjectPlace& place : places) {
    const RecordCache::ListRecord list = records.List(ProjectFileListPath(place.folder, place.internalName));
    StringList names;
    StringList files;
    list->GetKeys(names);
    list->GetValues(files);
    for (int i = 0; i < names.GetSize() && i < files.GetSize(); ++i) {
      const RecordCache::StatisticsRecord statistics = records.Statistics(StatisticsPath(place.folder, files.GetAt(i)));
      for (int v = 0; statistics && v < statistics->GetVersionCount(); ++v) {
        const FileEntry& version = statistics->GetVersion(v);
        if (version.GetCheckedOutTo().empty()) continue;
        rows.push_back({place.path, names.GetAt(i), version.GetCheckedOutTo(),
                        Readable(version.GetCheckedOutTime().Format())});
        break;
      }
    }
  }
  return rows;
}
