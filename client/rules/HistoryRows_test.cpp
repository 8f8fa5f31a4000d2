#include "client/rules/HistoryRows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DocumentVersionEntry Version(std::int32_t number, std::int32_t size, const std::string& comment,
                             const std::string& holder = "") {
  DocumentVersionEntry entry;
  entry.SetVersion(number);
  entry.SetFileSize(size);
  entry.SetAuthor("ann");
  entry.SetComment(comment);
  entry.SetCheckedOutTo(holder);
  DateTime held;
  EXPECT_TRUE(held.Parse("20261204100000"));
  entry.SetCheckOutDate(held);
  return entry;
}

TEST(HistoryRowsTest, EachStoredVersionIsARowNewestFirstWithItsHolderWhereHeld) {
  VersionedDocument document;
  for (const DocumentVersionEntry& entry : {Version(3, 1234, "third\r\nline", "bob"), Version(2, 20, "second"),
                                            Version(0, 0, ""), Version(1, 10, "first")}) {
    document.AddVersion(entry);
  }
  const platform::DateLocale dates{"YYYY-MM-DD", "-"};
  const HistoryRows history(document, platform::NumberLocale{}, dates);
  const std::string held = document.GetVersion(0)->GetCheckOutDate().FormatForDisplay(4, dates);
  const std::vector<std::vector<std::string>> expected = {{"3", "ann", "1,234 Bytes", "third  line", "bob", held},
                                                          {"2", "ann", "20 Bytes", "second", "", ""},
                                                          {"1", "ann", "10 Bytes", "first", "", ""}};
  ASSERT_EQ(history.GetRows().size(), expected.size()) << "an entry of no version is left out";
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto& cells = history.GetRows()[i].cells;
    EXPECT_EQ((std::vector<std::string>{cells[0], cells[2], cells[3], cells[4], cells[5], cells[6]}), expected[i]);
  }
  EXPECT_EQ(history.GetLatestVersion(), 3);
  EXPECT_EQ(history.FindVersion(2)->size, 20);
  EXPECT_EQ(history.FindVersion(0), nullptr);
}

}  // namespace
