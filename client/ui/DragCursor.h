#pragma once
// The cursor of a drag over a place that takes the drop: the arrow with an hourglass,
// drawn here. Where the drop is refused Qt's own no-entry cursor shows.
#include <QPixmap>

class QDrag;

class DragCursor {
 public:
  static QPixmap ArrowWithHourglass();
  // Gives the drag our cursor for every action a drop may end with.
  static void Apply(QDrag& drag);
};
