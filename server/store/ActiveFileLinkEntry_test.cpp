#include "server/store/ActiveFileLinkEntry.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "server/store/LimitedOutput_test.h"

namespace {

std::string EntryText(const std::string& name, const std::string& count, const std::string& flag) {
  return "Start ActiveFileLinkEntry\r\r\n" + name + "\r\r\n" + count + "\r\r\n" + flag +
         "\r\r\nEnd ActiveFileLinkEntry\r\r\n";
}

int ReadFrom(const std::string& text, ActiveFileLinkEntry& entry) {
  std::istringstream in(text);
  int lines = 0;
  return entry.Read(in, lines, "");
}

}  // namespace

TEST(ActiveFileLinkEntryTest, WritesFiveLinesAndReadsThemBack) {
  ActiveFileLinkEntry entry("WXFiName_Hi0Lo4", 3);
  entry.SetFlag(true);
  std::ostringstream out;
  ASSERT_EQ(entry.Write(out), 0);
  EXPECT_EQ(out.str(), EntryText("WXFiName_Hi0Lo4", "3", "True"));

  ActiveFileLinkEntry back;
  ASSERT_EQ(ReadFrom(out.str(), back), 0);
  EXPECT_EQ(back.GetName(), "WXFiName_Hi0Lo4");
  EXPECT_EQ(back.GetCount(), 3);
  EXPECT_TRUE(back.GetFlag());
}

TEST(ActiveFileLinkEntryTest, FlagIsTrueOnlyForTrueInAnyCase) {
  for (const char* text : {"True", "true", "TRUE"}) {
    ActiveFileLinkEntry entry;
    ASSERT_EQ(ReadFrom(EntryText("P", "1", text), entry), 0);
    EXPECT_TRUE(entry.GetFlag()) << text;
  }
  for (const char* text : {"False", "yes", "1", "TRUE!"}) {
    ActiveFileLinkEntry entry;
    ASSERT_EQ(ReadFrom(EntryText("P", "1", text), entry), 0);
    EXPECT_FALSE(entry.GetFlag()) << text;
  }
}

TEST(ActiveFileLinkEntryTest, CountIsNeverNegative) {
  ActiveFileLinkEntry entry;
  ASSERT_EQ(ReadFrom(EntryText("P", "many", "False"), entry), 0);
  EXPECT_EQ(entry.GetCount(), 0);
  ASSERT_EQ(ReadFrom(EntryText("P", "-4", "False"), entry), 0);
  EXPECT_EQ(entry.GetCount(), 0);
  entry.DecrementCount();
  EXPECT_EQ(entry.GetCount(), 0);
  entry.IncrementCount();
  EXPECT_EQ(entry.GetCount(), 1);
}

TEST(ActiveFileLinkEntryTest, ReadCodes) {
  ActiveFileLinkEntry entry;
  EXPECT_EQ(ReadFrom("Start Something\r\r\n", entry), ActiveFileLinkEntry::kStartMissing);
  EXPECT_EQ(ReadFrom("", entry), ActiveFileLinkEntry::kEndOfFile);
  EXPECT_EQ(ReadFrom("Start ActiveFileLinkEntry\r\r\nP\r\r\n2\r\r\n", entry), ActiveFileLinkEntry::kEndOfFile);
  EXPECT_EQ(ReadFrom("Start ActiveFileLinkEntry\r\r\nP\r\r\n2\r\r\nTrue\r\r\nEnd FileEntry\r\r\n", entry),
            ActiveFileLinkEntry::kEndMissing);
}

TEST(ActiveFileLinkEntryTest, WriteFailureAtAnyLineIsReported) {
  const ActiveFileLinkEntry entry("WXFiName_Hi0Lo4", 2);
  std::ostringstream full;
  ASSERT_EQ(entry.Write(full), 0);
  for (std::size_t limit : {std::size_t{0}, std::size_t{10}, full.str().size() - 1}) {
    LimitedOutput out(limit);
    EXPECT_EQ(entry.Write(out.Stream()), ActiveFileLinkEntry::kNotWritable) << limit;
  }
}
