#include "server/ui/ConsoleLayout.h"

#include <algorithm>

std::vector<ConsoleTextPosition> ConsoleLayout::LayOut(const ConsoleSnapshot& snapshot) {
  std::vector<ConsoleTextPosition> texts;
  int y = kTop;
  for (const std::string& line : snapshot.statusLines) {
    texts.push_back({kLeft, y, line});
    y += kLineStep;
  }
  texts.push_back({kLeft, y, snapshot.upTimeText});
  y += kLineStep;
  texts.push_back({kLeft, y, snapshot.activeUserText});
  const int usersTop = y + kLineStep;
  const int shown = std::min<int>(static_cast<int>(snapshot.userLines.size()), kMaxUserLines);
  for (int i = 0; i < shown; ++i) {
    texts.push_back({kColumnLefts[i / kUsersPerColumn], usersTop + (i % kUsersPerColumn) * kUserLineStep,
                     snapshot.userLines[static_cast<std::size_t>(i)]});
  }
  return texts;
}
