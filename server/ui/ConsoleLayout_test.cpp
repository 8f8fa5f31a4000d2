#include "server/ui/ConsoleLayout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ConsoleSnapshot Snapshot(int statusLines, int userLines) {
  ConsoleSnapshot snapshot;
  for (int i = 0; i < statusLines; ++i) snapshot.statusLines.push_back("status " + std::to_string(i));
  snapshot.upTimeText = "up";
  snapshot.activeUserText = "active";
  for (int i = 0; i < userLines; ++i) snapshot.userLines.push_back("user " + std::to_string(i));
  return snapshot;
}

TEST(ConsoleLayout, StatusLinesThenUpTimeAndActiveUsersInStepsOfTwenty) {
  const auto texts = ConsoleLayout::LayOut(Snapshot(5, 0));
  ASSERT_EQ(7u, texts.size());
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(10, texts[i].x);
    EXPECT_EQ(10 + 20 * i, texts[i].y);
  }
  EXPECT_EQ("status 4", texts[4].text);
  EXPECT_EQ("up", texts[5].text);
  EXPECT_EQ("active", texts[6].text);
}

TEST(ConsoleLayout, WithoutStatusLinesTheUpTimeIsAtTheTop) {
  const auto texts = ConsoleLayout::LayOut(Snapshot(0, 1));
  ASSERT_EQ(3u, texts.size());
  EXPECT_EQ("up", texts[0].text);
  EXPECT_EQ(10, texts[0].y);
  EXPECT_EQ(30, texts[1].y);
  EXPECT_EQ(50, texts[2].y);   // the users start 20 below the active-user text
}

TEST(ConsoleLayout, SeventyUsersDrawSixtyFourInFourColumnsOfSixteen) {
  const auto texts = ConsoleLayout::LayOut(Snapshot(2, 70));
  ASSERT_EQ(2u + 2u + 64u, texts.size());
  const int usersTop = 10 + 20 * 3 + 20;   // below two status lines, up time and active users
  struct Expected {
    int entry, x, y;
  };
  for (const Expected& e : {Expected{0, 10, usersTop}, Expected{15, 10, usersTop + 15 * 18},
                            Expected{16, 150, usersTop}, Expected{31, 150, usersTop + 15 * 18},
                            Expected{32, 300, usersTop}, Expected{47, 300, usersTop + 15 * 18},
                            Expected{48, 450, usersTop}, Expected{63, 450, usersTop + 15 * 18}}) {
    const ConsoleTextPosition& text = texts[4 + static_cast<std::size_t>(e.entry)];
    EXPECT_EQ("user " + std::to_string(e.entry), text.text);
    EXPECT_EQ(e.x, text.x) << e.entry;
    EXPECT_EQ(e.y, text.y) << e.entry;
  }
  EXPECT_EQ("user 63", texts.back().text);
}

}  // namespace
