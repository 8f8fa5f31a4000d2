#include "common/ui/CDirectoryTree.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "common/ui/FolderPaths.h"
#include "platform/Notifier.h"
#include "platform/Process.h"

namespace {

constexpr int kKindRole = Qt::UserRole;

void NotifyUnreadableFolder() {
  platform::Notify({"FindFirstFile() returned INVALID_HANDLE_VALUE", "DEBUG", platform::NotifyIcon::None,
                    platform::NotifyButtons::Ok});
}

// `path` made absolute and resolved like the folder a process would find itself
// in; empty (errno set) when it is no readable folder.
std::string ResolvedFolder(const std::string& path) {
  const std::string absolute = !path.empty() && path[0] == '/' ? path : JoinFolderPath(platform::WorkingFolder(), path);
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(absolute, error);
  if (error) {
    errno = error.value();
    return "";
  }
  if (!std::filesystem::is_directory(resolved, error)) {
    errno = ENOTDIR;
    return "";
  }
  return resolved.string();
}

}  // namespace

CDirectoryTree::CDirectoryTree(QWidget* parent, DriveSource drives) : QTreeWidget(parent), drives_(std::move(drives)) {
  setHeaderHidden(true);
  setColumnCount(1);
  setExpandsOnDoubleClick(false);
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { OnDblClick(item); });
}

void CDirectoryTree::SetImageIndices(int subFolder, int subFolderSelected, int pathNode, int pathNodeSelected) {
  subFolderImage_ = subFolder;
  subFolderSelectedImage_ = subFolderSelected;
  pathNodeImage_ = pathNode;
  pathNodeSelectedImage_ = pathNodeSelected;
}

QIcon CDirectoryTree::IconFor(NodeKind kind) const {
  const bool isPath = kind == NodeKind::PathNode;
  const int normal = isPath ? pathNodeImage_ : subFolderImage_;
  const int selected = isPath ? pathNodeSelectedImage_ : subFolderSelectedImage_;
  QIcon icon;
  if (normal >= 0 && normal < images_.size()) icon.addPixmap(images_[normal], QIcon::Normal);
  if (selected >= 0 && selected < images_.size()) icon.addPixmap(images_[selected], QIcon::Selected);
  return icon;
}

CDirectoryTree::NodeKind CDirectoryTree::KindOf(const QTreeWidgetItem* item) {
  return static_cast<NodeKind>(item->data(0, kKindRole).toInt());
}

void CDirectoryTree::SetKind(QTreeWidgetItem* item, NodeKind kind) {
  item->setData(0, kKindRole, static_cast<int>(kind));
  item->setIcon(0, IconFor(kind));
}

QTreeWidgetItem* CDirectoryTree::AddNode(QTreeWidgetItem* parent, const std::string& text, NodeKind kind) {
  auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  item->setText(0, QString::fromStdString(text));
  SetKind(item, kind);
  return item;
}

std::string CDirectoryTree::FolderOf(const QTreeWidgetItem* item) {
  std::string path = item->text(0).toStdString();
  for (const QTreeWidgetItem* above = item->parent(); above != nullptr; above = above->parent()) {
    path = JoinFolderPath(above->text(0).toStdString(), path);
  }
  return path;
}

QTreeWidgetItem* CDirectoryTree::NextPathNode(const QTreeWidgetItem* item) {
  for (int i = 0; i < item->childCount(); ++i) {
    if (KindOf(item->child(i)) == NodeKind::PathNode) return item->child(i);
  }
  return nullptr;
}

bool CDirectoryTree::StillReadable(const std::string& folder) {
  std::vector<platform::fs::FolderEntry> entries;
  if (platform::fs::ListFolder(folder, entries)) return true;
  NotifyUnreadableFolder();
  return false;
}

bool CDirectoryTree::DisplayPath(const std::string& path) {
  std::string folder = ResolvedFolder(path.empty() && !currentDrive_.empty() ? currentDrive_ : path);
  if (folder.empty()) folder = ResolvedFolder(platform::WorkingFolder());
  const int error = errno;
  clear();
  if (folder.empty()) {
    platform::Notify({std::strerror(error), "GetLastError", platform::NotifyIcon::Error, platform::NotifyButtons::Ok});
    return false;
  }
  currentPath_ = folder;
  currentDrive_ = drives_.RootOf(folder);

  QTreeWidgetItem* last = nullptr;
  for (const std::string& node : FolderChain(folder, currentDrive_)) {
    last = AddNode(last, node, NodeKind::PathNode);
    expandItem(last);
  }
  setCurrentItem(last);
  AddSubFolders(currentPath_, last);
  return true;
}

void CDirectoryTree::AddSubFolders(const std::string& folder, QTreeWidgetItem* parent) {
  if (folder.empty()) return;
  std::vector<platform::fs::FolderEntry> entries;
  if (!platform::fs::ListFolder(folder, entries)) {
    NotifyUnreadableFolder();
    return;
  }
  for (const platform::fs::FolderEntry& entry : entries) {
    if (entry.isFolder) AddNode(parent, entry.name, NodeKind::SubFolder);
  }
  expandItem(parent);
}

std::string CDirectoryTree::GetHighlightedPath() const {
  const QTreeWidgetItem* item = currentItem();
  return item != nullptr ? FolderOf(item) : currentPath_;
}

void CDirectoryTree::SetPathFromItem(QTreeWidgetItem* item) {
  currentPath_ = FolderOf(item);
  emit PathChanged();
}

void CDirectoryTree::OnDblClick(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  if (KindOf(item) == NodeKind::SubFolder) {
    QTreeWidgetItem* chainEnd = item->parent();
    if (!StillReadable(FolderOf(item))) {
      delete item;
      return;
    }
    SetKind(item, NodeKind::PathNode);
    for (int i = chainEnd->childCount() - 1; i >= 0; --i) {
      if (chainEnd->child(i) != item) delete chainEnd->takeChild(i);
    }
  } else {
    QTreeWidgetItem* below = NextPathNode(item);
    if (below == nullptr) return;  // already the last path node
    if (!StillReadable(FolderOf(item))) return;
    delete item->takeChild(item->indexOfChild(below));
  }
  setCurrentItem(item);
  SetPathFromItem(item);
  AddSubFolders(currentPath_, item);
}
