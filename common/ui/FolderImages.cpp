#include "common/ui/FolderImages.h"

#include <QPainter>

namespace {

// A folder shape: a tab on top of a body; an open folder has a tilted front.
QPixmap DrawFolder(int size, const QColor& body, bool open) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(body.darker(170));
  painter.setBrush(body);
  const qreal unit = size / 16.0;
  painter.drawRect(QRectF(1 * unit, 2.5 * unit, 6 * unit, 2.5 * unit));
  painter.drawRect(QRectF(1 * unit, 4 * unit, 14 * unit, 10 * unit));
  if (open) {
    painter.setBrush(body.lighter(125));
    const QPointF front[] = {{3 * unit, 7 * unit}, {15.5 * unit, 7 * unit}, {14 * unit, 14 * unit},
                             {1 * unit, 14 * unit}};
    painter.drawPolygon(front, 4);
  }
  return pixmap;
}

}  // namespace

QList<QPixmap> MakeFolderTreeImages() {
  const QColor subFolder(232, 196, 84);
  const QColor pathNode(92, 140, 214);
  return {DrawFolder(16, subFolder, false), DrawFolder(16, subFolder, true), DrawFolder(16, pathNode, false),
          DrawFolder(16, pathNode, true)};
}

QIcon MakeChooserIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48}) icon.addPixmap(DrawFolder(size, QColor(92, 140, 214), true));
  return icon;
}
