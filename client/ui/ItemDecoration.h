#pragma once
// Where a tree widget draws an item's icon, so a click on the icon alone can be told
// from a click on the text.
#include <QRect>

class QTreeWidget;
class QTreeWidgetItem;

class ItemDecoration {
 public:
  // The first `width` pixels of the item's icon area in viewport coordinates (as tall
  // as the view's icons); empty for no item.
  static QRect Rect(const QTreeWidget& view, const QTreeWidgetItem* item, int width);
};
