#include "common/RecordRows.h"

#include <gtest/gtest.h>

namespace {

TEST(RecordRows, SplitOnlyAtLineFeedsOutsideQuotesKeepingEmptyRows) {
  EXPECT_EQ((std::vector<std::string>{"\"a\",1", "\"b\r\nc\",2", "", "tail"}),
            SplitRecordRows("\"a\",1\n\"b\r\nc\",2\n\ntail"));
  EXPECT_EQ((std::vector<std::string>{"\"x\"\"\n\",1"}), SplitRecordRows("\"x\"\"\n\",1\n"));
  EXPECT_TRUE(SplitRecordRows("").empty());
}

}  // namespace
