#pragma once
// One project of a library's tree: display name, index name (the server's internal
// name, unique in the library), the local folder it is mapped to, two client bytes
// (new node, refresh needed), the document-list cache file name, an edition or a
// supplement record, three state flags of the server and the tree-view item showing it.
// A node owns its children (in the server's order); copies are deep.
//
// Stored layout (the inventory file), per node, depth first, each line ended by "\n":
//   "name","index name","local folder",new,refresh,child count,"cache file",f1,f2,f3
//   <edition line, type 1030>
//   <supplement line, type 1020>
//   <the children, each in this layout>
// Server layout (the tree replies): the same with a node line of
//   "name","index name",child count,f1,f2,f3
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/EditionRecord.h"
#include "common/QuotedLines.h"
#include "common/SupplementRecord.h"

// The handle of a tree-view item; 0 for none.
using TreeItem = std::uintptr_t;

class ProjectNode {
 public:
  // Deepest level a decoded tree may reach (the root is level 0).
  static constexpr int kMaxDepth = 1000;
  // The root's index name; an empty index name also stands for the root.
  static constexpr const char* kRootIndexName = "Root";
  static bool IsRootIndexName(const std::string& indexName) {
    return indexName.empty() || indexName == kRootIndexName;
  }

  ProjectNode();
  // Deep copies. The refresh-needed byte is not copied: every copied node holds 1.
  ProjectNode(const ProjectNode& other);
  ProjectNode& operator=(const ProjectNode& other);
  ~ProjectNode();

  // Empties the texts, records and children; new node and refresh needed := 1, state
  // flags := 0, tree item := 0.
  void Clear();
  // Tree item := 0 in this node and every descendant.
  void ClearTreeItems();

  const std::string& GetName() const { return name_; }
  const std::string& GetIndexName() const { return indexName_; }
  const std::string& GetLocalFolder() const { return localFolder_; }
  const std::string& GetCacheFilePath() const { return cacheFileName_; }
  // The cache file name followed by "WithVersions".
  std::string GetVersionsCacheFilePath() const;
  TreeItem GetTreeItem() const { return treeItem_; }
  const EditionRecord& GetEdition() const { return edition_; }
  const SupplementRecord& GetSupplement() const { return supplement_; }
  bool GetFlag1() const { return flag1_; }
  bool GetFlag2() const { return flag2_; }
  bool GetFlag3() const { return flag3_; }
  bool IsNewNode() const { return newNode_; }
  bool IsRefreshNeeded() const { return refreshNeeded_; }
  bool IsEdition() const { return !edition_.GetName().empty(); }
  // The project name this edition or supplement records, "Root" for the root's.
  std::string GetRecordedProjectName() const {
    const std::string name = IsEdition() ? edition_.GetProjectName() : supplement_.GetProjectName();
    return name.empty() ? kRootIndexName : name;
  }
  bool IsSupplement() const { return !supplement_.GetName().empty(); }

  void SetTreeItem(TreeItem item) { treeItem_ = item; }
  // Stores the name trimmed.
  void SetCacheFileName(const std::string& name);
  void SetNewNode(bool newNode) { newNode_ = newNode; }
  void SetRefreshNeeded(bool refreshNeeded) { refreshNeeded_ = refreshNeeded; }

  // Maps the node to `folder` (trimmed). With `recurse` every descendant gets the
  // folder ChildFolder derives from its parent's.
  void SetLocalFolder(const std::string& folder, bool recurse);
  // The folder a child of this node derives: this node's folder for an edition or a
  // supplement, else this folder, '/' and the child's trimmed name. Empty (unmapped)
  // when this node is unmapped or the child's name is unsafe as one folder level.
  std::string ChildFolder(const ProjectNode& child) const;

  // Cache file name := the index name with ':', '\', '/' and control characters
  // replaced by '.'; a result of dots only gets a leading '_'.
  void MakeCacheFileName();

  // Null when `index` is out of range.
  ProjectNode* GetChild(int index);
  const ProjectNode* GetChild(int index) const;
  int GetChildCount() const { return static_cast<int>(children_.size()); }
  // Appends a deep copy; returns it.
  ProjectNode* AddChild(const ProjectNode& child);

  // The stored layout of this node and its subtree.
  std::string Encode() const;
  // Clear, then read one node and its subtree in the stored / server layout from the
  // lines. False when the lines end before the tree does, an edition or supplement line
  // is of another record type, or the tree nests deeper than kMaxDepth: the node then
  // holds what was read up to that point. A negative child count reads as 0.
  bool DecodeLines(QuotedLines& lines);
  bool DecodeServerLines(QuotedLines& lines);
  // DecodeServerLines over the whole text.
  bool DecodeServer(const std::string& text);

 private:
  enum class Layout { Stored, Server };

  // Deletes whole subtrees without recursion, so a deep tree cannot exhaust the stack.
  static void DeleteSubtrees(std::vector<std::unique_ptr<ProjectNode>>& children);

  bool DecodeTree(QuotedLines& lines, Layout layout);
  // Reads this node's own line and returns its child count.
  std::int32_t ReadNodeLine(const std::string& line, Layout layout);
  // Reads the edition and the supplement line; false when one is missing or of
  // another record type.
  bool ReadRecordLines(QuotedLines& lines);
  // This node's own fields (no children), the refresh-needed byte left as it is.
  void CopyOwnFields(const ProjectNode& other);
  void EncodeOwnLines(std::string& out) const;

  std::string name_;
  std::string indexName_;
  std::string localFolder_;
  bool newNode_ = true;
  bool refreshNeeded_ = true;
  std::vector<std::unique_ptr<ProjectNode>> children_;
  std::string cacheFileName_;
  EditionRecord edition_;
  SupplementRecord supplement_;
  bool flag1_ = false;
  bool flag2_ = false;
  bool flag3_ = false;
  TreeItem treeItem_ = 0;
};
