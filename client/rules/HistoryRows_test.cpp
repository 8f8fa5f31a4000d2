#include "client/rules/HistoryRows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DocumentVersionEntry Version(std::int32_t number, std::int32_t size, const std::string& author, const char* date,
                             const std::string& comment, const std::string& holder = "",
                             const char* heldSince = "00000000000000") {
  DocumentVersionEntry entry;
  entry.SetName("notes.txt");
  entry.SetVersion(number);
  entry.SetFileSize(size);
  entry.SetAuthor(author);
  DateTime when;
  EXPECT_TRUE(when.Parse(date));
  entry.SetVersionDate(when);
  entry.SetComment(comment);
  entry.SetCheckedOutTo(holder);
  DateTime held;
  EXPECT_TRUE(held.Parse(heldSince));
  entry.SetCheckOutDate(held);
  return entry;
}

TEST(HistoryRowsTest, EachStoredVersionIsARowNewestFirstWithItsHolderWhereHeld) {
  VersionedDocument document;
  document.AddVersion(Version(3, 1234, "bob", "20261203091500", "third\r\nline", "ann", "20261204100000"));
  document.AddVersion(Version(2, 20, "ann", "20261202080000", "second"));
  document.AddVersion(Version(0, 0, "", "00000000000000", ""));   // names no version
  document.AddVersion(Version(1, 10, "ann", "20261201070000", "first"));
  const platform::DateLocale dates{"YYYY-MM-DD", "-"};
  const HistoryRows history(document, platform::NumberLocale{}, dates);

  const struct {
    std::int32_t version;
    std::vector<std::string> cells;
  } expected[] = {
      {3, {"3", Version(3, 0, "", "20261203091500", "").GetVersionDate().FormatForDisplay(4, dates), "bob",
           "1,234 Bytes", "third  line", "ann",
           Version(3, 0, "", "20261204100000", "").GetVersionDate().FormatForDisplay(4, dates)}},
      {2, {"2", Version(2, 0, "", "20261202080000", "").GetVersionDate().FormatForDisplay(4, dates), "ann",
           "20 Bytes", "second", "", ""}},
      {1, {"1", Version(1, 0, "", "20261201070000", "").GetVersionDate().FormatForDisplay(4, dates), "ann",
           "10 Bytes", "first", "", ""}},
  };
  ASSERT_EQ(history.GetRows().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const HistoryRows::Row& row = history.GetRows()[i];
    EXPECT_EQ(row.version, expected[i].version);
    EXPECT_EQ(std::vector<std::string>(std::begin(row.cells), std::end(row.cells)), expected[i].cells) << i;
  }
  EXPECT_EQ(history.GetLatestVersion(), 3);
  EXPECT_EQ(history.FindVersion(2)->size, 20);
  EXPECT_EQ(history.FindVersion(0), nullptr);
  EXPECT_NE(expected[0].cells[1], expected[0].cells[6]) << "the dates of version and check-out differ";
}

}  // namespace
