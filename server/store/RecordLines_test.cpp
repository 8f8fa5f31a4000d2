#include "server/store/RecordLines.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>

#include "common/RecordFields.h"

namespace {

constexpr int kEof = 777;

}  // namespace

TEST(RecordLinesTest, AcceptsEveryLineEndingAndSkipsBlankAndCommentLines) {
  std::istringstream in("first\n  \r\r\n ! a comment\r\nsecond\r\n\nthird\r\r\n  last  ");
  int lines = 0;
  int result = -1;
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "first");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "second");
  EXPECT_EQ(lines, 4);
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "third");
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "last");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "");
  EXPECT_EQ(result, kEof);
  EXPECT_EQ(lines, 7);
}

TEST(RecordLinesTest, OnlyCommentsReadsAsEndOfFile) {
  std::istringstream in("! one\r\r\n\r\r\n!two");
  int lines = 0;
  int result = 0;
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "");
  EXPECT_EQ(result, kEof);
}

TEST(RecordLinesTest, ReadsLongLinesWholeUpToTheCap) {
  const std::string longLine(100000, 'x');
  std::istringstream in(longLine + "\r\r\nnext\r\r\n");
  int lines = 0;
  int result = 0;
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), longLine);
  EXPECT_EQ(ReadRecordLine(in, lines, kEof, result), "next");

  std::istringstream tooLong(std::string(kMaxRecordLineLength + 1, 'y') + "\nnext\n");
  EXPECT_EQ(ReadRecordLine(tooLong, lines, kEof, result), "");
  EXPECT_EQ(result, kEof);
  EXPECT_EQ(ReadRecordLine(tooLong, lines, kEof, result), "") << "a failed stream stays failed";
}

TEST(RecordLinesTest, TextToIntFollowsAtoiAndSaturates) {
  EXPECT_EQ(RecordTextToInt("42"), 42);
  EXPECT_EQ(RecordTextToInt("  -7xyz"), -7);
  EXPECT_EQ(RecordTextToInt("+3"), 3);
  EXPECT_EQ(RecordTextToInt("abc"), 0);
  EXPECT_EQ(RecordTextToInt(""), 0);
  EXPECT_EQ(RecordTextToInt("99999999999999999999"), INT_MAX);
  EXPECT_EQ(RecordTextToInt("-99999999999999999999"), INT_MIN);
  EXPECT_EQ(RecordTextToInt("-2147483648"), INT_MIN);
}
