#include "common/NameValidation.h"

#include <gtest/gtest.h>

#include <string>

TEST(NameValidationTest, AcceptsOrdinaryNames) {
  EXPECT_TRUE(IsValidStoredName("Report 2024.doc"));
  EXPECT_TRUE(IsValidStoredName("a"));
  EXPECT_TRUE(IsValidStoredName("...hidden"));
  EXPECT_TRUE(IsValidStoredName("Caf\xC3\xA9 notes"));  // UTF-8 bytes above 0x7F
  EXPECT_TRUE(IsValidStoredName("  padded  "));        // checked after trimming
  EXPECT_TRUE(IsValidStoredName("mid!bang"));
  EXPECT_TRUE(IsValidStoredName(" " + std::string(kMaxStoredNameBytes, 'n') + " "));
}

TEST(NameValidationTest, RefusesBlankDotAndOverLongNames) {
  EXPECT_FALSE(IsValidStoredName(""));
  EXPECT_FALSE(IsValidStoredName("   \t "));
  EXPECT_FALSE(IsValidStoredName("."));
  EXPECT_FALSE(IsValidStoredName(".."));
  EXPECT_FALSE(IsValidStoredName(" .. "));
  EXPECT_FALSE(IsValidStoredName(std::string(kMaxStoredNameBytes + 1, 'n')));
}

TEST(NameValidationTest, RefusesCommentMarkerAfterTrimming) {
  EXPECT_FALSE(IsValidStoredName("!draft"));
  EXPECT_FALSE(IsValidStoredName("  !draft"));
}

TEST(NameValidationTest, RefusesSeparatorsAndControlBytes) {
  EXPECT_FALSE(IsValidStoredName("a/b"));
  EXPECT_FALSE(IsValidStoredName("a\\b"));
  EXPECT_FALSE(IsValidStoredName("../etc"));
  EXPECT_FALSE(IsValidStoredName("line\nbreak"));
  EXPECT_FALSE(IsValidStoredName("line\rbreak"));
  EXPECT_FALSE(IsValidStoredName("tab\tinside"));
  EXPECT_FALSE(IsValidStoredName("del\x7F"));
  EXPECT_FALSE(IsValidStoredName(std::string("nul\0byte", 8)));
  EXPECT_FALSE(IsValidStoredName("bell\x07"));
}
