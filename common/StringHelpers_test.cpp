#include "common/StringHelpers.h"

#include <gtest/gtest.h>

namespace {

std::string Applied(std::string& (*helper)(std::string&), std::string s) { return helper(s); }

const std::string kStoredCr(1, static_cast<char>(0xFE));
const std::string kStoredLf(1, static_cast<char>(0xFF));

TEST(StringHelpersTest, TrimRemovesAllSixWhiteSpaceBytesAtBothEnds) {
  EXPECT_EQ(Applied(TrimString, " \t\n\v\f\ra b\r\n"), "a b");
  EXPECT_EQ(Applied(TrimString, " \t "), "");
  EXPECT_EQ(Applied(TrimString, ""), "");
}

TEST(StringHelpersTest, QuotesAndBarsSwapApostrophes) {
  EXPECT_EQ(Applied(QuotesToBars, "  it's '  "), "it|s |");
  EXPECT_EQ(Applied(BarsToQuotes, " |a| "), " 'a' ");
}

TEST(StringHelpersTest, SpaceAfterCommasSkipsFollowedAndFinalCommas) {
  EXPECT_EQ(Applied(SpaceAfterCommas, "a,b, c,"), "a, b, c,");
  EXPECT_EQ(Applied(SpaceAfterCommas, ",,x"), ", , x");
}

TEST(StringHelpersTest, CapitaliseWordsNormalisesRecordLines) {
  EXPECT_EQ(Applied(CapitaliseWords, "  start FILEENTRY  "), "Start Fileentry");
  std::string name = "o'neil,smith";
  EXPECT_EQ(CapitaliseWords(name), "O|Neil, Smith");
  EXPECT_EQ(BarsToQuotes(name), "O'Neil, Smith");
  EXPECT_EQ(Applied(CapitaliseWords, "a,b"), "A, B");
  EXPECT_EQ(Applied(CapitaliseWords, "x\ty\rz\nw"), "X\tY\rZ\nW");
  EXPECT_EQ(Applied(CapitaliseWords, ""), "");
}

TEST(StringHelpersTest, CasingLeavesNonAsciiBytesAlone) {
  const std::string text = "\xc3\xa9t\xc3\xa9 " + kStoredCr + kStoredLf + "x";
  EXPECT_EQ(Applied(CapitaliseWords, text), "\xc3\xa9t\xc3\xa9 " + kStoredCr + kStoredLf + "x");
  EXPECT_TRUE(WildcardMatchNoCase("\xc3\xa9.TXT", "\xc3\xa9*.txt"));
  EXPECT_FALSE(WildcardMatchNoCase("\xc3\x89.txt", "\xc3\xa9.txt"));
}

TEST(StringHelpersTest, LineBreaksSurviveEscapeAndUnescape) {
  std::string value = "x\r\ny ";
  EXPECT_EQ(EscapeLineBreaks(value), "x" + kStoredCr + kStoredLf + "y");
  EXPECT_EQ(UnescapeLineBreaks(value), "x\r\ny");

  std::string quoted = "don't\nstop,now";
  EscapeLineBreaks(quoted);
  EXPECT_EQ(quoted, "don|t" + kStoredLf + "stop, now");
  EXPECT_EQ(UnescapeLineBreaks(quoted), "don|t\nstop, now");
}

TEST(StringHelpersTest, ByteInLastPositionIsNotConverted) {
  EXPECT_EQ(Applied(UnescapeLineBreaks, "a" + kStoredCr + "b" + kStoredLf), "a\rb" + kStoredLf);
  EXPECT_EQ(Applied(UnescapeLineBreaks, kStoredCr), kStoredCr);
  EXPECT_EQ(LineBreaksToSpaces("a\r\nb"), "a  b");
  EXPECT_EQ(LineBreaksToSpaces("a\nb\n"), "a b\n");
  EXPECT_EQ(LineBreaksToSpaces(""), "");
}

TEST(StringHelpersTest, TrailingSeparatorHelpersUseSlash) {
  EXPECT_EQ(StripTrailingBackslash("/srv/dir/"), "/srv/dir");
  EXPECT_EQ(StripTrailingBackslash("/srv/dir"), "/srv/dir");
  EXPECT_EQ(StripTrailingBackslash(""), "");
  EXPECT_EQ(StripTrailingBackslash("/"), "");
  EXPECT_EQ(EnsureTrailingBackslash("/srv/dir"), "/srv/dir/");
  EXPECT_EQ(EnsureTrailingBackslash("/srv/dir/"), "/srv/dir/");
  EXPECT_EQ(EnsureTrailingBackslash(""), "");
}

TEST(StringHelpersTest, WildcardPiecesAreNotAnchored) {
  EXPECT_TRUE(WildcardMatchNoCase("report.doc", "*.DOC"));
  EXPECT_TRUE(WildcardMatchNoCase("report.docx", "*.doc"));
  EXPECT_TRUE(WildcardMatchNoCase("old report.doc.bak", "*.doc"));
  EXPECT_FALSE(WildcardMatchNoCase("report.txt", "*.doc"));
  EXPECT_TRUE(WildcardMatch("ABC", "*"));
  EXPECT_TRUE(WildcardMatch("", "*"));
}

TEST(StringHelpersTest, WithoutWildcardsTheNameMustBeEqual) {
  EXPECT_TRUE(WildcardMatchNoCase("report.doc", "report.doc"));
  EXPECT_FALSE(WildcardMatchNoCase("report.doc", "report.do"));
  EXPECT_TRUE(WildcardMatch("", ""));
}

TEST(StringHelpersTest, QuestionMarkMovesTheCursorByOne) {
  EXPECT_TRUE(WildcardMatch("XAB", "?AB"));
  EXPECT_FALSE(WildcardMatch("AB", "?AB"));
  EXPECT_TRUE(WildcardMatch("AB", "A?B"));
  EXPECT_FALSE(WildcardMatch("AB", "A?B?"));
  // The '?' after a later piece moves the cursor before that piece is searched.
  EXPECT_TRUE(WildcardMatch("AXB", "A?B?"));
  EXPECT_FALSE(WildcardMatch("ABC", "A?B?"));
  // A '?' wants a character even in an empty name; the search never starts past the end.
  EXPECT_FALSE(WildcardMatch("", "?"));
  EXPECT_TRUE(WildcardMatch("A", "?"));
}

TEST(StringHelpersTest, OnlyTheFileNamePartIsMatchedWhenThePatternHasNoFolder) {
  EXPECT_TRUE(WildcardMatchNoCase("C:\\work\\report.doc", "*.doc"));
  EXPECT_TRUE(WildcardMatchNoCase("/work/report.doc", "report.doc"));
  EXPECT_FALSE(WildcardMatchNoCase("/work/report.doc", "?work*"));
  EXPECT_TRUE(WildcardMatchNoCase("/work/report.doc", "/work/*.doc"));
}

TEST(StringHelpersTest, AnyNumberOfWildcardsIsMatched) {
  std::string pattern;
  std::string name;
  for (int i = 0; i < 120; ++i) {
    pattern += "*a";
    name += "xa";
  }
  EXPECT_TRUE(WildcardMatch(name, pattern));
  EXPECT_FALSE(WildcardMatch(name, pattern + "*a"));
  EXPECT_TRUE(WildcardMatch("a", std::string(200, '*') + "a" + std::string(200, '*')));
}

TEST(StringHelpersTest, BalancedQuotesIgnoreEscapedOnes) {
  EXPECT_TRUE(HasBalancedQuotes("say \"hi\""));
  EXPECT_TRUE(HasBalancedQuotes("\"a \\\" b\""));
  EXPECT_FALSE(HasBalancedQuotes("say \"hi"));
  EXPECT_TRUE(HasBalancedQuotes("no quotes"));
  EXPECT_TRUE(HasBalancedQuotes(""));
  EXPECT_FALSE(HasBalancedQuotes("\""));
}

}  // namespace
