#pragma once
// Two texts set side by side, line against line: the rows a comparison window shows.
// The line differences come from the dtl library; a run of removed lines followed by
// added ones pairs up as changed rows, the longer side going on against blanks.
#include <string>
#include <vector>

class SideBySideDiff {
 public:
  enum class Kind { kSame, kChanged, kRemoved, kAdded };

  struct Row {
    Kind kind = Kind::kSame;
    int leftNumber = 0;    // 1-based line number on the left; 0 where the left has no line
    std::string left;
    int rightNumber = 0;   // the same on the right
    std::string right;
  };

  // The lines of a text: split at LF, a CR before it dropped; a last line without a
  // line break counts, an empty text has no lines.
  static std::vector<std::string> SplitLines(const std::string& text);

  // The rows of `left` against `right`, in order of both texts.
  static std::vector<Row> Compare(const std::vector<std::string>& left, const std::vector<std::string>& right);

  // How many rows are not kSame.
  static int CountDifferences(const std::vector<Row>& rows);
};
