#include "common/ui/CDirectoryTree.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "common/ui/FakeMounts.h"
#include "platform/Process.h"
#include "platform/ScratchFolder.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"

namespace {

namespace stdfs = std::filesystem;
using Texts = std::vector<std::string>;

// A fake mount holding docs/{a/{x,y},b}, empty/ and a plain file.
class DirectoryTreeTest : public ::testing::Test {
 protected:
  DirectoryTreeTest() : tree_(nullptr, MakeFakeDrives({{mount_.Path(), "/dev/fake1"}})) {
    for (const char* folder : {"docs/a/x", "docs/a/y", "docs/b", "empty"}) stdfs::create_directories(mount_ / folder);
    mount_.Put("docs/file.txt", "not a folder");
    tree_.resize(400, 600);
    tree_.show();
    startFolder_ = stdfs::current_path();
  }
  ~DirectoryTreeTest() override { EXPECT_EQ(stdfs::current_path(), startFolder_); }

  // Texts of the path nodes from the top down.
  Texts Chain() const {
    Texts chain;
    for (const QTreeWidgetItem* item = tree_.topLevelItem(0); item != nullptr;) {
      chain.push_back(item->text(0).toStdString());
      const QTreeWidgetItem* next = nullptr;
      for (int i = 0; i < item->childCount(); ++i) {
        if (CDirectoryTree::KindOf(item->child(i)) == CDirectoryTree::NodeKind::PathNode) next = item->child(i);
      }
      item = next;
    }
    return chain;
  }
  QTreeWidgetItem* PathNode(int depth) const {
    QTreeWidgetItem* item = tree_.topLevelItem(0);
    for (int i = 0; i < depth; ++i) item = item->child(0);
    return item;
  }
  QTreeWidgetItem* LastPathNode() const { return PathNode(static_cast<int>(Chain().size()) - 1); }
  Texts SubFolders() const {
    Texts names;
    const QTreeWidgetItem* last = LastPathNode();
    for (int i = 0; i < last->childCount(); ++i) {
      EXPECT_EQ(CDirectoryTree::KindOf(last->child(i)), CDirectoryTree::NodeKind::SubFolder);
      names.push_back(last->child(i)->text(0).toStdString());
    }
    return names;
  }
  QTreeWidgetItem* SubFolder(const std::string& name) const {
    QTreeWidgetItem* last = LastPathNode();
    for (int i = 0; i < last->childCount(); ++i) {
      if (last->child(i)->text(0).toStdString() == name) return last->child(i);
    }
    return nullptr;
  }
  // A real double-click on the node: the click that comes first, then the second.
  void DoubleClick(QTreeWidgetItem* item) {
    tree_.scrollToItem(item);
    const QPoint at = tree_.visualItemRect(item).center();
    QTest::mouseClick(tree_.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree_.viewport(), Qt::LeftButton, {}, at);
  }

  platform::ScratchFolder mount_;
  platform::ui::ScriptedNotifier notifier_;
  CDirectoryTree tree_;
  stdfs::path startFolder_;
};

TEST_F(DirectoryTreeTest, ChainIsTheSameWithAndWithoutTrailingSlash) {
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "docs/a/"));
  const Texts withSlash = Chain();
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "docs/a"));
  EXPECT_EQ(Chain(), withSlash);
  EXPECT_EQ(Chain(), (Texts{mount_.Path(), "docs", "a"}));
  EXPECT_EQ(SubFolders(), (Texts{"x", "y"}));
  EXPECT_EQ(tree_.GetCurrentPath(), mount_ / "docs/a");
  EXPECT_EQ(tree_.GetCurrentDrive(), mount_.Path());
  EXPECT_EQ(tree_.currentItem(), LastPathNode());
}

TEST_F(DirectoryTreeTest, FolderWithoutSubFoldersShowsOnlyTheExpandedChain) {
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "empty"));
  EXPECT_EQ(Chain(), (Texts{mount_.Path(), "empty"}));
  EXPECT_EQ(LastPathNode()->childCount(), 0);
  for (int depth = 0; depth < 2; ++depth) EXPECT_TRUE(PathNode(depth)->isExpanded());
}

TEST_F(DirectoryTreeTest, EmptyPathShowsTheWorkingFolderUntilADriveIsSet) {
  ASSERT_TRUE(tree_.DisplayPath(""));
  EXPECT_EQ(tree_.GetCurrentPath(), stdfs::canonical(platform::WorkingFolder()).string());

  tree_.SetCurrentDrive(mount_.Path());
  ASSERT_TRUE(tree_.DisplayPath(""));
  EXPECT_EQ(Chain(), Texts{mount_.Path()});
  EXPECT_EQ(SubFolders(), (Texts{"docs", "empty"}));
}

