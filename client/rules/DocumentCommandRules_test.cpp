#include "client/rules/DocumentCommandRules.h"

#include <gtest/gtest.h>

#include "client/library/DocumentListTestData_test.h"
#include "platform/fs.h"
#include "platform/ScratchFolder.h"

namespace {

using document_list_test::Document;
using document_list_test::List;
namespace rules = DocumentCommandRules;

// Rows of `list` with the given rows ticked; `expand` rows expanded first.
DocumentRowModel Rows(const VersionedDocumentList& list, std::vector<int> ticked, std::vector<int> expand = {}) {
  DocumentRowModel rows;
  rows.GetList() = list;
  rows.Fill("cache", true, {});
  for (int row : expand) rows.Expand(row, {});
  for (int row : ticked) rows.ToggleRowTick(row, false, {});
  return rows;
}

std::string Names(const ProjectDocumentList& list) {
  std::string names;
  for (int i = 0; i < list.GetCount(); ++i) {
    names += list.GetAt(i)->GetName() + ":" + std::to_string(list.GetAt(i)->GetVersion()) + " ";
  }
  return names;
}

std::vector<int> Ticked(const DocumentRowModel& rows) {
  std::vector<int> ticked;
  for (int r = 0; r < rows.GetRowCount(); ++r) {
    if (rows.IsTicked(r)) ticked.push_back(r);
  }
  return ticked;
}

const VersionedDocumentList kList = List({Document("a", {{3}, {2}, {1}}), Document("b", {{2, "bob"}, {1}}),
                                          Document("c", {{1}})});

TEST(DocumentCommandRules, CollectorsTakeOneEntryPerDocumentAndUntickAsTheirCommand) {
  const struct {
    const char* what;
    std::function<ProjectDocumentList(DocumentRowModel&)> collect;
    std::string names;
    std::vector<int> tickedAfter;
  } cases[] = {
      // Unticking a document's first row unticks its other rows too.
      {"check-out", [](DocumentRowModel& r) { return rules::CollectCheckOut(r, {}); }, "a:2 c:1 ", {}},
      {"retrieve", [](DocumentRowModel& r) { return rules::CollectRetrieve(r, {}); }, "a:2 b:2 c:1 ", {}},
      {"delete", [](DocumentRowModel& r) { return rules::CollectDelete(r, {}); }, "a:3 b:2 c:1 ", {}},
      {"undo check-out",
       [](DocumentRowModel& r) {
         rules::Situation bob;
         bob.userName = "bob";
         return rules::CollectUndoCheckOut(r, bob);
       },
       "b:2 ",
       {}},
      {"drag", [](DocumentRowModel& r) { return rules::CollectDrag(r); }, "a:2 b:2 c:1 ", {0, 2, 4, 5}},
  };
  for (const auto& c : cases) {
    // "a" expanded with its version 2 ticked: two ticked rows of one document.
    DocumentRowModel rows = Rows(kList, {2, 4, 5}, {0});
    ASSERT_EQ(Ticked(rows), (std::vector<int>{0, 2, 4, 5})) << c.what;
    const ProjectDocumentList list = c.collect(rows);
    EXPECT_EQ(Names(list), c.names) << c.what;
    EXPECT_EQ(list.GetProjectIndexName(), "P_1");
    EXPECT_EQ(Ticked(rows), c.tickedAfter) << c.what;
  }
}

TEST(DocumentCommandRules, EnablingFollowsTicksCheckOutsAndPublicationState) {
  const rules::Situation idle{{}, true, true, "ann", ""};
  rules::Situation served = idle;
  served.undoCheckOutServed = true;
  const DocumentRowModel none = Rows(kList, {});
  const DocumentRowModel plain = Rows(kList, {0});
  const DocumentRowModel withCheckedOut = Rows(kList, {0, 1});
  const DocumentRowModel two = Rows(kList, {0, 2});
  const DocumentRowModel bobs = Rows(List({Document("b", {{2, "bob"}})}), {0});
  const DocumentRowModel anns = Rows(List({Document("b", {{2}, {1, "ann"}})}), {0});
  const struct {
    const char* what;
    const DocumentRowModel& rows;
    bool checkOut, checkIn, retrieve, rename;
  } cases[] = {
      {"none", none, false, false, false, false},
      {"plain", plain, true, false, true, true},
      {"checked out", withCheckedOut, false, false, true, false},
      {"two", two, true, false, true, false},
      {"bob's", bobs, false, false, true, false},
      {"ann's", anns, false, true, true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rules::CanCheckOut(c.rows, idle), c.checkOut) << c.what;
    EXPECT_EQ(rules::CanDelete(c.rows, idle), c.checkOut) << c.what;
    EXPECT_EQ(rules::CanCheckIn(c.rows, idle), c.checkIn) << c.what;
    // Giving a check-out back needs a server that takes it.
    EXPECT_FALSE(rules::CanUndoCheckOut(c.rows, idle)) << c.what;
    EXPECT_EQ(rules::CanUndoCheckOut(c.rows, served), c.checkIn) << c.what;
    EXPECT_EQ(rules::CanRetrieve(c.rows, idle), c.retrieve) << c.what;
    EXPECT_EQ(rules::CanRename(c.rows, idle), c.rename) << c.what;
  }
  for (const PublicationFlags& flags : {PublicationFlags{true, false, true}, PublicationFlags{false, true, false}}) {
    rules::Situation busy = idle;
    busy.flags = flags;
    EXPECT_FALSE(rules::CanCheckOut(plain, busy) || rules::CanCheckIn(anns, busy) || rules::CanRetrieve(plain, busy) ||
                 rules::CanDelete(plain, busy) || rules::CanRename(plain, busy) || rules::CanAdd(busy));
  }
  rules::Situation plainClient = idle;
  plainClient.publisher = false;
  plainClient.flags.preparing = true;
  EXPECT_FALSE(rules::CanDelete(plain, plainClient) || rules::CanRename(plain, plainClient));
  EXPECT_TRUE(rules::CanAdd(idle));
}

// A check-out cut before its file arrived can be finished: the holder may check the
// document out again while no writable copy of it is in the project's folder.
TEST(DocumentCommandRules, TheHolderMayCheckOutAgainWhileTheCheckedOutFileIsMissing) {
  platform::ScratchFolder folder;
  folder.Put("mine", "edited");
  folder.Put("old", "retrieved");
  ASSERT_TRUE(platform::fs::SetReadOnly(folder / "old", true));
  const auto list = List({Document("free", {{1}}), Document("gone", {{2, "ann"}, {1}}), Document("mine", {{1, "ann"}}),
                          Document("old", {{3}, {2, "ann"}}), Document("taken", {{1, "bob"}})});
  const struct {
    const char* name;
    std::string folder;
    bool enabled;
    std::string collected;
  } cases[] = {
      {"free", folder.Path(), true, "free:1 "},  {"gone", folder.Path(), true, "gone:2 "},
      {"mine", folder.Path(), false, ""},        {"old", folder.Path(), true, "old:2 "},
      {"taken", folder.Path(), false, ""},       {"gone", "", false, ""},
  };
  for (const auto& c : cases) {
    DocumentRowModel rows = Rows(list, {});
    for (int r = 0; r < rows.GetRowCount(); ++r) {
      const VersionedDocument& document = *rows.GetList().GetAt(rows.GetRow(r).document);
      if (document.GetVersion(0)->GetName() == c.name) rows.ToggleRowTick(r, false, {});
    }
    const rules::Situation situation{{}, true, false, "ann", c.folder};
    EXPECT_EQ(rules::CanCheckOut(rows, situation), c.enabled) << c.name << " in '" << c.folder << "'";
    EXPECT_EQ(rules::CanDelete(rows, situation), std::string(c.name) == "free") << c.name;   // held stays held
    EXPECT_EQ(Names(rules::CollectCheckOut(rows, situation)), c.collected) << c.name;
  }
}

TEST(DocumentCommandRules, CheckOutOptionsGiveTheirReferenceFlags) {
  const std::pair<bool, bool> expected[] = {{false, false}, {false, true}, {true, false}, {true, true}};
  for (int option = 0; option < 4; ++option) EXPECT_EQ(rules::CheckOutReferenceFlags(option), expected[option]);
}

TEST(DocumentCommandRules, CheckInTakesTheUsersCheckedOutFilesThatExist) {
  platform::ScratchFolder folder;
  folder.Put("a", "content");
  const auto list = List({Document("a", {{2, "ann"}, {1}}), Document("b", {{1, "ann"}}), Document("..", {{1, "ann"}}),
                          Document("c", {{1, "bob"}})});
  DocumentRowModel rows = Rows(list, {0, 1, 2, 3});   // sorted: "..", a, b, c
  const rules::CheckIn checkIn = rules::CollectCheckIn(rows, {}, "ann", folder.Path(), "why\1\2");
  EXPECT_EQ(Names(checkIn.documents), "a:2 ");
  EXPECT_EQ(checkIn.documents.GetAt(0)->GetComment(), "why\1\2");
  EXPECT_EQ(checkIn.missingFiles, folder.Path() + "/..\r\n" + folder.Path() + "/b\r\n");
  EXPECT_TRUE(Ticked(rows).empty());   // bob's row too

  DocumentRowModel unmapped = Rows(list, {1});
  EXPECT_EQ(rules::CollectCheckIn(unmapped, {}, "ann", "", "why").missingFiles, "a\r\n");
}

TEST(DocumentCommandRules, CountsTheDocumentsTheOperationsActOn) {
  // kList: a (versions 3 2 1), b (2 held by bob, 1), c (1); "bob" counts as the user below.
  const struct {
    std::vector<int> ticked;
    std::vector<int> expand;
    int documents;
    int checkIn;
  } cases[] = {
      {{}, {}, 0, 0},
      {{0, 1, 2}, {}, 3, 1},
      {{1}, {}, 1, 1},
      {{2, 4, 5}, {0}, 3, 1},   // "a" ticked in two rows counts once
      {{3}, {0}, 1, 0},
  };
  for (const auto& c : cases) {
    const DocumentRowModel rows = Rows(kList, c.ticked, c.expand);
    EXPECT_EQ(rules::CountTickedDocuments(rows), c.documents) << c.ticked.size();
    EXPECT_EQ(rules::CountCheckInDocuments(rows, "bob"), c.checkIn) << c.ticked.size();
    EXPECT_EQ(rules::CountCheckInDocuments(rows, "ann"), 0);
  }
}

}  // namespace
