#pragma once
// What the client remembers for one login: the imported library connections (at
// most one per library name and user number) and the current one, pane sizes for
// the maximised and the restored main window, the window state, folder rule sets, a
// backup root and the program that compares documents. Record in "BKUsers.wxf":
//   2,connection count,"login",12 pane sizes,window state,"backup root",
//   selected rule set,rule-set count[,"compare program"]\n
// (the compare program only when one is set; readers from before it pass over it)
// then, only with connections, the current connection's line and each
// connection's line, then each rule set's record.
#include <array>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "client/records/FolderRuleSet.h"
#include "client/records/LibraryConnection.h"

class UserProfile {
 public:
  // Layout numbers: the maximised one, the restored one, and the one of the main
  // window's present state (ClientAppState).
  static constexpr int kMaximisedLayout = 1;
  static constexpr int kRestoredLayout = 2;
  static constexpr int kCurrentLayout = 3;

  UserProfile();

  // Changes that the file must keep mark the users modified (ClientAppState).
  void MarkModified();

  const std::string& GetLoginName() const { return loginName_; }
  void SetLoginName(const std::string& name);   // marks modified

  // Pane getters: layout 1, 2, anything else the current one.
  int GetTreeViewWidth(int layout) const { return Pane(layout, kTreeWidth); }
  int GetTreeViewHeight(int layout) const { return Pane(layout, kTreeHeight); }
  int GetRowListWidth(int layout) const { return Pane(layout, kRowListWidth); }
  int GetRowListHeight(int layout) const { return Pane(layout, kRowListHeight); }
  int GetLocalFileListWidth(int layout) const { return Pane(layout, kLocalWidth); }
  int GetLocalFileListHeight(int layout) const { return Pane(layout, kLocalHeight); }
  // Pane setters: always the current layout; mark modified.
  void SetTreeWidth(int size) { SetPane(kTreeWidth, size); }
  void SetTreeHeight(int size) { SetPane(kTreeHeight, size); }
  void SetRowListWidth(int size) { SetPane(kRowListWidth, size); }
  void SetRowListHeight(int size) { SetPane(kRowListHeight, size); }
  void SetLocalFileListWidth(int size) { SetPane(kLocalWidth, size); }
  void SetLocalFileListHeight(int size) { SetPane(kLocalHeight, size); }
  // Six sizes in the order tree width, tree height, document-list width and
  // height, local-list width and height. Get: layouts 1-3; other numbers leave
  // the outputs untouched. Set: 1 maximised, 3 current, anything else restored;
  // marks modified.
  void GetPaneSizes(int& treeWidth, int& treeHeight, int& rowListWidth, int& rowListHeight, int& localWidth,
                    int& localHeight, int layout) const;
  void SetPaneSizes(int treeWidth, int treeHeight, int rowListWidth, int rowListHeight, int localWidth,
                    int localHeight, int layout);

  int GetWindowState() const { return windowState_; }
  void SetWindowState(int state);   // marks modified

  LibraryConnection* GetCurrentConnection() { return &currentConnection_; }
  const LibraryConnection* GetCurrentConnection() const { return &currentConnection_; }
  void SetCurrentConnection(const LibraryConnection& connection);   // marks modified

  int GetConnectionCount() const { return static_cast<int>(connections_.size()); }
  // Null outside 0 <= i < count.
  LibraryConnection* GetConnection(int i);
  const LibraryConnection* GetConnection(int i) const;
  // The connection of library `name` (exactly, case counts) and user `userNumber`, or null.
  LibraryConnection* FindConnection(const std::string& name, int userNumber);
  // Appends a copy unless one of the same name and user number is there (then
  // nothing changes); marks modified either way.
  void AddConnection(const LibraryConnection& connection);
  // Removes connection i; false, nothing changed, outside 0 <= i < count. Marks modified.
  bool RemoveConnection(int i);

  // Rule-set changes mark modified. Index of the appended copy.
  int AddFolderRuleSet(const FolderRuleSet& set);
  // Replaces set i with a copy of `set`; false, nothing changed, outside 0 <= i < count.
  bool SetFolderRuleSet(int i, const FolderRuleSet& set);
  // Null outside 0 <= i < count.
  const FolderRuleSet* GetFolderRuleSet(int i) const;
  int GetFolderRuleSetCount() const { return static_cast<int>(ruleSets_.size()); }
  void SetCurrentFolderRuleSet(int i);
  int GetCurrentFolderRuleSet() const { return selectedRuleSet_; }

  const std::string& GetBackupRoot() const { return backupRoot_; }
  void SetBackupRoot(const std::string& root);   // marks modified when it changes
  // The command the user chose for comparing documents that are not text; "" for none.
  const std::string& GetCompareProgram() const { return compareProgram_; }
  void SetCompareProgram(const std::string& program);   // marks modified when it changes

  // False only on a stream that has already failed (or fails while writing).
  bool Write(std::ostream& out) const;
  // Reads one profile record into this (newly constructed) profile, every stored
  // connection included (earlier builds could store two of one library and user). False at the
  // end of the stream, on an empty, cut-short or non-version-2 profile line, or
  // when a connection or rule set the counts ask for cannot be read; what was read
  // stays.
  bool Read(std::istream& in);

  bool operator==(const UserProfile&) const = default;

 private:
  enum PaneIndex { kTreeWidth, kTreeHeight, kRowListWidth, kRowListHeight, kLocalWidth, kLocalHeight };
  using Layout = std::array<std::int32_t, 6>;

  const Layout* LayoutFor(int layout) const;
  Layout& CurrentLayout();
  int Pane(int layout, PaneIndex pane) const;
  void SetPane(PaneIndex pane, int size);

  std::string loginName_;
  Layout maximised_;
  Layout restored_;
  std::int32_t windowState_ = 0;
  LibraryConnection currentConnection_;
  std::vector<LibraryConnection> connections_;
  std::vector<FolderRuleSet> ruleSets_;
  std::int32_t selectedRuleSet_ = -1;
  std::string backupRoot_;
  std::string compareProgram_;
};
