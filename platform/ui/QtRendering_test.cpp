#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QImage>
#include <QListWidget>
#include <QSet>
#include <QTest>
#include <QTreeWidget>
#include <QWidget>

#include "platform/ui/QtTestApplication.h"

namespace platform::ui {
namespace {

// The number of distinct colours in a rectangle of the image.
int ColoursIn(const QImage& image, const QRect& area) {
  QSet<QRgb> colours;
  const QRect clipped = area.intersected(image.rect());
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    for (int x = clipped.left(); x <= clipped.right(); ++x) colours.insert(image.pixel(x, y));
  }
  return static_cast<int>(colours.size());
}

// Where a view's item or empty area lies in the grab of the whole window.
QRect InWindow(const QAbstractItemView& view, const QWidget& window, const QRect& viewportArea) {
  return QRect(view.viewport()->mapTo(&window, viewportArea.topLeft()), viewportArea.size());
}

TEST(QtRenderingTest, WindowWithTreeAndListRendersItemText) {
  QWidget window;
  auto* layout = new QHBoxLayout(&window);
  auto* tree = new QTreeWidget;
  tree->setHeaderLabel("Projects");
  auto* root = new QTreeWidgetItem(tree, QStringList{"Library Root"});
  auto* leaf = new QTreeWidgetItem(root, QStringList{"Manuals"});
  tree->expandAll();
  auto* list = new QListWidget;
  list->addItems({"report.doc", "budget.xls"});
  layout->addWidget(tree);
  layout->addWidget(list);
  window.resize(480, 300);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  const QImage image = window.grab().toImage();
  ASSERT_FALSE(image.isNull());
  ASSERT_GE(image.width(), 480);

  // Text makes an item's row many-coloured, while the empty area of the same
  // view below its last row is one plain colour.
  const QRect treeRow = tree->visualItemRect(leaf);
  const QRect listRow = list->visualItemRect(list->item(0));
  const QRect listLast = list->visualItemRect(list->item(1));
  const QRect listEmpty(listRow.left(), listLast.bottom() + 10, listRow.width(), listRow.height());
  ASSERT_FALSE(treeRow.isEmpty());
  ASSERT_FALSE(listRow.isEmpty());
  EXPECT_GT(ColoursIn(image, InWindow(*tree, window, treeRow)), 2);
  EXPECT_GT(ColoursIn(image, InWindow(*list, window, listRow)), 2);
  EXPECT_EQ(ColoursIn(image, InWindow(*list, window, listEmpty)), 1);
}

}  // namespace
}  // namespace platform::ui
