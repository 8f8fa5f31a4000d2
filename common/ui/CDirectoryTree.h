#pragma once
// A folder shown as a chain of path nodes, from its mount root down to the folder
// (each the only path node under the one before), with the folder's sub-folders
// as leaves under the last path node. Double-clicking a sub-folder descends into
// it, double-clicking a path node higher up climbs back to it. The tree keeps the
// folder it shows (current path) and that folder's mount root (current drive);
// the process's current folder is never touched.
#include <QList>
#include <QPixmap>
#include <QTreeWidget>
#include <string>

#include "common/ui/DriveSource.h"

class CDirectoryTree : public QTreeWidget {
  Q_OBJECT

 public:
  enum class NodeKind { PathNode, SubFolder };

  explicit CDirectoryTree(QWidget* parent = nullptr, DriveSource drives = DriveSource());

  // Shows `path` (a relative path lies under the working folder). An empty path
  // shows the current drive's root, or the working folder while no drive is set;
  // a path that is no folder shows the working folder. Returns false, with an
  // empty tree and a "GetLastError" message, when even that cannot be read.
  bool DisplayPath(const std::string& path);
  // Lists the sub-folders of `folder` under `parent` in name order and expands
  // `parent`. A folder that cannot be read gives a "DEBUG" message and no nodes.
  void AddSubFolders(const std::string& folder, QTreeWidgetItem* parent);
  // Makes the folder that `item` stands for the current path (the current drive
  // stays) and emits PathChanged.
  void SetPathFromItem(QTreeWidgetItem* item);
  // Acts on a double-click of `item`, by its kind: a sub-folder becomes the last
  // path node, a path node above the last becomes the last, the last path node
  // does nothing. A folder removed since it was listed gives a "DEBUG" message,
  // loses its sub-folder node and changes nothing else.
  void OnDblClick(QTreeWidgetItem* item);

  std::string GetCurrentPath() const { return currentPath_; }
  // The folder of the highlighted node (single click or arrow keys), or the
  // current path when nothing is highlighted.
  std::string GetHighlightedPath() const;
  std::string GetCurrentDrive() const { return currentDrive_; }
  void SetCurrentDrive(const std::string& drive) { currentDrive_ = drive; }

  // The pictures to pick from, and which of them each kind of node shows.
  void SetImageList(const QList<QPixmap>& images) { images_ = images; }
  void SetImageIndices(int subFolder, int subFolderSelected, int pathNode, int pathNodeSelected);

  static NodeKind KindOf(const QTreeWidgetItem* item);

 signals:
  // The current path changed through a double-click.
  void PathChanged();

 private:
  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const std::string& text, NodeKind kind);
  void SetKind(QTreeWidgetItem* item, NodeKind kind);
  QIcon IconFor(NodeKind kind) const;
  // The folder an item stands for: its ancestors' texts and its own, joined.
  static std::string FolderOf(const QTreeWidgetItem* item);
  static QTreeWidgetItem* NextPathNode(const QTreeWidgetItem* item);
  // False (with the "DEBUG" message) when `folder` can no longer be read.
  static bool StillReadable(const std::string& folder);

  DriveSource drives_;
  std::string currentPath_;
  std::string currentDrive_;
  QList<QPixmap> images_;
  int subFolderImage_ = 0;
  int subFolderSelectedImage_ = 1;
  int pathNodeImage_ = 2;
  int pathNodeSelectedImage_ = 3;
};
