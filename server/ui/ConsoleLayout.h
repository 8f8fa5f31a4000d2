#pragma once
// Where the status console puts each of its texts: the status lines from the top
// in steps of 20, the up-time and active-user texts below them, and the user lines
// in up to four columns of 16. Positions are the top-left corners of the texts.
#include <string>
#include <vector>

#include "server/ui/ConsoleSnapshot.h"

struct ConsoleTextPosition {
  int x = 0;
  int y = 0;      // top of the text
  std::string text;
};

class ConsoleLayout {
 public:
  static constexpr int kLeft = 10;
  static constexpr int kTop = 10;
  static constexpr int kLineStep = 20;
  static constexpr int kUserLineStep = 18;
  static constexpr int kUsersPerColumn = 16;
  static constexpr int kColumnLefts[] = {10, 150, 300, 450};
  static constexpr int kMaxUserLines = 64;

  // Every text to draw with its position, in drawing order; user lines from the
  // 65th on are left out.
  static std::vector<ConsoleTextPosition> LayOut(const ConsoleSnapshot& snapshot);
};
