#include "client/ui/TickBoxImages.h"

#include <QPainter>
#include <QPalette>
#include <QPolygon>

namespace {

QPixmap Box(bool ticked, bool greyed) {
  QPixmap image(TickBoxImages::kSize, TickBoxImages::kSize);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  const QColor frame = greyed ? QColor(160, 160, 160) : QColor(64, 64, 64);
  painter.fillRect(QRect(2, 2, 12, 12), greyed ? QColor(224, 224, 224) : QColor(Qt::white));
  painter.setPen(frame);
  painter.drawRect(QRect(2, 2, 11, 11));
  if (ticked) {
    painter.setPen(QPen(frame, 2));
    painter.drawPolyline(QPolygon({QPoint(5, 8), QPoint(7, 10), QPoint(11, 5)}));
  }
  return image;
}

}  // namespace

std::vector<QPixmap> TickBoxImages::Make() {
  return {Box(false, false), Box(true, false), Box(false, true), Box(true, true)};
}
