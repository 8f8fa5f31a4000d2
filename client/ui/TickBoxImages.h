#pragma once
// The four pictures of the client's tick boxes, in state order: empty, ticked,
// greyed empty, greyed ticked (16 x 16), drawn here rather than loaded.
#include <QPixmap>
#include <vector>

class TickBoxImages {
 public:
  static constexpr int kSize = 16;
  // Index 0 is state 1.
  static std::vector<QPixmap> Make();
};
