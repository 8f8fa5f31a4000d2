#include <shared_mutex>
#include <string>
#include <vector>

#include "common/StringHelpers.h"
#include "platform/Clock.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreSweep.h"

namespace {

void AppendProjects(const ServerProject& project, std::vector<StoreSweep::Project>& projects) {
  projects.push_back({project.GetInternalName(), project.GetFolderPath()});
  for (int i = 0; i < project.GetSubProjectCount(); ++i) AppendProjects(*project.GetSubProjects().GetAt(i), projects);
}

}  // namespace

void CWexmoorDoc::SweepLeftovers() {
  std::vector<StoreSweep::Project> projects;
  {
    std::shared_lock<std::shared_mutex> latch(treeLatch_);
    for (int i = 0; i < projects_.GetSize(); ++i) AppendProjects(*projects_.GetAt(i), projects);
  }
  const StoreSweep::Result result = StoreSweep(GetRootPath(), projects).Run(platform::Now());
  std::string text;
  if (result.moved > 0) {
    text = "Moved " + std::to_string(result.moved) + " leftover file(s) or folder(s) of the library into \"" +
           result.folder + "\".";
  }
  if (result.failed > 0) {
    text += (text.empty() ? "" : " ") + std::to_string(result.failed) +
            " leftover file(s) or folder(s) of the library could not be moved into \"" +
            EnsureTrailingBackslash(GetRootPath()) + kDeletedProjectsFolder + "\".";
  }
  if (!text.empty()) notes_.Add(text);
}
