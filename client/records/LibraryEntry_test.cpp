#include "client/records/LibraryEntry.h"

#include <gtest/gtest.h>

namespace {

TEST(LibraryEntryTest, LineIsByteExactWithInnerQuotesDoubled) {
  const LibraryEntry entry("The \"Main\" Library", "0A1B", 2);
  EXPECT_EQ(entry.Write(), "\"The \"\"Main\"\" Library\",\"0A1B\",2\n");

  LibraryEntry read;
  EXPECT_EQ(read.Read(entry.Write() + "\"Next\",\"FF\",1\n"), "\"Next\",\"FF\",1\n");
  EXPECT_EQ(read, entry);
}

TEST(LibraryEntryTest, SettersTrimButReadingDoesNot) {
  LibraryEntry entry;
  entry.SetName("  Lib \t");
  entry.SetKeyText(" AB ");
  EXPECT_EQ(entry.GetName(), "Lib");
  EXPECT_EQ(entry.GetKeyText(), "AB");

  entry.Read("\" Lib \",\" AB \",1\n");
  EXPECT_EQ(entry.GetName(), " Lib ");
  EXPECT_EQ(entry.GetKeyText(), " AB ");
}

TEST(LibraryEntryTest, MissingFieldsReadAsEmptyOrZero) {
  LibraryEntry entry("Old", "FF", 1);
  EXPECT_EQ(entry.Read("\"Lib\"\n"), "");
  EXPECT_EQ(entry.GetName(), "Lib");
  EXPECT_EQ(entry.GetKeyText(), "");
  EXPECT_EQ(entry.GetKeyLength(), 0);
}

}  // namespace
