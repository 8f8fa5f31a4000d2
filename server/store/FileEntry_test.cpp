#include "server/store/FileEntry.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "server/store/LimitedOutput_test.h"

namespace {

using Lines = std::vector<std::string>;

// Every key of a complete section, in written order.
Lines CompleteFields() {
  return {"NAME=Plan.txt",         "INTERNALFILENAME=WXFiName_Hi0Lo7", "INTERNALPROJECTNAME=",
          "LINKVERSION=-1",        "VERSION=1",
          "AUTHOR=anna",           "VERSIONCREATEDDATETIME=20240102030405",
          "COMMENTS=First draft",  "CHECKINSTATUS=-1",
          "CHECKEDOUTTO=",         "CHECKEDOUTDATETIME=00000000000000",
          "CHECKOUTSTATUS=-1",     "FILESIZEBYTES=120",
          "ORIGINALEDITION=0",     "BREAKREFERENCEONCHECKIN=0",
          "CHECKOUTREFERENCE="};
}

std::string Section(const Lines& fields, bool withLinks = true) {
  std::string text = "Start FileEntry\r\r\n";
  for (const std::string& field : fields) text += field + "\r\r\n";
  if (withLinks) text += "Start ActiveFileLink\r\r\nEnd ActiveFileLink\r\r\n";
  return text + "End FileEntry\r\r\n";
}

Lines Without(const std::string& keyPrefix) {
  Lines fields = CompleteFields();
  std::erase_if(fields, [&keyPrefix](const std::string& f) { return f.rfind(keyPrefix + "=", 0) == 0; });
  return fields;
}

Lines With(const std::string& keyPrefix, const std::string& value) {
  Lines fields = Without(keyPrefix);
  fields.push_back(keyPrefix + "=" + value);
  return fields;
}

int ReadFrom(const std::string& text, FileEntry& entry) {
  std::istringstream in(text);
  int lines = 0;
  return entry.Read(in, lines, "");
}

}  // namespace

TEST(FileEntryTest, CompleteSectionWritesByteExactAndReadsBack) {
  FileEntry entry;
  ASSERT_EQ(ReadFrom(Section(CompleteFields()), entry), 0);
  EXPECT_EQ(entry.GetName(), "Plan.txt");
  EXPECT_EQ(entry.GetCreatedTime().Format(), "20240102030405");
  EXPECT_EQ(entry.GetFileSize(), 120);
  EXPECT_EQ(entry.GetVersionFileName(), "WXFiName_Hi0Lo7Ver1.wxf");

  std::ostringstream out;
  ASSERT_EQ(entry.Write(out), 0);
  EXPECT_EQ(out.str(), Section(CompleteFields()));
}

TEST(FileEntryTest, KeysMatchInAnyCaseAndCommentLinesAreSkipped) {
  Lines fields = Without("NAME");
  fields.insert(fields.begin(), {"", "! old name follows", "  name = Plan.txt  ", "   "});
  FileEntry entry;
  ASSERT_EQ(ReadFrom(Section(fields), entry), 0);
  EXPECT_EQ(entry.GetName(), "Plan.txt");
}

TEST(FileEntryTest, OptionalKeysAndEmptyHolder) {
  FileEntry entry;
  ASSERT_EQ(ReadFrom(Section(Without("CHECKOUTREFERENCE")), entry), 0);
  EXPECT_EQ(entry.GetCheckOutReference(), "");
  ASSERT_EQ(ReadFrom(Section(Without("ORIGINALEDITION")), entry), 0);
  ASSERT_EQ(ReadFrom(Section(With("ORIGINALEDITION", "7")), entry), 0);
  EXPECT_TRUE(entry.IsOriginalEdition());
  ASSERT_EQ(ReadFrom(Section(With("VERSION", "4")), entry), 0) << "a repeated key keeps its last value";
  EXPECT_EQ(entry.GetVersion(), 4);
}

TEST(FileEntryTest, EveryMissingKeyHasItsCode) {
  const std::pair<const char*, int> cases[] = {
      {"NAME", FileEntry::kNameMissing},
      {"INTERNALFILENAME", FileEntry::kInternalFileNameMissing},
      {"VERSION", FileEntry::kVersionMissing},
      {"AUTHOR", FileEntry::kAuthorMissing},
      {"VERSIONCREATEDDATETIME", FileEntry::kCreatedTimeMissing},
      {"COMMENTS", FileEntry::kCommentsMissing},
      {"CHECKINSTATUS", FileEntry::kCheckInStatusMissing},
      {"CHECKEDOUTTO", FileEntry::kCheckedOutToMissing},
      {"CHECKEDOUTDATETIME", FileEntry::kCheckedOutTimeMissing},
      {"CHECKOUTSTATUS", FileEntry::kCheckOutStatusMissing},
      {"FILESIZEBYTES", FileEntry::kFileSizeMissing},
  };
  for (const auto& [key, code] : cases) {
    FileEntry entry;
    EXPECT_EQ(ReadFrom(Section(Without(key)), entry), code) << key;
  }
  FileEntry entry;
  EXPECT_EQ(ReadFrom(Section(CompleteFields(), false), entry), FileEntry::kLinksMissing);
}

