#include "server/admin/ProjectPlaces.h"

#include <algorithm>
#include <shared_mutex>

#include "common/StringHelpers.h"
#include "server/store/CWexmoorDoc.h"

namespace {

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

}  // namespace

std::vector<ProjectPlace> ListProjectPlaces(CWexmoorDoc& document) {
  std::vector<ProjectPlace> places;
  const std::string library = document.GetSettings().GetLibraryName();
  std::shared_lock<std::shared_mutex> latch(document.GetProjectTreeLatch());
  const CWexmoorDoc::ProjectArray& projects = document.GetProjects();
  for (int i = 0; i < projects.GetSize(); ++i) Collect(document, *projects.GetAt(i), library, places);
  return places;
}

std::string FindProjectByPath(CWexmoorDoc& document, const std::string& path) {
  const std::vector<ProjectPlace> places = ListProjectPlaces(document);
  const auto found =
      std::find_if(places.begin(), places.end(), [&path](const ProjectPlace& place) { return place.path == path; });
  return found == places.end() ? "" : found->internalName;
}
