#include "client/library/VersionedDocument.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

VersionedDocument WithVersions(const std::vector<std::int32_t>& numbers) {
  VersionedDocument document;
  for (const std::int32_t number : numbers) {
    DocumentVersionEntry version;
    version.SetName("a.txt");
    version.SetVersion(number);
    document.AddVersion(version);
  }
  return document;
}

TEST(VersionedDocumentTest, SelectLatestTakesTheFirstGreatestNumberAboveZero) {
  VersionedDocument document = WithVersions({3, 5, 5});
  document.SelectLatestVersion();
  EXPECT_EQ(document.GetSelectedIndex(), 1);
  document = WithVersions({0, 0});
  document.SetSelectedIndex(1);
  document.SelectLatestVersion();
  EXPECT_EQ(document.GetSelectedIndex(), -1);
}

// The server counts its versions oldest first; its rows run newest first.
TEST(VersionedDocumentTest, OldestFirstIndexSelectsTheMatchingRow) {
  VersionedDocument document = WithVersions({3, 2, 1});
  const std::vector<std::pair<std::int32_t, std::int32_t>> cases{{0, 2}, {2, 0}, {1, 1}, {3, -1}, {-1, -1}};
  for (const auto& [serverIndex, row] : cases) {
    document.SetSelectedIndexOldestFirst(serverIndex);
    EXPECT_EQ(document.GetSelectedIndex(), row) << serverIndex;
  }
  document.SetSelectedIndex(7);
  EXPECT_EQ(document.GetSelectedIndex(), -1);
}

TEST(VersionedDocumentTest, ReadStopsAtTheRowsPresent) {
  QuotedLines lines("1000000,5\n\"a\",\"WA\",2\n\"a\",\"WA\",1\n");
  VersionedDocument document;
  EXPECT_FALSE(document.Read(lines));
  EXPECT_EQ(document.GetVersionCount(), 2);
  EXPECT_EQ(document.GetSelectedIndex(), -1);
  QuotedLines empty("");
  EXPECT_FALSE(document.Read(empty));
  EXPECT_EQ(document.GetVersionCount(), 0);
}

}  // namespace
