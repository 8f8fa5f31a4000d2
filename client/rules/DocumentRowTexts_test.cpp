#include "client/rules/DocumentRowTexts.h"

#include <gtest/gtest.h>

#include "client/library/VersionedDocumentList.h"
#include "client/rules/DocumentRowModel.h"
#include "server/store/FileStatistics.h"

namespace {

TEST(DocumentRowTexts, SizeCellIsGroupedByTheUsersLocale) {
  const struct {
    std::int32_t size;
    platform::NumberLocale locale;
    std::string expected;
  } cases[] = {
      {999, {}, "999 Bytes"},
      {1000, {}, "1,000 Bytes"},
      {1234567, {}, "1,234,567 Bytes"},
      {1234567, {4, "."}, "123.4567 Bytes"},
  };
  for (const auto& c : cases) {
    platform::SetNumberLocaleForTesting([&] { return c.locale; });
    DocumentVersionEntry version;
    version.SetFileSize(c.size);
    EXPECT_EQ(DocumentRowTexts::Cells(version, false, " ", platform::UserNumberLocale(), platform::UserDateLocale())[4], c.expected);
  }
  platform::SetNumberLocaleForTesting(nullptr);
}

TEST(DocumentRowTexts, SummaryKeepsTheFirst150CharactersOnOneLine) {
  const std::string hundred(100, 'x');
  const std::string euro = "\xe2\x82\xac";
  const struct {
    std::string comment;
    std::string expected;
  } cases[] = {
      {"short", "short"},
      {"two\r\nlines\nand\rmore", "two  lines and more"},
      {"field\1\2breaks", "field  breaks"},                      // as stored in record files
      {hundred + std::string(60, 'y'), hundred + std::string(50, 'y')},
      {std::string(149, 'a') + euro + "tail", std::string(149, 'a') + euro},   // whole character at the cut
      {std::string(148, 'a') + "\r\n" + euro, std::string(148, 'a') + "  "},
  };
  for (const auto& c : cases) EXPECT_EQ(DocumentRowTexts::Summary(c.comment), c.expected) << c.comment;
}

// A version-list reply of one document as the server writes it, read as the client
// reads it: the original edition is version 1 of 3.
// The details of a version in user-facing names, with date and size in the user's
// locales; the original edition as the server's list marks it.
TEST(DocumentRowTexts, InformationShowsUserFacingNamesDateAndSizeAndTheOriginalEdition) {
  platform::SetNumberLocaleForTesting([] { return platform::NumberLocale{3, "."}; });
  platform::SetDateLocaleForTesting([] { return platform::DateLocale{"DD.MM.YYYY", "."}; });
  FileStatistics statistics;
  for (int number = 1; number <= 3; ++number) {
    FileEntry version;
    version.SetName("plan.dwg");
    version.SetInternalFileName("F_" + std::to_string(number));
    version.SetVersion(number);
    version.SetAuthor("ann");
    version.SetFileSize(1234567 * number);
    DateTime created;
    ASSERT_TRUE(created.Parse("2026120" + std::to_string(number) + "093000"));
    version.SetCreatedTime(created);
    if (number == 2) {
      version.SetCheckedOutTo("bob");
      version.SetCheckedOutTime(created);
    }
    version.SetComments("first\1\2second\1third");
    version.SetOriginalEdition(number == 1);
    statistics.AddVersion(version);
  }
  QuotedLines lines("\"Drawings\",\"P_1\",1\n" + statistics.EncodeVersions());
  VersionedDocumentList list;
  ASSERT_TRUE(list.Read(lines));
  VersionedDocument& document = *list.GetAt(0);
  document.SetSelectedIndexOldestFirst(document.GetSelectedIndex());
  ASSERT_EQ(document.GetVersionCount(), 3);

  DocumentRowModel rows;
  rows.GetList() = list;
  rows.Fill("unused", true, {});
  rows.Expand(0, {});
  ASSERT_EQ(rows.GetRowCount(), 4);
  const std::string shown = rows.BuildRowInformation(3, false, {});
  EXPECT_EQ(shown,
            "plan.dwg\nProject: Drawings\nVersion: 1\nThis is the original file for this edition\nAuthor: ann\n"
            "Date: 01.12.2026 09:30:00\nSize: 1.234.567 Bytes\n\nComment:\nfirst \nsecond\nthird\n");
  EXPECT_NE(rows.BuildRowInformation(2, false, {}).find("\nSize: 2.469.134 Bytes\nChecked out to bob on 02.12.2026"),
            std::string::npos)
      << rows.BuildRowInformation(2, false, {});
  platform::SetNumberLocaleForTesting(nullptr);
  platform::SetDateLocaleForTesting(nullptr);
  for (int row : {0, 1, 2}) {
    EXPECT_EQ(rows.BuildRowInformation(row, false, {}).find("original file"), std::string::npos) << row;
  }
  EXPECT_EQ(rows.BuildRowInformation(3, false, {true, false, true}).find("original file"), std::string::npos);
}

}  // namespace
