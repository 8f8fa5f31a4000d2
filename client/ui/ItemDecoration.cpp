#include "client/ui/ItemDecoration.h"

#include <QStyle>
#include <QTreeWidget>

QRect ItemDecoration::Rect(const QTreeWidget& view, const QTreeWidgetItem* item, int width) {
  if (item == nullptr) return QRect();
  const QRect row = view.visualItemRect(item);
  if (row.isEmpty()) return QRect();
  // The styles lay the icon out after the focus frame's margin.
  const int left = row.left() + view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
  const int height = view.iconSize().height();
  return QRect(left, row.center().y() - height / 2, width, height);
}
