// Look-ups of the project tree that the tree requests make by internal name; each
// is answered under the tree latch, so no node pointer leaves the store.
#include <mutex>
#include <shared_mutex>
#include <string>

#include "server/store/CWexmoorDoc.h"

bool CWexmoorDoc::IsEditionProject(const std::string& internalName) {
  std::shared_lock<std::shared_mutex> latch(treeLatch_);
  const ServerProject* project = FindProjectByInternalName(internalName);
  return project != nullptr && project->HasEdition();
}
