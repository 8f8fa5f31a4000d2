#include "common/CommentRecordValue.h"

#include <gtest/gtest.h>

#include <string>

#include "common/StringHelpers.h"

namespace {

struct Case {
  std::string comment;
  std::string stored;
  bool earlier;  // only an earlier build stores it so
};

// Earlier records: trimmed, apostrophes as bars, line breaks as 0xFE and 0xFF but
// for a last byte, never an apostrophe. Newer ones read back exactly, trimmed of nothing.
TEST(CommentRecordValueTest, NewCommentsReadBackAsWrittenAndEarlierOnesShowTheirApostrophes) {
  for (const Case& c : {Case{"First draft, for review", "First draft, for review", false},
                        Case{"it's Ann's", "it''s Ann''s", false}, Case{"a|b", "a'7Cb", false},
                        Case{"x\r\ny", "x\xFE\xFFy", false}, Case{" padded\t", "'20padded'09", false},
                        Case{"\r\nends\n", "'0D'0Aends'0A", false}, Case{"bytes \xFE\xFF", "bytes 'FE'FF", false},
                        Case{"'7C", "''7C", false}, Case{"", "", false},
                        Case{"Fixed it's title\r\nSecond line", "Fixed it|s title\xFE\xFFSecond line", true},
                        Case{"ends in \xFE", "ends in \xFE", true}}) {
    EXPECT_EQ(CommentFromRecordValue(c.stored), c.comment) << c.stored;
    if (c.earlier) continue;
    EXPECT_EQ(CommentToRecordValue(c.comment), c.stored) << c.comment;
    std::string trimmed = c.stored;
    EXPECT_EQ(TrimString(trimmed), c.stored) << c.comment;
  }
}

}  // namespace
