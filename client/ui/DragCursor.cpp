#include "client/ui/DragCursor.h"

#include <QDrag>
#include <QPainter>
#include <QPainterPath>

QPixmap DragCursor::ArrowWithHourglass() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath arrow;
  arrow.moveTo(1, 1);
  arrow.lineTo(1, 17);
  arrow.lineTo(5, 13);
  arrow.lineTo(8, 20);
  arrow.lineTo(10, 19);
  arrow.lineTo(7, 12);
  arrow.lineTo(12, 12);
  arrow.closeSubpath();
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::white);
  painter.drawPath(arrow);
  // The hourglass beside the arrow's point.
  QPainterPath glass;
  glass.moveTo(14, 14);
  glass.lineTo(24, 14);
  glass.lineTo(19, 21);
  glass.lineTo(24, 28);
  glass.lineTo(14, 28);
  glass.lineTo(19, 21);
  glass.closeSubpath();
  painter.setBrush(QColor(255, 220, 120));
  painter.drawPath(glass);
  return pixmap;
}

void DragCursor::Apply(QDrag& drag) {
  const QPixmap cursor = ArrowWithHourglass();
  for (const Qt::DropAction action : {Qt::CopyAction, Qt::MoveAction, Qt::LinkAction}) drag.setDragCursor(cursor, action);
}
