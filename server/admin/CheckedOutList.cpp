#include "server/admin/CheckedOutList.h"

#include <shared_mutex>

#include "common/StringHelpers.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreFilePaths.h"

namespace {

struct ProjectPlace {
  std::string path;
  std::string folder;   // on disk, ending in the separator
  std::string internalName;
};

// The node and its subtree, parents first; the caller holds the tree latch.
void Collect(CWexmoorDoc& document, const ServerProject& project, const std::string& parentPath,
             std::vector<ProjectPlace>& places) {
  const std::string path = parentPath + "->" + project.GetName();
  places.push_back({path, EnsureTrailingBackslash(document.DiskFolder(project.GetFolderPath())),
                    project.GetInternalName()});
  for (int i = 0; i < project.GetSubProjectCount(); ++i) {
    Collect(document, *project.GetSubProjects().GetAt(i), path, places);
  }
}

// "YYYYMMDDHHMMSS" as "YYYY-MM-DD HH:MM:SS".
std::string Readable(const std::string& stamp) {
  if (stamp.size() != 14) return stamp;
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " + stamp.substr(8, 2) + ":" +
         stamp.substr(10, 2) + ":" + stamp.substr(12, 2);
}

}  // namespace

std::vector<CheckedOutDocument> ListCheckedOut(CWexmoorDoc& document) {
  std::vector<ProjectPlace> places;
  {
    const std::string library = document.GetSettings().GetLibraryName();
    std::shared_lock<std::shared_mutex> latch(document.GetProjectTreeLatch());
    const CWexmoorDoc::ProjectArray& projects = document.GetProjects();
    for (int i = 0; i < projects.GetSize(); ++i) Collect(document, *projects.GetAt(i), library, places);
  }
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
