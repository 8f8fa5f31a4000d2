#include "common/RecordFields.h"

#include <climits>
#include <sstream>

#include <gtest/gtest.h>

namespace {

TEST(RecordFieldsTest, CommaGoesBetweenFieldsButNotAfterALineFeed) {
  EXPECT_EQ(AppendIntField(7, AppendIntField(5, "")), "5,7");
  EXPECT_EQ(AppendIntField(7, "1,2\n"), "1,2\n7");
  EXPECT_EQ(AppendIntField(INT_MIN, ""), "-2147483648");
  EXPECT_EQ(AppendBoolField(false, AppendBoolField(true, "x")), "x,1,0");
  EXPECT_EQ(AppendStringField("", "5"), "5,\"\"");
  EXPECT_EQ(EndRecord("5,7"), "5,7\n");
}

TEST(RecordFieldsTest, StringFieldsDoubleInnerQuotesAndReadBackUnchanged) {
  const std::string text = "say \"hi\", then \"\"bye\"";
  const std::string line = AppendStringField(text, "");
  EXPECT_EQ(line, "\"say \"\"hi\"\", then \"\"\"\"bye\"\"\"");
  std::string field;
  EXPECT_EQ(ReadStringField(field, line), "");
  EXPECT_EQ(field, text);
}

TEST(RecordFieldsTest, RecordRoundTripConsumesTheLineFeed) {
  const std::string weird = std::string("a,b\"c") + '\xFE' + "d" + '\xFF' + '\1' + '\2';
  std::string line = AppendIntField(1030, "");
  line = AppendIntField(1, line);
  line = AppendStringField(weird, line);
  line = AppendStringField("", line);
  line = AppendStringField(" lead,\"quoted\"", line);
  line = EndRecord(line);

  std::int32_t type = 0;
  std::int32_t version = 0;
  std::string first, second, third;
  std::string rest = ReadIntField(type, line);
  rest = ReadIntField(version, rest);
  rest = ReadStringField(first, rest);
  rest = ReadStringField(second, rest);
  rest = ReadStringField(third, rest);
  EXPECT_EQ(type, 1030);
  EXPECT_EQ(version, 1);
  EXPECT_EQ(first, weird);
  EXPECT_EQ(second, "");
  EXPECT_EQ(third, " lead,\"quoted\"");
  EXPECT_EQ(rest, "");
}

TEST(RecordFieldsTest, DateTimeFieldIsTheQuotedFourteenDigitsAndAShortOneChangesNothing) {
  DateTime written;
  written.Parse("20040301123005");
  const std::string line = AppendDateTimeField(written, "1");
  EXPECT_EQ(line, "1,\"20040301123005\"");
  DateTime read;
  EXPECT_EQ(ReadDateTimeField(read, line.substr(2)), "");
  EXPECT_EQ(read, written);
  EXPECT_EQ(ReadDateTimeField(read, "\"2005\",9"), "9");
  EXPECT_EQ(read, written);
}

TEST(RecordFieldsTest, IntegerReadingRules) {
  std::int32_t value = 99;
  EXPECT_EQ(ReadIntField(value, "-12,5"), "5");
  EXPECT_EQ(value, -12);
  EXPECT_EQ(ReadIntField(value, ",5"), "5");
  EXPECT_EQ(value, 0);
  value = 99;
  EXPECT_EQ(ReadIntField(value, "abc def"), "");
  EXPECT_EQ(value, 0);
  EXPECT_EQ(ReadIntField(value, "  x42y,7"), "7");  // everything before the digits is dropped
  EXPECT_EQ(value, 42);
  EXPECT_EQ(ReadIntField(value, "\n8"), "8");
  EXPECT_EQ(value, 0);
  EXPECT_EQ(ReadIntField(value, "-,3"), "3");  // a sign without digits
  EXPECT_EQ(value, 0);
  EXPECT_EQ(ReadIntField(value, "17,"), "");
  EXPECT_EQ(value, 17);
  EXPECT_EQ(ReadIntField(value, "5\"x\",1"), "x\",1");  // a quote ends the field too
}

TEST(RecordFieldsTest, IntegersOutOfRangeAreClamped) {
  std::int32_t value = 0;
  ReadIntField(value, "99999999999999999999999");
  EXPECT_EQ(value, INT_MAX);
  ReadIntField(value, "-99999999999");
  EXPECT_EQ(value, INT_MIN);
  std::uint32_t user = 0;
  ReadIntField(user, "4294967295");
  EXPECT_EQ(user, 4294967295u);
  ReadIntField(user, "99999999999");
  EXPECT_EQ(user, UINT_MAX);
  ReadIntField(user, AppendIntField(static_cast<std::int32_t>(0x80000001u), ""));
  EXPECT_EQ(user, 0x80000001u);
}

TEST(RecordFieldsTest, FlagIsTrueForAnyNonZeroInteger) {
  bool flag = false;
  EXPECT_EQ(ReadBoolField(flag, "2,"), "");
  EXPECT_TRUE(flag);
  EXPECT_EQ(ReadBoolField(flag, "0,1"), "1");
  EXPECT_FALSE(flag);
}

TEST(RecordFieldsTest, StringReadingOfEmptyAndBareFields) {
  std::string field = "old";
  EXPECT_EQ(ReadStringField(field, ""), "");
  EXPECT_EQ(field, "");
  EXPECT_EQ(ReadStringField(field, ",abc,d"), "abc,d");
  EXPECT_EQ(field, "");
  EXPECT_EQ(ReadStringField(field, ","), "");
  EXPECT_EQ(ReadStringField(field, "   bare text ,next"), "next");
  EXPECT_EQ(field, "bare text ");
  EXPECT_EQ(ReadStringField(field, "   "), "");  // only blanks: the text is not shortened
  EXPECT_EQ(field, "   ");
}

TEST(RecordFieldsTest, QuotedFieldDropsTextBetweenClosingQuoteAndComma) {
  std::string field;
  EXPECT_EQ(ReadStringField(field, "\"name\"junk,42"), "42");
  EXPECT_EQ(field, "name");
  EXPECT_EQ(ReadStringField(field, "  \"a\"\"\",\"b\""), "\"b\"");
  EXPECT_EQ(field, "a\"");
  EXPECT_EQ(ReadStringField(field, "\"x\"\n\"y\""), "\"y\"");
  EXPECT_EQ(field, "x");
}

TEST(RecordFieldsTest, TruncatedQuotedFieldsStopAtTheEndOfTheText) {
  std::string field;
  EXPECT_EQ(ReadStringField(field, "\""), "");
  EXPECT_EQ(field, "");
  EXPECT_EQ(ReadStringField(field, "\"abc"), "");  // no closing quote nor separator
  EXPECT_EQ(field, "abc");
  EXPECT_EQ(ReadStringField(field, "\"abc,def"), "def");  // no closing quote: runs to the comma
  EXPECT_EQ(field, "abc");
  EXPECT_EQ(ReadStringField(field, "\"ab\"\""), "");  // a doubled quote ends the text
  EXPECT_EQ(field, "ab\"");
  EXPECT_EQ(ReadStringField(field, "\"ab\"\"cd"), "");
  EXPECT_EQ(field, "ab\"cd");
  EXPECT_EQ(ReadStringField(field, "\"ab\"x"), "");  // closing quote, no separator
  EXPECT_EQ(field, "ab");
}

TEST(RecordFieldsTest, ReadersStayInsideTheirTextWithEmbeddedNulBytes) {
  const std::string text("\"a\0b\"\0,c", 8);
  std::string field;
  EXPECT_EQ(ReadStringField(field, text), "c");
  EXPECT_EQ(field, std::string("a\0b", 3));
  std::int32_t value = 1;
  EXPECT_EQ(ReadIntField(value, std::string("\0\0", 2)), "");
  EXPECT_EQ(value, 0);
}

TEST(RecordFieldsTest, LineBreakConvertersRoundTrip) {
  std::string text = "line one\r\nline two\nthree\r";
  EncodeFieldLineBreaks(text);
  EXPECT_EQ(text, "line one\1\2line two\2three\1");
  const std::string line = AppendStringField(text, "");
  std::string field;
  ReadStringField(field, EndRecord(line));
  DecodeFieldLineBreaks(field);
  EXPECT_EQ(field, "line one\r\nline two\nthree\r");
}

TEST(RecordFieldsTest, WholeLinesOfAnyEndingAndLength) {
  const std::string longLine(100000, 'x');
  std::istringstream in("a\nb\r\nc\r\r\n" + longLine + "\nlast");
  std::string line;
  ASSERT_TRUE(ReadWholeLine(in, line));
  EXPECT_EQ(line, "a");
  ASSERT_TRUE(ReadWholeLine(in, line));
  EXPECT_EQ(line, "b");
  ASSERT_TRUE(ReadWholeLine(in, line));
  EXPECT_EQ(line, "c");
  ASSERT_TRUE(ReadWholeLine(in, line));
  EXPECT_EQ(line, longLine);
  ASSERT_TRUE(ReadWholeLine(in, line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(ReadWholeLine(in, line));
}

TEST(RecordFieldsTest, LineBeyondTheSanityCapIsRefusedAndLeftInTheStream) {
  std::istringstream in(std::string(kMaxRecordLineLength + 1, 'x') + "\n");
  std::string line;
  EXPECT_FALSE(ReadWholeLine(in, line));
  in.clear();
  in.seekg(0);
  EXPECT_FALSE(ReadRecordOfType(in, 1030, line));
  EXPECT_EQ(in.tellg(), 0);
}

}  // namespace
