#include "client/rules/PublicationPreparation.h"

#include <gtest/gtest.h>

#include "client/rules/LibraryTreeFixture_test.h"
#include "platform/fs.h"

namespace {

using namespace tree_test;

class PublicationPreparationTest : public LibraryTreeFixture {
 protected:
  // Every project's versions cache: one document, versions 3, 2 (the original
  // edition's) and 1, version 1 selected.
  void SetUp() override {
    LibraryTreeFixture::SetUp();
    for (const char* index : kAll) WriteVersions(index, {{"a.txt", {3, 2, 1}, 2, 1}});
  }
  // The selected version of each project's document, in kAll order; -99 unreadable.
  std::vector<int> Ticks() {
    std::vector<int> ticks;
    for (const char* index : kAll) ticks.push_back(Selected(index).front());
    return ticks;
  }
  PublicationSelection BasedOnOne(int choice, bool withMay) {
    PublicationSelection selection = PublicationSelection::OfProject("PA", choice);
    selection.baseIndexName = "E1";
    if (withMay) selection.supplements.Add(Node("S1").GetSupplement());
    return selection;
  }
  static constexpr const char* kAll[] = {"PA", "PB", "PG", "EX", "EY", "YG", "E1", "E1B", "S1", "E2", "PD"};

  PublicationPreparation preparation_{Tree(), library_.Path()};
};

TEST_F(PublicationPreparationTest, NamesAreRefusedWhenEmptyOrTakenExactly) {
  EditionList editions;
  editions.Add(Node("E1").GetEdition());
  struct Case {
    std::string project, name, comments;
    std::optional<std::string> refusal;
  } cases[] = {
      {"PA", "", "why", PublicationPreparation::kNameAndComments},
      {"PA", "June", "", PublicationPreparation::kNameAndComments},
      {"PA", "One", "why", PublicationPreparation::kEditionNotUnique},
      {"PA", "one", "why", std::nullopt},
      {"E1", "May", "why", PublicationPreparation::kSupplementNotUnique},
      {"E1", "may", "why", std::nullopt},
      {"E1", "One", "why", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PublicationPreparation::CheckName(Node(c.project), editions, c.name, c.comments), c.refusal)
        << c.project << " " << c.name;
  }
}

TEST_F(PublicationPreparationTest, ListBatchesCoverTheProjectsConcerned) {
  const InstructionBatch fresh = PublicationPreparation::ListBatch(Node("PA"), true);
  EXPECT_EQ(fresh.GetInstruction(0)->GetIndexName(), "PA");
  std::vector<std::string> order;
  for (int i = 1; i < fresh.GetCount(); ++i) {
    const Instruction& in = *fresh.GetInstruction(i);
    order.push_back(std::to_string(in.GetKind()) + in.GetIndexName() + ":" + std::to_string(in.GetPrerequisite()));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"11PA:0", "10PA:0", "11PB:2", "11PG:3", "10PB:2", "10PG:5"}));
  EXPECT_EQ(fresh.GetInstruction(3)->GetTargetFolder(), "/l/Alpha/Beta");

  const InstructionBatch root = PublicationPreparation::ListBatch(Tree().GetRoot(), true);
  EXPECT_EQ(root.GetInstruction(0)->GetIndexName(), "");
  EXPECT_EQ(root.GetInstruction(1)->GetIndexName(), "PA");
  EXPECT_EQ(root.GetInstruction(1)->GetPrerequisite(), 0);

  // One's subtree with May, then Alpha's plain children with the editions below them.
  const InstructionBatch based = PublicationPreparation::BasedUponBatch(Node("E1"), Node("PA"));
  EXPECT_EQ(based.GetInstruction(0)->GetIndexName(), "E1");
  EXPECT_EQ(based.GetCount(), 1 + 2 + 4 + 10);
}

TEST_F(PublicationPreparationTest, AFreshPublicationTicksTheLatestVersionsOutsideOtherPublications) {
  preparation_.KeepCopies(Node("PB"));
  for (const char* index : {"PB", "PG", "EX", "EY", "YG"}) {
    EXPECT_TRUE(platform::fs::Exists(VersionsFile(index) + "_BPTemp")) << index;
  }
  EXPECT_FALSE(platform::fs::Exists(VersionsFile("PA") + "_BPTemp"));

  preparation_.ClearAllSelections();
  EXPECT_EQ(Ticks(), std::vector<int>(11, 0));
  preparation_.PreTickFresh(Node("PA"), "");
  //                                PA PB PG EX EY YG E1 E1B S1 E2 PD
  EXPECT_EQ(Ticks(), (std::vector<int>{3, 3, 3, 0, 0, 0, 0, 0, 0, 0, 0}));
  preparation_.PreTickFresh(Node("E1"), "E1");   // a new supplement of One
  EXPECT_EQ(Ticks(), (std::vector<int>{3, 3, 3, 0, 0, 0, 3, 3, 0, 0, 0}));
}

TEST_F(PublicationPreparationTest, BasedUponPreTicksFollowTheVersionChoice) {
  struct Case {
    int choice;
    bool withMay;
    std::vector<int> ticks;   // PA PB PG EX EY YG E1 E1B S1 E2 PD (PD untouched: 1)
  } cases[] = {
      {0, true, {0, 0, 0, 0, 0, 0, 3, 3, 3, 0, 1}},
      {0, false, {0, 0, 0, 0, 0, 0, 3, 3, 0, 0, 1}},
      {1, false, {3, 3, 0, 0, 0, 0, 3, 3, 3, 0, 1}},
      {2, false, {0, 0, 0, 0, 0, 0, 2, 2, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    for (const char* index : kAll) WriteVersions(index, {{"a.txt", {3, 2, 1}, 2, 1}});
    const PublicationSelection selection = BasedOnOne(c.choice, c.withMay);
    preparation_.PreTickBasedUpon(Node("PA"), Node("E1"), selection);
    EXPECT_EQ(Ticks(), c.ticks) << c.choice << c.withMay;
  }
  EXPECT_EQ(PublicationPreparation::ProjectPaths(Node("E1"), BasedOnOne(1, true)),
            (std::set<std::string>{"Alpha", "AlphaBeta"}));
}

TEST_F(PublicationPreparationTest, OnlyIncludedSupplementsAreKeptLastFirst) {
  SupplementList supplements;
  for (const char* name : {"s1", "s2", "s3"}) {
    SupplementRecord record;
    record.SetName(name);
    supplements.Add(record);
  }
  const SupplementList kept = PublicationPreparation::IncludedSupplements(supplements, {true, false, true});
  ASSERT_EQ(kept.GetCount(), 2);
  EXPECT_EQ(kept.GetAt(0).GetName(), "s3");
  EXPECT_EQ(kept.GetAt(1).GetName(), "s1");
  EXPECT_EQ(PublicationPreparation::IncludedSupplements(supplements, {false, false, false}).GetCount(), 0);
}

}  // namespace
