#include "client/library/DocumentVersionEntry.h"

#include <gtest/gtest.h>

namespace {

// A row exactly as the server writes it; its comment's line break travels as bytes 1, 2.
constexpr const char* kServerRow =
    "\"Plan \"\"A\"\".txt\",\"WXFiName_Hi0Lo7\",3,120,\"ann\",\"20040301123005\",\"one\1\2two\","
    "\"bob\",\"20040302080000\",1,0,1\n";

TEST(DocumentVersionEntryTest, ReadsAndWritesTheServerRow) {
  DocumentVersionEntry entry;
  EXPECT_EQ(entry.Decode(std::string(kServerRow) + "next"), "next");
  EXPECT_EQ(entry.GetName(), "Plan \"A\".txt");
  EXPECT_EQ(entry.GetIndexName(), "WXFiName_Hi0Lo7");
  EXPECT_EQ(entry.GetVersion(), 3);
  EXPECT_EQ(entry.GetFileSize(), 120);
  EXPECT_EQ(entry.GetAuthor(), "ann");
  EXPECT_EQ(entry.GetVersionDate().Format(), "20040301123005");
  EXPECT_EQ(entry.GetComment(), "one\r\ntwo");
  EXPECT_EQ(entry.GetCheckedOutTo(), "bob");
  EXPECT_TRUE(entry.IsCheckedOut());
  EXPECT_EQ(entry.GetCheckOutDate().Format(), "20040302080000");
  EXPECT_TRUE(entry.HasInternalProjectName());
  EXPECT_FALSE(entry.HasReferences());
  EXPECT_TRUE(entry.IsOriginalEdition());
  // Written back in the same layout, the line break raw inside its quotes.
  EXPECT_EQ(entry.Encode(),
            "\"Plan \"\"A\"\".txt\",\"WXFiName_Hi0Lo7\",3,120,\"ann\",\"20040301123005\",\"one\r\ntwo\","
            "\"bob\",\"20040302080000\",1,0,1\n");
}

TEST(DocumentVersionEntryTest, ShortRowLeavesTheMissingFieldsCleared) {
  DocumentVersionEntry entry;
  entry.DecodeLine(kServerRow);
  entry.DecodeLine("\"a.txt\",\"WXF1\",2");
  EXPECT_EQ(entry.GetName(), "a.txt");
  EXPECT_EQ(entry.GetVersion(), 2);
  EXPECT_EQ(entry.GetFileSize(), 0);
  EXPECT_EQ(entry.GetAuthor(), "");
  EXPECT_EQ(entry.GetComment(), "");
  EXPECT_FALSE(entry.IsCheckedOut());
  EXPECT_EQ(entry.GetCheckOutDate().Format(), DocumentVersionEntry().GetCheckOutDate().Format());
  EXPECT_FALSE(entry.IsOriginalEdition());
}

TEST(DocumentVersionEntryTest, ReadRowDropsARowCutInsideItsQuotes) {
  QuotedLines lines(std::string(kServerRow) + "\"b.txt\",\"WXF2\",1,5,\"ann\",\"2004\",\"cut short");
  DocumentVersionEntry entry;
  EXPECT_TRUE(entry.ReadRow(lines));
  EXPECT_EQ(entry.GetIndexName(), "WXFiName_Hi0Lo7");
  EXPECT_FALSE(entry.ReadRow(lines));
  EXPECT_EQ(entry.GetName(), "");
  EXPECT_FALSE(entry.ReadRow(lines));
}

}  // namespace
