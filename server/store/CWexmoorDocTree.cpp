// Look-ups of the project tree that the tree requests make by internal name; each
// is answered under the tree latch, so no node pointer leaves the store.
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "server/store/CWexmoorDoc.h"

bool CWexmoorDoc::IsEditionProject(const std::string& internalName) {
  std::shared_lock<std::shared_mutex> latch(treeLatch_);
  const ServerProject* project = FindProjectByInternalName(internalName);
  return project != nullptr && project->HasEdition();
}

namespace {

// True when `internalName` is `project` or below it, with the nodes from it up to `project` appended.
bool FindChain(const ServerProject& project, const std::string& internalName,
               std::vector<const ServerProject*>& chain) {
  bool found = project.GetInternalName() == internalName;
  for (int i = 0; !found && i < project.GetSubProjectCount(); ++i) {
    found = FindChain(*project.GetSubProjects().GetAt(i), internalName, chain);
  }
  if (found) chain.push_back(&project);
  return found;
}

}  // namespace

std::vector<std::string> CWexmoorDoc::ProjectChain(const std::string& internalName) {
  std::vector<std::string> names;
  std::shared_lock<std::shared_mutex> latch(treeLatch_);
  if (FindProjectByInternalName(internalName) == nullptr) return names;
  std::vector<const ServerProject*> chain;
  for (int i = 0; i < projects_.GetSize(); ++i) {
    if (FindChain(*projects_.GetAt(i), internalName, chain)) break;
  }
  for (const ServerProject* project : chain) names.push_back(project->GetInternalName());
  return names;
}

std::string CWexmoorDoc::ProjectPath(const std::string& internalName) {
  std::vector<const ServerProject*> chain;
  std::shared_lock<std::shared_mutex> latch(treeLatch_);
  for (int i = 0; i < projects_.GetSize(); ++i) {
    if (FindChain(*projects_.GetAt(i), internalName, chain)) break;
  }
  if (chain.empty()) return "";
  std::string path = settings_.GetLibraryName();
  for (auto project = chain.rbegin(); project != chain.rend(); ++project) path += "->" + (*project)->GetName();
  return path;
}
