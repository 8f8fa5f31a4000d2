#include <shared_mutex>
#include <string>
#include <vector>

#include "common/StringHelpers.h"
#include "platform/Clock.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/StoreSweep.h"
#include "server/store/StoreSweepBound.h"

namespace {

// At most this many paths are named in one console line; the rest are counted.
constexpr std::size_t kNamedPaths = 20;

void AppendProjects(const CWexmoorDoc& document, const ServerProject& project,
                    std::vector<StoreSweep::Project>& projects) {
  projects.push_back({project.GetInternalName(), document.DiskFolder(project.GetFolderPath())});
  for (int i = 0; i < project.GetSubProjectCount(); ++i) {
    AppendProjects(document, *project.GetSubProjects().GetAt(i), projects);
  }
}

std::string Quoted(const std::vector<std::string>& paths) {
  std::string text;
  for (std::size_t i = 0; i < paths.size() && i < kNamedPaths; ++i) text += (i == 0 ? "\"" : ", \"") + paths[i] + "\"";
  if (paths.size() > kNamedPaths) text += " and " + std::to_string(paths.size() - kNamedPaths) + " more";
  return text;
}

// The sentences of the console line about the sweep and the bound of its folders.
void DescribeSweep(const StoreSweep::Result& result, const std::string& deletedFolder,
                   std::vector<std::string>& sentences) {
  if (result.moved > 0) {
    sentences.push_back("Moved " + std::to_string(result.moved) +
                        " leftover file(s) or folder(s) of the library into \"" + result.folder + "\".");
  }
  if (result.failed > 0) {
    sentences.push_back(std::to_string(result.failed) +
                        " leftover file(s) or folder(s) of the library could not be moved into \"" + deletedFolder +
                        "\".");
  }
  if (!result.kept.empty()) {
    sentences.push_back("Left in place " + std::to_string(result.kept.size()) +
                        " file(s) or folder(s) holding project data that no project of the library owns: " +
                        Quoted(result.kept) + ".");
  }
}

void DescribeBound(const StoreSweepBound::Result& result, std::vector<std::string>& sentences) {
  if (!result.removed.empty()) {
    sentences.push_back("Removed " + std::to_string(result.removed.size()) + " older leftover folder(s) (" +
                        std::to_string(result.removedBytes) + " bytes) to keep the newest " +
                        std::to_string(StoreSweepBound::kMaxFolders) + " within " +
                        std::to_string(StoreSweepBound::kMaxBytes >> 20) + " MiB: " + Quoted(result.removed) + ".");
  }
  if (!result.failed.empty()) {
    sentences.push_back("Could not remove the older leftover folder(s) " + Quoted(result.failed) + ".");
  }
}

}  // namespace

void CWexmoorDoc::SweepLeftovers() {
  std::vector<StoreSweep::Project> projects;
  {
    std::shared_lock<std::shared_mutex> latch(treeLatch_);
    for (int i = 0; i < projects_.GetSize(); ++i) AppendProjects(*this, *projects_.GetAt(i), projects);
  }
  std::vector<std::string> sentences;
  DescribeSweep(StoreSweep(GetRootPath(), projects).Run(platform::Now()),
                EnsureTrailingBackslash(GetRootPath()) + kDeletedProjectsFolder, sentences);
  DescribeBound(StoreSweepBound(GetRootPath()).Run(), sentences);
  if (sentences.empty()) return;
  std::string text = sentences.front();
  for (std::size_t i = 1; i < sentences.size(); ++i) text += " " + sentences[i];
  notes_.Add(text);
}
