// Finishing at start-up the operations that a crash cut short.
#include <set>
#include <string>
#include <vector>

#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFolders.h"
#include "server/store/RecordChange.h"
#include "server/store/StoreChange.h"

std::string CWexmoorDoc::JournalFolder() const { return LibraryFilePath(kJournalFolderName); }

void CWexmoorDoc::RecoverJournal() {
  // A record copied with its library names the files where the library was: they
  // are finished in the copy, never in the original.
  std::set<std::string> oldRoots;
  {
    ProjectArray recorded;
    std::string fault;
    if (ServerProject::ReadInventoryFile(LibraryFilePath(kInventoryFileName), recorded, fault)) {
      for (int i = 0; i < recorded.GetSize(); ++i) oldRoots.insert(CopiedFromRoot(*recorded.GetAt(i)));
    }
    oldRoots.erase("");
    for (int i = 0; i < recorded.GetSize(); ++i) delete recorded.GetAt(i);
  }
  const std::string root = GetRootPath();
  const auto place = [&oldRoots, &root](const std::string& path) {
    for (const std::string& oldRoot : oldRoots) {
      if (IsFolderOrBelow(path, oldRoot)) return RebasedFolder(path, oldRoot, root);
    }
    return path;
  };
  std::vector<std::string> problems;
  if (StoreChange::RecoverFolder(JournalFolder(), problems, place)) return;
  // A record left in place is tried again at the next start, and the sweep leaves
  // alone whatever it names until then.
  notes_.Add("Some interrupted changes of the library could not be finished:");
  for (const std::string& problem : problems) notes_.Add("  " + problem);
}

int CWexmoorDoc::StageStatistics(RecordChange& change, const std::string& path, const FileStatistics& statistics) {
  return change.WriteStatistics(path, statistics);
}

bool CWexmoorDoc::StageList(RecordChange& change, const ProjectFileList& list) { return change.WriteList(list); }
