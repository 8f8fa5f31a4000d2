#pragma once
// A library's project tree with its two look-up maps: projects by index name (rebuilt
// after every load and tree reply) and by the tree-view item that shows them (filled as
// the tree view inserts items). Also the taking in of a tree sent by the server: the
// first tree of a library, or a fresh tree merged over the stored one so that every
// project keeps its local folder and cache file by index name.
#include <string>
#include <unordered_map>
#include <vector>

#include "client/library/ProjectInventory.h"
#include "client/library/ProjectNode.h"

class ProjectTree {
 public:
  ProjectNode& GetRoot() { return root_; }
  const ProjectNode& GetRoot() const { return root_; }

  // Clears the root, empties both maps, loads the inventory into the root and indexes it.
  ProjectInventory::LoadResult Load(ProjectInventory& inventory);

  // Takes in the server layout of the whole tree (reply body). The first tree (root
  // without a name) keeps the root's local folder and derives its projects' folders
  // from it; otherwise every project found by index name in the stored tree keeps its
  // stored folder, cache file name and client bytes, and the others derive their folder
  // from their parent. Then the root's refresh-needed byte is cleared, the project map
  // rebuilt and the tree-item map emptied. False, tree unchanged, for a body that does
  // not hold a whole tree.
  bool ApplyServerTree(const std::string& body);

  // Empties the project map and enters the whole tree.
  void IndexProjects();
  // Enters `node` and all its descendants; a later node with the same index name
  // replaces an earlier one.
  void IndexProjects(ProjectNode& node);

  // Empty or "Root" gives the root; otherwise the project with that index name, or null.
  ProjectNode* FindProjectByPath(const std::string& indexName);

  // Gives the node its tree item and enters it into the tree-item map.
  void SetTreeItem(ProjectNode& node, TreeItem item);
  // Empties the tree-item map and clears every node's tree item.
  void ClearTreeItems();
  ProjectNode* FindProjectByTreeItem(TreeItem item);

  // Folders are compared exactly (case-sensitive) after one trailing '/' is dropped from
  // each; an unmapped project matches no folder. Nodes are visited root first, each
  // before its children, children in order.
  ProjectNode* FindProjectByLocalFolder(const std::string& folder);
  // Appends the index names of all projects mapped to the folder, in visiting order.
  void FindProjectsMappedToFolder(const std::string& folder, std::vector<std::string>& indexNames);

  // The index name of the parent of the first project below `start` (visiting order)
  // whose index name is `indexName`; empty when there is none.
  static std::string GetParentIndexName(const ProjectNode& start, const std::string& indexName);

  // The names of the projects from below the root down to the project of
  // `indexName`, as the tree shows them; empty for the root or an unknown project.
  std::vector<std::string> GetShownPath(const std::string& indexName);

 private:
  // Gives each node of `fresh` the local state of the stored project of its index name.
  void CarryOverLocalState(ProjectNode& fresh) const;
  // Visits the tree in order until `visit` returns false.
  template <typename Visit>
  void VisitProjects(Visit visit);

  ProjectNode root_;
  std::unordered_map<std::string, ProjectNode*> projects_;
  std::unordered_map<TreeItem, ProjectNode*> treeItems_;
};