TEST(FileEntryTest, InvalidValuesAndLinesHaveTheirCodes) {
  FileEntry entry;
  EXPECT_EQ(ReadFrom(Section(With("NAME", "")), entry), FileEntry::kNameMissing);
  EXPECT_EQ(ReadFrom(Section(With("INTERNALFILENAME", " ")), entry), FileEntry::kInternalFileNameMissing);
  EXPECT_EQ(ReadFrom(Section(With("VERSION", "0")), entry), FileEntry::kVersionMissing);
  EXPECT_EQ(ReadFrom(Section(With("AUTHOR", "")), entry), FileEntry::kAuthorMissing);

  Lines reference = With("INTERNALPROJECTNAME", "WXFiName_Hi0Lo3");
  EXPECT_EQ(ReadFrom(Section(reference), entry), FileEntry::kLinkVersionMissing);
  reference.push_back("LINKVERSION=2");
  EXPECT_EQ(ReadFrom(Section(reference), entry), 0);

  EXPECT_EQ(ReadFrom(Section(With("COLOUR", "blue")), entry), FileEntry::kBadLine);
  Lines noEquals = CompleteFields();
  noEquals.push_back("just text");
  EXPECT_EQ(ReadFrom(Section(noEquals), entry), FileEntry::kBadLine);
  noEquals.back() = "=value";
  EXPECT_EQ(ReadFrom(Section(noEquals), entry), FileEntry::kBadLine);

  EXPECT_EQ(ReadFrom("Start FileEntries\r\r\n", entry), FileEntry::kStartMissing);
  EXPECT_EQ(ReadFrom("Start FileEntry\r\r\nNAME=a\r\r\n", entry), FileEntry::kEndOfFile);
  EXPECT_EQ(entry.GetName(), "a") << "a failed read keeps what was read";
  EXPECT_EQ(ReadFrom("", entry), FileEntry::kEndOfFile);
}

TEST(FileEntryTest, LinkCodesPassThrough) {
  Lines fields = CompleteFields();
  fields.push_back("Start ActiveFileLink");
  fields.push_back("Start ActiveFileLinkEntry");
  fields.push_back("P");
  FileEntry entry;
  EXPECT_EQ(ReadFrom(Section(fields, false), entry), ActiveFileLinkEntry::kEndOfFile);
}

TEST(FileEntryTest, CommentsKeepLineBreaksAndApostrophesOnOneLine) {
  FileEntry entry;
  entry.SetComments("Fixed it's title\r\nSecond line");
  std::ostringstream out;
  ASSERT_EQ(entry.Write(out), 0);
  EXPECT_NE(out.str().find("COMMENTS=Fixed it''s title\xFE\xFFSecond line\r\r\n"), std::string::npos);
}

TEST(FileEntryTest, WriteFailureIsReported) {
  FileEntry entry;
  entry.AddLink("P");
  std::ostringstream full;
  ASSERT_EQ(entry.Write(full), 0);
  LimitedOutput atStart(3);
  EXPECT_EQ(entry.Write(atStart.Stream()), FileEntry::kNotWritable);
  LimitedOutput inFields(60);
  EXPECT_EQ(entry.Write(inFields.Stream()), FileEntry::kNotWritable) << "failures after the first line count";
  LimitedOutput atEnd(full.str().size() - 1);
  EXPECT_EQ(entry.Write(atEnd.Stream()), FileEntry::kNotWritable);
}

TEST(FileEntryTest, EncodeRowFieldsInOrder) {
  FileEntry entry;
  ASSERT_EQ(ReadFrom(Section(With("COMMENTS", "say \"hi\"\xFE\xFFnow")), entry), 0);
  entry.SetInternalProjectName("WXFiName_Hi0Lo3");
  entry.AddLink("Q");
  std::string row = "prefix\n";
  EXPECT_EQ(entry.EncodeRow(row),
            "prefix\n\"Plan.txt\",\"WXFiName_Hi0Lo7\",1,120,\"anna\",\"20240102030405\","
            "\"say \"\"hi\"\"\x01\x02now\",\"\",\"00000000000000\",1,1,0\n");
}
