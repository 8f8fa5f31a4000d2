#include "client/records/FolderRule.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(FolderRuleTest, LineIsByteExactAndAppendsWithOneSeparator) {
  const FolderRule rule(FolderRule::kDocumentsNamed, "Notes?.txt \"v\"");
  EXPECT_EQ(rule.ToRecordString(), "1000,1,5,\"Notes?.txt \"\"v\"\"\"\n");
  EXPECT_EQ(rule.ToRecordString("x"), "x,1000,1,5,\"Notes?.txt \"\"v\"\"\"\n");
  EXPECT_EQ(rule.ToRecordString("x,"), "x,1000,1,5,\"Notes?.txt \"\"v\"\"\"\n");
  EXPECT_EQ(rule.ToRecordString("x\n"), "x\n1000,1,5,\"Notes?.txt \"\"v\"\"\"\n");
}

TEST(FolderRuleTest, ReadsItsLineAndLeavesForeignRecordsAlone) {
  FolderRule rule;
  EXPECT_EQ(rule.FromRecordString("1000,7,2,\"src\"\nrest"), "rest");
  EXPECT_EQ(rule.GetType(), FolderRule::kFoldersNamed);
  EXPECT_EQ(rule.GetParameter(), "src");

  const std::string foreign = "1010,1,1,0\n1000,1,1,\"\"\n";
  EXPECT_EQ(rule.FromRecordString(foreign), foreign);
  EXPECT_EQ(rule.GetType(), FolderRule::kNone);
  EXPECT_EQ(rule.GetParameter(), "");
}

TEST(FolderRuleTest, ParametersWithLineBreaksAreRefused) {
  FolderRule rule(FolderRule::kDocumentsNamed, "a.txt");
  EXPECT_FALSE(rule.SetParameter("a\nb"));
  EXPECT_FALSE(rule.SetParameter("a\rb"));
  EXPECT_EQ(rule.GetParameter(), "a.txt");
  EXPECT_EQ(FolderRule(FolderRule::kDocumentsNamed, "x\ny"), FolderRule());

  const std::string quotedBreak = "1000,1,5,\"a\nb\"\n";
  EXPECT_EQ(rule.FromRecordString(quotedBreak), quotedBreak);
  EXPECT_EQ(rule.GetType(), FolderRule::kNone);
}

TEST(FolderRuleTest, StreamReadFailsOnAForeignLineAndLeavesItInTheStream) {
  std::istringstream in("1000,1,3,\"\"\r\n1010,1,0,0\r\n");
  FolderRule rule;
  ASSERT_TRUE(rule.Read(in));
  EXPECT_EQ(rule.GetType(), FolderRule::kAllDocuments);
  EXPECT_FALSE(rule.Read(in));
  std::string next;
  std::getline(in, next);
  EXPECT_EQ(next, "1010,1,0,0\r");
  EXPECT_FALSE(rule.Read(in));   // end of stream
}

TEST(FolderRuleTest, StreamWriteFailsOnAFailedStream) {
  std::ostringstream out;
  const FolderRule rule(FolderRule::kAllFolders, "");
  ASSERT_TRUE(rule.Write(out));
  EXPECT_EQ(out.str(), "1000,1,1,\"\"\n");
  out.setstate(std::ios::failbit);
  EXPECT_FALSE(rule.Write(out));
}

}  // namespace