TEST_F(DirectoryTreeTest, PathThatIsNoFolderShowsTheWorkingFolder) {
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "docs/file.txt"));
  EXPECT_EQ(tree_.GetCurrentPath(), stdfs::canonical(platform::WorkingFolder()).string());
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "missing"));
  EXPECT_EQ(tree_.GetCurrentPath(), stdfs::canonical(platform::WorkingFolder()).string());
}

TEST_F(DirectoryTreeTest, DoubleClickOnSubFolderDescendsIntoIt) {
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "docs"));
  QSignalSpy changed(&tree_, &CDirectoryTree::PathChanged);
  DoubleClick(SubFolder("a"));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(Chain(), (Texts{mount_.Path(), "docs", "a"}));
  EXPECT_EQ(SubFolders(), (Texts{"x", "y"}));
  EXPECT_EQ(PathNode(1)->childCount(), 1);  // sibling "b" is gone
  EXPECT_EQ(tree_.GetCurrentPath(), mount_ / "docs/a");
  EXPECT_EQ(tree_.GetCurrentDrive(), mount_.Path());
}

TEST_F(DirectoryTreeTest, DoubleClickOnHigherPathNodeClimbsBack) {
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "docs/a/x"));
  QSignalSpy changed(&tree_, &CDirectoryTree::PathChanged);
  DoubleClick(PathNode(1));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(Chain(), (Texts{mount_.Path(), "docs"}));
  EXPECT_EQ(SubFolders(), (Texts{"a", "b"}));
  EXPECT_EQ(tree_.GetCurrentPath(), mount_ / "docs");
}

TEST_F(DirectoryTreeTest, DoubleClickOnDriveNodeReturnsToTheRoot) {
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "docs/a"));
  DoubleClick(PathNode(0));
  EXPECT_EQ(Chain(), Texts{mount_.Path()});
  EXPECT_EQ(SubFolders(), (Texts{"docs", "empty"}));
  EXPECT_EQ(tree_.GetCurrentPath(), mount_.Path());
}

TEST_F(DirectoryTreeTest, CollapsedPathNodeIsStillClimbedTo) {
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "docs/a/x"));
  tree_.collapseItem(PathNode(1));
  DoubleClick(PathNode(1));
  EXPECT_EQ(Chain(), (Texts{mount_.Path(), "docs"}));
  EXPECT_EQ(SubFolders(), (Texts{"a", "b"}));
  EXPECT_TRUE(PathNode(1)->isExpanded());
}

TEST_F(DirectoryTreeTest, LastPathNodeDoesNothingExpandedCollapsedOrEmpty) {
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "docs/a"));
  QSignalSpy changed(&tree_, &CDirectoryTree::PathChanged);
  DoubleClick(LastPathNode());
  tree_.collapseItem(LastPathNode());
  DoubleClick(LastPathNode());
  EXPECT_EQ(Chain(), (Texts{mount_.Path(), "docs", "a"}));
  EXPECT_EQ(SubFolders(), (Texts{"x", "y"}));  // not listed twice

  ASSERT_TRUE(tree_.DisplayPath(mount_ / "empty"));
  DoubleClick(LastPathNode());
  EXPECT_EQ(Chain(), (Texts{mount_.Path(), "empty"}));
  EXPECT_EQ(changed.count(), 0);
}

TEST_F(DirectoryTreeTest, FolderRemovedBeforeItsDoubleClickChangesNothing) {
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "docs"));
  stdfs::remove(mount_ / "docs/b");
  QSignalSpy changed(&tree_, &CDirectoryTree::PathChanged);
  DoubleClick(SubFolder("b"));
  EXPECT_EQ(changed.count(), 0);
  EXPECT_EQ(tree_.GetCurrentPath(), mount_ / "docs");
  EXPECT_EQ(Chain(), (Texts{mount_.Path(), "docs"}));
  EXPECT_EQ(SubFolders(), Texts{"a"});
  ASSERT_EQ(notifier_.Received().size(), 1u);
  EXPECT_EQ(notifier_.Received()[0].text, "FindFirstFile() returned INVALID_HANDLE_VALUE");
  EXPECT_EQ(notifier_.Received()[0].caption, "DEBUG");
}

TEST_F(DirectoryTreeTest, NodesShowTheImagesOfTheirKind) {
  QPixmap red(16, 16), blue(16, 16);
  red.fill(Qt::red);
  blue.fill(Qt::blue);
  tree_.SetImageList({red, red, blue, blue});
  ASSERT_TRUE(tree_.DisplayPath(mount_ / "docs"));
  const QImage pathImage = LastPathNode()->icon(0).pixmap(16, 16).toImage();
  const QImage subImage = SubFolder("a")->icon(0).pixmap(16, 16).toImage();
  EXPECT_EQ(pathImage.pixelColor(8, 8), QColor(Qt::blue));
  EXPECT_EQ(subImage.pixelColor(8, 8), QColor(Qt::red));
  DoubleClick(SubFolder("a"));
  EXPECT_EQ(LastPathNode()->icon(0).pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::blue));
}

}  // namespace
