#pragma once
// The documents of the library that are checked out now, with their holder and
// since when: the store's checked-out index names their records, which are read
// through its cache (so a running server's changes are seen as they are saved).
#include <string>
#include <vector>

class CWexmoorDoc;

struct CheckedOutDocument {
  std::string projectPath;   // "Library->Project->Sub", as the console shows projects
  std::string document;
  std::string holder;
  std::string since;         // "YYYY-MM-DD HH:MM:SS", local time
};

// Every checked-out document, project by project in the tree's order, by name within one.
std::vector<CheckedOutDocument> ListCheckedOut(CWexmoorDoc& document);
