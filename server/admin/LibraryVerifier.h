#pragma once
// Checks a stopped library, or a backup of one, without serving it; it only reads
// the library's files: the inventory, every project's file list and every document's
// statistics parse; every version a document lists is there with its recorded
// size; the journal holds no unfinished change; the counter file's next name lies
// past every internal name in use; the groups file parses, each member is an
// account and each subtree a project. A backup never started still records its
// projects under the root it was copied from; they are looked for in the copy.
#include <set>
#include <string>
#include <utility>
#include <vector>

class CWexmoorDoc;
class ServerProject;

class LibraryVerifier {
 public:
  struct Report {
    int projects = 0;
    int documents = 0;
    int versions = 0;
    std::vector<std::string> problems;   // one line each, naming the file
  };

  // `document` has at least its root path read (OpenUsers); nothing of it changes.
  explicit LibraryVerifier(const CWexmoorDoc& document) : document_(document) {}

  Report Verify();

 private:
  // The newest internal name in use, as its counter pair; (0, 0) for none.
  using NamePair = std::pair<int, int>;

  void CheckJournal();
  // `oldRoot`: the root a backup's projects are recorded under; empty for none.
  void CheckProject(const ServerProject& project, const std::string& oldRoot);
  void CheckDocument(const std::string& folder, const std::string& name, const std::string& internalName);
  void CheckCounters();
  void CheckGroups();
  // The folder on disk of a recorded project folder, ending in the separator.
  std::string DiskFolder(const std::string& recorded, const std::string& oldRoot) const;
  // The root a top-level project was recorded under when that is not this
  // library's root (a backup); empty otherwise.
  std::string CopiedFromRoot(const ServerProject& topLevel) const;
  void NoteName(const std::string& internalName);
  void Problem(const std::string& line) { report_.problems.push_back(line); }

  const CWexmoorDoc& document_;
  Report report_;
  NamePair newestName_{0, 0};
  std::set<std::string> projectNames_;   // internal names of every project checked
};
