#pragma once
// The 16 x 16 pictures of the library tree and the new-edition dialog, drawn here:
// 0 a yellow house (a library, an edition, a supplement), 1 a grey house (selected),
// 4 a globe with a closed folder (a project), 7 a globe with an open folder (selected),
// 13 an included supplement (a ticked page), 14 one left out (a crossed page).
#include <QPixmap>

class LibraryImages {
 public:
  enum Index { kHouse = 0, kGreyHouse = 1, kClosedProject = 4, kOpenProject = 7, kIncluded = 13, kLeftOut = 14 };
  static constexpr int kSize = 16;
  // An empty picture for any other index.
  static QPixmap Image(int index);
};
