#include "client/ui/LibraryImages.h"

#include <QPainter>
#include <QPainterPath>

namespace {

void DrawHouse(QPainter& painter, const QColor& wall) {
  QPainterPath roof;
  roof.moveTo(1, 8);
  roof.lineTo(8, 1);
  roof.lineTo(15, 8);
  roof.closeSubpath();
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(wall.darker(140));
  painter.drawPath(roof);
  painter.setBrush(wall);
  painter.drawRect(3, 8, 10, 7);
  painter.setBrush(Qt::darkGray);
  painter.drawRect(7, 11, 3, 4);
}

void DrawProject(QPainter& painter, bool open) {
  painter.setPen(QPen(Qt::darkBlue, 1));
  painter.setBrush(QColor(120, 170, 255));
  painter.drawEllipse(0, 0, 9, 9);
  painter.setBrush(QColor(240, 200, 80));
  painter.setPen(QPen(QColor(150, 110, 20), 1));
  if (open) {
    QPainterPath folder;
    folder.moveTo(4, 7);
    folder.lineTo(15, 7);
    folder.lineTo(13, 15);
    folder.lineTo(2, 15);
    folder.closeSubpath();
    painter.drawRect(3, 5, 10, 10);
    painter.setBrush(QColor(255, 225, 120));
    painter.drawPath(folder);
  } else {
    painter.drawRect(4, 6, 11, 9);
  }
}

void DrawPage(QPainter& painter, bool included) {
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(included ? Qt::white : QColor(220, 220, 220));
  painter.drawRect(3, 1, 10, 14);
  painter.setPen(QPen(included ? QColor(0, 140, 0) : QColor(190, 0, 0), 2));
  if (included) {
    painter.drawLine(5, 8, 7, 11);
    painter.drawLine(7, 11, 12, 4);
  } else {
    painter.drawLine(5, 5, 11, 11);
    painter.drawLine(11, 5, 5, 11);
  }
}

}  // namespace

QPixmap LibraryImages::Image(int index) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  switch (index) {
    case kHouse:
      DrawHouse(painter, QColor(250, 210, 40));
      break;
    case kGreyHouse:
      DrawHouse(painter, QColor(170, 170, 170));
      break;
    case kClosedProject:
    case kOpenProject:
      DrawProject(painter, index == kOpenProject);
      break;
    case kIncluded:
    case kLeftOut:
      DrawPage(painter, index == kIncluded);
      break;
    default:
      break;
  }
  return pixmap;
}
