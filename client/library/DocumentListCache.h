#pragma once
// The last ten project document lists a library used, each with the time it was last
// used, and the one the document list view shows. A list comes from its slot when held,
// else from the project's cache file in the library folder; a project without a cache
// file is asked of the server. Cache files: <library folder>/<cache file name> for the
// document list, the same followed by "WithVersions" for the version list.
#include <array>
#include <functional>
#include <string>

#include "client/library/ProjectDocumentList.h"
#include "client/library/ProjectNode.h"
#include "client/library/ProjectTree.h"
#include "common/DateTime.h"

class DocumentListCache {
 public:
  static constexpr int kSlotCount = 10;

  // Sends the requests for a project's document list and then its version list.
  using RequestLists = std::function<void(const std::string& projectIndexName)>;

  explicit DocumentListCache(RequestLists requestLists);

  // The document-list cache file of `cacheFileName` in `libraryFolder`, a '/' between
  // them unless the folder is empty or ends in one. Empty when the name is not one safe
  // file name (empty, ".", "..", or holding '/'): such a project counts as unknown.
  static std::string ListFilePath(const std::string& libraryFolder, const std::string& cacheFileName);
  // The same path followed by "WithVersions"; empty as above.
  static std::string VersionsFilePath(const std::string& libraryFolder, const std::string& cacheFileName);

  // Makes the node's list current. The root ("Root" or an empty index name): true,
  // nothing changes. A held list: current, last use now, true. Else the node's cache
  // file name is computed and its file read into a slot (the first free one, else the
  // one unused for the most whole minutes, the first on a tie, else slot 0), which
  // becomes current: true. No readable file: both lists are requested, false. A cache
  // file name that is not safe: false, nothing read or requested.
  bool LoadProjectDocuments(ProjectNode& node, const std::string& libraryFolder);

  // Copies the list of the project `indexName` into `list` without changing the slots
  // or the current list and without asking the server: from its slot when held, else
  // from its cache file (the project found in `tree`). False for the root; false with
  // `list` cleared when the project is unknown or has no readable cache file.
  bool GetProjectDocumentList(const std::string& indexName, ProjectTree& tree, const std::string& libraryFolder,
                              ProjectDocumentList& list) const;

  // Replaces the first held list of the same project index name with `list` and marks it
  // used now; false when no slot holds that project.
  bool RefreshSlot(const ProjectDocumentList& list);

  // The list the document list view shows; null until one is made current.
  const ProjectDocumentList* GetCurrentList() const;

 private:
  // The slot holding the project, or -1.
  int FindSlot(const std::string& indexName) const;
  int ChooseSlot(const DateTime& now) const;

  RequestLists requestLists_;
  std::array<ProjectDocumentList, kSlotCount> slots_;
  std::array<DateTime, kSlotCount> lastUse_;
  int current_ = -1;
};
