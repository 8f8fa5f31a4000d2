#include "common/QuotedLines.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::string> AllLines(const std::string& text) {
  QuotedLines lines(text);
  std::vector<std::string> out;
  std::string line;
  while (lines.Next(line)) out.push_back(line);
  EXPECT_TRUE(line.empty());
  return out;
}

TEST(QuotedLines, CutsOnlyAtLineFeedsOutsideQuotes) {
  EXPECT_EQ(AllLines("1,\"a\nb\",2\n3,\"c\"\n"), (std::vector<std::string>{"1,\"a\nb\",2", "3,\"c\""}));
  // A doubled quote inside a field does not end the field.
  EXPECT_EQ(AllLines("\"say \"\"hi\n\"\" now\"\nnext"),
            (std::vector<std::string>{"\"say \"\"hi\n\"\" now\"", "next"}));
}

TEST(QuotedLines, SkipsEmptyLinesAndKeepsCarriageReturns) {
  EXPECT_EQ(AllLines("\n\na\n\n\nb\r\n\n"), (std::vector<std::string>{"a", "b\r"}));
  EXPECT_TRUE(AllLines("").empty());
  EXPECT_TRUE(AllLines("\n\n").empty());
}

TEST(QuotedLines, OpenQuoteRunsToTheEnd) {
  EXPECT_EQ(AllLines("a\n\"open\nb\nc"), (std::vector<std::string>{"a", "\"open\nb\nc"}));
}

TEST(QuotedLines, RestIsWhatFollowsTheLastLineHandedOut) {
  QuotedLines lines("parent\n\n\"x\ny\",1\ntail\n");
  std::string line;
  EXPECT_EQ(lines.Rest(), "parent\n\n\"x\ny\",1\ntail\n");
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(lines.Rest(), "\"x\ny\",1\ntail\n");
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(line, "\"x\ny\",1");
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(lines.Rest(), "");
}

}  // namespace
