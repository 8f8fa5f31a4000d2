// Finishing at start-up the operations that a crash cut short.
#include <string>
#include <vector>

#include "server/store/CWexmoorDoc.h"
#include "server/store/RecordChange.h"
#include "server/store/StoreChange.h"

std::string CWexmoorDoc::JournalFolder() const { return LibraryFilePath(kJournalFolderName); }

void CWexmoorDoc::RecoverJournal() {
  std::vector<std::string> problems;
  if (StoreChange::RecoverFolder(JournalFolder(), problems)) return;
  // A record left in place is tried again at the next start, and the sweep leaves
  // alone whatever it names until then.
  notes_.Add("Some interrupted changes of the library could not be finished:");
  for (const std::string& problem : problems) notes_.Add("  " + problem);
}

int CWexmoorDoc::StageStatistics(RecordChange& change, const std::string& path, const FileStatistics& statistics) {
  return change.WriteStatistics(path, statistics);
}

bool CWexmoorDoc::StageList(RecordChange& change, const ProjectFileList& list) { return change.WriteList(list); }
