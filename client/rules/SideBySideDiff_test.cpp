#include "client/rules/SideBySideDiff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Kind = SideBySideDiff::Kind;

// Each row as "<kind letter><left number>:<left>|<right number>:<right>".
std::vector<std::string> Shown(const std::vector<SideBySideDiff::Row>& rows) {
  std::vector<std::string> shown;
  for (const SideBySideDiff::Row& row : rows) {
    const char kind = "=~-+"[static_cast<int>(row.kind)];
    shown.push_back(kind + std::to_string(row.leftNumber) + ":" + row.left + "|" + std::to_string(row.rightNumber) +
                    ":" + row.right);
  }
  return shown;
}

TEST(SideBySideDiffTest, RowsPairChangedLinesAndKeepBothTextsInOrder) {
  const struct {
    const char* what;
    std::string left;
    std::string right;
    std::vector<std::string> rows;
    int differences;
  } cases[] = {
      {"equal", "a\nb\n", "a\nb\n", {"=1:a|1:a", "=2:b|2:b"}, 0},
      {"a line changed", "a\nb\nc\n", "a\nB\nc\n", {"=1:a|1:a", "~2:b|2:B", "=3:c|3:c"}, 1},
      {"a line added", "a\nc\n", "a\nb\nc\n", {"=1:a|1:a", "+0:|2:b", "=2:c|3:c"}, 1},
      {"a line removed", "a\nb\nc\n", "a\nc\n", {"=1:a|1:a", "-2:b|0:", "=3:c|2:c"}, 1},
      {"two replaced by one", "a\nx\ny\nc\n", "a\nz\nc\n", {"=1:a|1:a", "~2:x|2:z", "-3:y|0:", "=4:c|3:c"}, 2},
      {"from nothing", "", "a\n", {"+0:|1:a"}, 1},
      {"to nothing", "a\n", "", {"-1:a|0:"}, 1},
      {"line breaks of either kind, the last one optional", "a\r\nb\r\n", "a\nb", {"=1:a|1:a", "=2:b|2:b"}, 0},
  };
  for (const auto& c : cases) {
    const auto rows =
        SideBySideDiff::Compare(SideBySideDiff::SplitLines(c.left), SideBySideDiff::SplitLines(c.right));
    EXPECT_EQ(Shown(rows), c.rows) << c.what;
    EXPECT_EQ(SideBySideDiff::CountDifferences(rows), c.differences) << c.what;
  }
}

}  // namespace
