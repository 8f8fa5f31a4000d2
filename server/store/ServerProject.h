#pragma once
// One node of the library's project tree: a project, a sub-project, an edition
// ("<E> " name, edition record filled) or a supplement ("<S> ", supplement record
// filled). A node owns its sub-projects. The inventory "WexmoorInventory.wxf"
// holds the top-level blocks one after another, each line ending in LF:
//   Start Project / name / folder path / internal name / 1|0 original /
//   1|0 within edition / 1|0 within supplement /
//   [Start Sub Projects / child blocks... / End Sub Projects] /
//   Start Edition / 1030 record line / End Edition /
//   Start Supplement / 1020 record line / End Supplement / End Project
// Markers are recognised in any letter case; blank and "!" lines are skipped.
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "common/EditionRecord.h"
#include "common/PointerArray.h"
#include "common/SupplementRecord.h"

class ServerProject {
 public:
  static constexpr int kOk = 0;
  static constexpr int kEmptyName = 10000;
  static constexpr int kEmptyFolderPath = 10001;
  static constexpr int kEmptyInternalName = 10002;
  static constexpr int kWriteFailed = 10003;
  static constexpr int kReadFailed = 10004;      // also the normal end of the file
  static constexpr int kMissingStart = 10005;
  static constexpr int kMissingEnd = 10006;
  static constexpr int kTooDeep = 10050;  // a block nested deeper than kMaxTreeDepth

  static constexpr const char* kInventoryFileName = "WexmoorInventory.wxf";
  // Levels of the deepest tree written or read (a top-level project is level 1);
  // bounds the recursion of both.
  static constexpr int kMaxTreeDepth = 256;

  ServerProject() = default;
  ServerProject(const ServerProject& other);
  // Clears this node, then copies the other's values and a deep copy of its subtree.
  ServerProject& operator=(const ServerProject& other);
  ~ServerProject();

  // Empties the strings and records, clears the flags and deletes every sub-project.
  void Clear();

  // Setters store the value trimmed of surrounding white space.
  std::string GetName() const { return name_; }
  void SetName(const std::string& name);
  std::string GetFolderPath() const { return folderPath_; }
  void SetFolderPath(const std::string& folderPath);
  std::string GetInternalName() const { return internalName_; }
  void SetInternalName(const std::string& internalName);

  // Appends a copy of `node`; 10000, 10001 or 10002 (nothing added) when its name,
  // folder path or internal name is empty. The second form reports the new child's
  // index, or -1 when refused.
  int AddSubProject(const ServerProject& node);
  int AddSubProject(const ServerProject& node, int& index);

  int GetSubProjectCount() const { return subProjects_.GetSize(); }
  bool HasSubProjects() const { return subProjects_.GetSize() > 0; }
  PointerArray<ServerProject>& GetSubProjects() { return subProjects_; }
  const PointerArray<ServerProject>& GetSubProjects() const { return subProjects_; }
  // The child at `index`; the node itself for an index outside the children.
  ServerProject* GetSubProject(int index);

  EditionRecord& GetEdition() { return edition_; }
  const EditionRecord& GetEdition() const { return edition_; }
  SupplementRecord& GetSupplement() { return supplement_; }
  const SupplementRecord& GetSupplement() const { return supplement_; }
  // The node is an edition / a supplement: its record has an internal name.
  bool HasEdition() const { return !edition_.GetInternalName().empty(); }
  bool HasSupplement() const { return !supplement_.GetInternalName().empty(); }

  bool IsOriginalProject() const { return originalProject_; }
  void SetOriginalProject(bool value) { originalProject_ = value; }
  bool IsWithinEdition() const { return withinEdition_; }
  void SetWithinEdition(bool value) { withinEdition_ = value; }
  bool IsWithinSupplement() const { return withinSupplement_; }
  void SetWithinSupplement(bool value) { withinSupplement_ = value; }

  // Writes this node's block. 10003, with nothing written, when the stream fails, the
  // subtree is deeper than kMaxTreeDepth, or a line would not read back: a name, path
  // or record field other than the comments holds a line break, or a line is longer
  // than the reader takes. Comment line breaks are written as field line breaks.
  int Write(std::ostream& out) const;
  // Clears the node and reads one block; `readAhead` is its first line when not
  // empty. 0, or the first failure: 10004 (line unreadable / end of stream), 10005
  // (no "Start Project"), 10006 (no "End Project"), 10050 (deeper than kMaxTreeDepth).
  int Read(std::istream& in, const std::string& readAhead);
  // The next line that is a marker (returned in its canonical spelling) or a value
  // (returned trimmed, case kept); blank and "!" lines are skipped. `status` is 0,
  // or 10004 with an empty result when no line can be read.
  static std::string ReadLine(std::istream& in, int& status);

  // `text` followed by the subtree in reply form: per node a line of name, internal
  // name, child count and the three flags, the edition line and the supplement
  // line, then the children in order.
  std::string Encode(std::string text) const { return Encode(std::move(text), nullptr); }
  // The same with only the sub-projects `shown` accepts (and their own shown ones);
  // a null `shown` takes every one.
  std::string Encode(std::string text, const std::function<bool(const ServerProject&)>& shown) const;

  // Replaces the inventory file at `path` atomically with the blocks of `projects`;
  // false when a block cannot be written or the file cannot be replaced.
  static bool WriteInventoryFile(const std::string& path, const PointerArray<ServerProject>& projects);
  // The inventory file's content for `projects`; false when a block cannot be written.
  static bool EncodeInventory(const PointerArray<ServerProject>& projects, std::string& content);
  // Appends to `projects` (which then own them) every block of the inventory file,
  // creating an empty file when none exists. False, with nothing appended and no file
  // written, when the file cannot be read whole; `fault` then says what is wrong.
  static bool ReadInventoryFile(const std::string& path, PointerArray<ServerProject>& projects, std::string& fault);

 private:
  void CopyFrom(const ServerProject& other);
  void DeleteSubProjects();
  // Write and Read of a node at `level` of the tree.
  int WriteBlock(std::ostream& out, int level) const;
  int ReadBlock(std::istream& in, const std::string& readAhead, int level);

  std::string name_;
  std::string folderPath_;
  std::string internalName_;
  PointerArray<ServerProject> subProjects_;
  EditionRecord edition_;
  SupplementRecord supplement_;
  bool originalProject_ = false;
  bool withinEdition_ = false;
  bool withinSupplement_ = false;
};
