#include "client/document/LocalFileEntry.h"

#include <gtest/gtest.h>

#include "platform/Clock.h"

namespace {

LocalFileEntry Entry(const std::string& base, const std::string& extension, bool directory) {
  LocalFileEntry entry;
  entry.SetAll(base, extension, false, false, directory, 7, false);
  return entry;
}

TEST(LocalFileEntryTest, ClearedEntryAndCopies) {
  platform::SetClockForTesting([] { return platform::LocalTime{2026, 12, 8, 21, 5, 9}; });
  LocalFileEntry entry;
  EXPECT_TRUE(entry.IsReadOnly());
  EXPECT_FALSE(entry.IsCheckedOut() || entry.IsProjectMember() || entry.IsDirectory());
  EXPECT_EQ(entry.GetTag(), -1);
  EXPECT_EQ(entry.GetSize(), 0);
  EXPECT_EQ(entry.GetModified().Format(), "20261208210509");

  LocalFileEntry other = Entry("big", "bin", false);
  other.SetSize(5LL << 30);
  other.SetModified(2004, 3, 1, 12, 30, 5);
  entry = other;
  EXPECT_EQ(entry.GetSize(), 5LL << 30);
  EXPECT_EQ(entry.GetTag(), 7);
  EXPECT_EQ(entry.GetModified().Format(), "20040301123005");
  entry.SetModified(12345, 1, 1, 0, 0, 0);
  entry.SetModified(2005, 1, 1, -1, 0, 0);
  EXPECT_EQ(entry.GetModified().Format(), "20040301123005");
  platform::SetClockForTesting(nullptr);
}

TEST(LocalFileEntryTest, FileNameJoinsTheExtension) {
  EXPECT_EQ(Entry("report.txt", "", false).GetFileName(), "report.txt");
  EXPECT_EQ(Entry("report", "txt", false).GetFileName(), "report.txt");
  EXPECT_EQ(Entry("report", ".txt", false).GetFileName(), "report.txt");
}

TEST(LocalFileEntryTest, ModifiedTextUsesTheUserDateFormat) {
  platform::SetDateLocaleForTesting([] { return platform::DateLocale{"DD.MM.YYYY", "."}; });
  LocalFileEntry entry;
  entry.SetModified(2004, 3, 1, 12, 30, 5);
  EXPECT_EQ(entry.GetModifiedText(), "01.03.2004 12:30:05");
  platform::SetDateLocaleForTesting(nullptr);
}

TEST(LocalFileEntryTest, FoldersFirstThenNamesIgnoringCase) {
  const LocalFileEntry folder = Entry("zeta", "", true);
  const LocalFileEntry lower = Entry("alpha", "txt", false);
  const LocalFileEntry upper = Entry("ALPHA", "TXT", false);
  const LocalFileEntry later = Entry("alpha", "uvw", false);
  const LocalFileEntry bracket = Entry("[", "", false);   // before letters once they are lower case
  EXPECT_TRUE(folder < lower);
  EXPECT_TRUE(lower == upper && lower <= upper && lower >= upper);
  EXPECT_TRUE(lower < later && later > upper && lower != later);
  EXPECT_TRUE(bracket < upper);
  EXPECT_NE(Entry("alpha", "txt", true), lower);
}

}  // namespace
