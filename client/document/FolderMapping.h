#pragma once
// A tree of project entries gathered for a publication: each entry keeps its project
// name (the key among its siblings), a second name that nothing sets, a list of paths
// held as one ';'-separated text that never ends in ';', a local folder, and its
// children by value.
#include <string>
#include <vector>

class FolderMapping {
 public:
  FolderMapping() = default;

  // Empties the texts and removes the whole subtree.
  void Clear();

  void SetProjectName(const std::string& name) { projectName_ = name; }
  const std::string& GetProjectName() const { return projectName_; }
  const std::string& GetSecondName() const { return secondName_; }

  // Stores the list; one trailing ';' is dropped.
  void SetFolderList(const std::string& list);
  const std::string& GetFolderList() const { return folderList_; }
  // Appends the path behind a ';' (none on an empty list); a trailing ';' of the path
  // is dropped. False, list unchanged, when the path holds a ';' anywhere else: it
  // could not be read back as one path.
  bool AddFolder(const std::string& path);
  // 0 for an empty list, else the number of ';' plus one (empty pieces count).
  int GetFolderCount() const;
  // Piece i of the list cut at every ';'; empty when i is out of range.
  std::string GetFolder(int i) const;

  void SetLocalFolder(const std::string& folder) { localFolder_ = folder; }
  const std::string& GetLocalFolder() const { return localFolder_; }

  // Appends a copy.
  void AddChild(const FolderMapping& child) { children_.push_back(child); }
  // The i-th child for reading and changing in place; null when out of range.
  FolderMapping* GetChild(int i);
  const FolderMapping* GetChild(int i) const;
  int GetChildCount() const { return static_cast<int>(children_.size()); }
  // Index of the first child whose project name equals `name` exactly; -1 when none.
  int FindChild(const std::string& name) const;
  bool HasChild(const std::string& name) const { return FindChild(name) >= 0; }

 private:
  std::string projectName_;
  std::string secondName_;
  std::string folderList_;
  std::string localFolder_;
  std::vector<FolderMapping> children_;
};
