#include "client/ui/DocumentRowIcons.h"

#include <QPainter>
#include <QPixmap>
#include <map>

namespace {

struct Look {
  bool internalName;
  bool references;
  bool checkedOut;
  bool versionRow;
};

// The indexes of DocumentRowModel::RowImage.
const std::map<int, Look>& Looks() {
  static const std::map<int, Look> looks = {
      {5, {false, false, false, false}},  {6, {false, false, true, false}},  {12, {false, false, false, true}},
      {17, {true, false, false, false}},  {18, {true, false, true, false}},  {19, {true, false, false, true}},
      {20, {true, true, false, false}},   {21, {true, true, true, false}},   {22, {true, true, false, true}},
      {23, {false, true, false, false}},  {24, {false, true, true, false}},  {25, {false, true, false, true}},
  };
  return looks;
}

QPixmap Draw(const Look& look) {
  QPixmap image(16, 16);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  const QRect page = look.versionRow ? QRect(4, 3, 9, 11) : QRect(2, 1, 11, 14);
  painter.fillRect(page, look.internalName ? QColor(200, 220, 255) : QColor(Qt::white));
  painter.setPen(QColor(64, 64, 64));
  painter.drawRect(page);
  for (int y = page.top() + 3; y < page.bottom() - 1; y += 3) painter.drawLine(page.left() + 2, y, page.right() - 2, y);
  if (look.references) {
    painter.setPen(QPen(QColor(0, 128, 0), 2));
    painter.drawLine(8, 12, 14, 12);
    painter.drawLine(12, 10, 14, 12);
  }
  if (look.checkedOut) painter.fillRect(QRect(10, 1, 5, 5), QColor(200, 0, 0));
  return image;
}

}  // namespace

const QIcon& DocumentRowIcons::Icon(int image) {
  QIcon& icon = made_[image];
  const auto look = Looks().find(image);
  if (icon.isNull() && look != Looks().end()) icon = QIcon(Draw(look->second));
  return icon;
}
