#include "server/store/CWexmoorDoc.h"

bool CWexmoorDoc::CopyProjectListing(const std::string& internalName, ProjectListing& listing) {
  ProjectSnapshot snapshot;
  if (!SnapshotProject(internalName, snapshot)) return false;
  listing = ProjectListing{snapshot.name, snapshot.internalName, snapshot.folder};
  return true;
}
