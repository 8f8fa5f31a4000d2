#include "client/rules/DocumentSortOrder.h"

#include <gtest/gtest.h>

#include "client/library/DocumentListTestData_test.h"

namespace {

using document_list_test::Document;
using document_list_test::List;

std::string SortedNames(VersionedDocumentList list, const std::vector<int>& clicks) {
  DocumentSortOrder order;
  for (int column : clicks) order.OnColumnClick(column);
  order.Sort(list);
  std::string names;
  for (int i = 0; i < list.GetCount(); ++i) names += list.GetAt(i)->GetVersion(0)->GetName() + " ";
  return names;
}

TEST(DocumentSortOrder, SortsByTheKeyVersionKeepingFileOrderOnTies) {
  // Key versions: g 2 (the highest), B 5, a 1 (selected), A 4, c 3 checked out.
  const VersionedDocumentList list =
      List({Document("g", {{1, "", 30, "20040105000000"}, {2, "", 10, "20040101000000"}}),
            Document("B", {{5, "", 20, "20040103000000"}}),
            Document("a", {{9, "", 99, "20049999000000"}, {1, "", 40, "20040102000000"}}, 1),
            Document("A", {{4, "", 40, "20040104000000"}}),
            Document("c", {{3, "zed", 50, "20040106000000"}})});
  const struct {
    std::vector<int> clicks;
    std::string expected;
  } cases[] = {
      {{}, "a A B c g "},          // case folded; "a" and "A" keep file order
      {{0}, "g c B a A "},         // descending keeps ties in file order too
      {{1}, "a g c A B "},
      {{1, 1}, "B A c g a "},
      {{2}, "g a B A c "},
      {{3}, "g B a A c "},         // checked-out documents after the others
      {{4}, "g B a A c "},
      {{4, 4}, "c a A B g "},
  };
  for (const auto& c : cases) EXPECT_EQ(SortedNames(list, c.clicks), c.expected) << testing::PrintToString(c.clicks);

  VersionedDocumentList sorted = list;
  DocumentSortOrder().Sort(sorted);
  EXPECT_EQ(sorted.GetProjectIndexName(), "P_1");
  EXPECT_EQ(sorted.GetAt(0)->GetSelectedIndex(), 1);   // the selection travels with its document
  EXPECT_EQ(SortedNames(List({}), {1}), "");
}

}  // namespace
