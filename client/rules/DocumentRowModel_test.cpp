#include "client/rules/DocumentRowModel.h"

#include <gtest/gtest.h>

#include "client/library/DocumentListTestData_test.h"

namespace {

using document_list_test::Document;
using document_list_test::List;

constexpr PublicationFlags kIdle{};

TEST(DocumentRowModel, FillAndRefreshScanForTheShownVersionDifferently) {
  const struct {
    VersionedDocument document;
    DocumentRowModel::ShownVersion fill;
    DocumentRowModel::ShownVersion refresh;
  } cases[] = {
      {Document("d", {{3}, {2}, {1}}), {0, -1}, {0, -1}},
      {Document("d", {{1}, {3}, {2}}), {1, -1}, {1, -1}},
      // A checked-out version ends the fill's scan: the higher one behind it is not shown.
      {Document("d", {{1}, {2, "ann"}, {5}}), {0, 1}, {2, 1}},
      // Two checked out: the fill names the first, the refresh the last.
      {Document("d", {{4, "ann"}, {3}, {2, "bob"}}), {0, 0}, {0, 2}},
      {Document("d", {{0}, {0}}), {0, -1}, {-1, -1}},
  };
  for (const auto& c : cases) {
    const auto fill = DocumentRowModel::ScanForFill(c.document);
    const auto refresh = DocumentRowModel::ScanForRefresh(c.document);
    EXPECT_EQ(fill.version, c.fill.version);
    EXPECT_EQ(fill.statusVersion, c.fill.statusVersion);
    EXPECT_EQ(refresh.version, c.refresh.version);
    EXPECT_EQ(refresh.statusVersion, c.refresh.statusVersion);
  }
}

TEST(DocumentRowModel, PlainClientKeepsTheLastInformationWhenNoRowIsHit) {
  DocumentRowModel rows;
  rows.GetList() = List({Document("a", {{1}})});
  rows.Fill("cache", true, kIdle);
  const std::string first = rows.BuildRowInformation(0, false, kIdle);
  EXPECT_EQ(first.rfind("a\nProject: ", 0), 0u) << first;
  EXPECT_EQ(rows.BuildRowInformation(-1, true, kIdle), first);
  EXPECT_EQ(rows.GetRowUnderCursor(), -1);
  EXPECT_EQ(rows.BuildRowInformation(-1, false, kIdle), "");
}

}  // namespace
