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

TEST(DocumentRowModel, AFilterKeepsTheTicksOfTheDocumentsItStillShowsAndUnticksTheOthers) {
  DocumentRowModel rows;
  rows.GetList() = List({Document("plan.dwg", {{2}, {1}}), Document("notes.txt", {{1, "ann"}}),
                         Document("plan-b.dwg", {{1}})});
  rows.Fill("cache", true, kIdle);
  // Sorted by name: notes.txt, plan-b.dwg, plan.dwg; plan.dwg expanded, its version 1 ticked.
  rows.Expand(2, kIdle);
  ASSERT_TRUE(rows.ToggleRowTick(4, false, kIdle));
  ASSERT_TRUE(rows.ToggleRowTick(0, false, kIdle));
  const auto names = [&] {
    std::string shown;
    for (const auto& row : rows.GetRows()) {
      shown += rows.GetList().GetAt(row.document)->GetVersion(row.version)->GetName() +
               (row.versionRow ? "/" : " ") + std::to_string(row.state) + " ";
    }
    return shown;
  };
  ASSERT_EQ(names(), "notes.txt 2 plan-b.dwg 1 plan.dwg 2 plan.dwg/1 plan.dwg/2 ");

  DocumentFilter plans;
  plans.SetNameContains("PLAN");
  rows.SetFilter(plans, "ann", kIdle);
  EXPECT_EQ(names(), "plan-b.dwg 1 plan.dwg 2 plan.dwg/1 plan.dwg/2 ");

  // notes.txt comes back unticked: it was filtered out meanwhile.
  rows.SetFilter(DocumentFilter(), "ann", kIdle);
  EXPECT_EQ(names(), "notes.txt 1 plan-b.dwg 1 plan.dwg 2 plan.dwg/1 plan.dwg/2 ");
  EXPECT_EQ(rows.GetList().GetAt(0)->GetSelectedIndex(), -1);

  DocumentFilter mine;
  mine.SetHolder(DocumentFilter::Holder::kMe);
  rows.SetFilter(mine, "ann", kIdle);
  EXPECT_EQ(names(), "notes.txt 1 ");
  // A refill from the cache keeps the filter.
  rows.Fill("cache", true, kIdle);
  EXPECT_EQ(names(), "notes.txt 1 ");
}

}  // namespace
