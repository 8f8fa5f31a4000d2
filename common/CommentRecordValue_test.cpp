#include "common/CommentRecordValue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/StringHelpers.h"

namespace {

struct Case {
  std::string comment;
  std::string stored;
};

TEST(CommentRecordValueTest, StoresEachCommentOnOneTrimmedLineAndReadsItBack) {
  const std::vector<Case> cases = {
      {"First draft, for review", "First draft, for review"},
      {"it's Ann's", "it''s Ann''s"},
      {"a|b", "a'7Cb"},
      {"x\r\ny", "x\xFE\xFFy"},
      {" padded\t", "'20padded'09"},
      {"\r\nbreaks at both ends\n", "'0D'0Abreaks at both ends'0A"},
      {"   ", "'20'20'20"},
      {"bytes \xFE\xFF", "bytes 'FE'FF"},
      {"'7C", "''7C"},
      {"'", "''"},
      {"", ""},
  };
  for (const Case& c : cases) {
    const std::string stored = CommentToRecordValue(c.comment);
    EXPECT_EQ(stored, c.stored) << c.comment;
    std::string trimmed = stored;
    EXPECT_EQ(TrimString(trimmed), stored) << c.comment;
    EXPECT_EQ(CommentFromRecordValue(stored), c.comment) << c.comment;
  }
}

// Earlier records: trimmed, apostrophes as bars, a blank after each comma, line
// breaks as 0xFE and 0xFF but for a last byte, never an apostrophe.
TEST(CommentRecordValueTest, EarlierRecordsShowTheirApostrophes) {
  const std::vector<Case> cases = {
      {"it's", "it|s"},
      {"Fixed it's title\r\nSecond line", "Fixed it|s title\xFE\xFFSecond line"},
      {"O'Neil, Smith", "O|Neil, Smith"},
      {"ends in \xFE", "ends in \xFE"},
  };
  for (const Case& c : cases) EXPECT_EQ(CommentFromRecordValue(c.stored), c.comment) << c.stored;
}

}  // namespace
