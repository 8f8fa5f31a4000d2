#include "client/rules/TreeBatchBuilder.h"

#include <gtest/gtest.h>

#include "client/rules/LibraryTreeFixture_test.h"

namespace {

using namespace tree_test;

struct Step {
  int kind, prerequisite;
  std::string indexName, target, source;
  bool operator==(const Step&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Step& s) {
  return out << "{" << s.kind << "," << s.prerequisite << "," << s.indexName << "," << s.target << "," << s.source
             << "}";
}

// The batch's instructions after the placeholder, from index `from`.
std::vector<Step> Steps(const InstructionBatch& batch, int from = 1) {
  std::vector<Step> steps;
  for (int i = from; i < batch.GetCount(); ++i) {
    const Instruction& in = *batch.GetInstruction(i);
    steps.push_back({in.GetKind(), in.GetPrerequisite(), in.GetIndexName(), in.GetTargetFolder(), in.GetSourceFolder()});
  }
  return steps;
}

using TreeBatchBuilderTest = LibraryTreeFixture;

TEST_F(TreeBatchBuilderTest, RetrievalsFollowTheDialogsChoices) {
  using Choices = TreeBatchBuilder::RetrieveChoices;
  struct Case {
    const char* what;
    std::string node;
    Choices choices;
    std::vector<Step> steps;
  } cases[] = {
      {"plain with sub-projects", "PA", {"/d", false, false, true, false, false, {}},
       {{1, 0, "PA", "/d", "/d"}, {1, 1, "PB", "/d/Beta", "/d/Beta"}, {1, 2, "PG", "/d/Beta/Gamma", "/d/Beta/Gamma"}}},
      {"project folder, no sub-projects", "PA", {"/d/", false, true, false, false, false, {}},
       {{1, 0, "PA", "/d/Alpha", "/d/Alpha"}}},
      {"mapped folders", "PB", {"/d", true, false, true, false, false, {}},
       {{1, 0, "PB", "/l/Alpha/Beta", "/l/Alpha/Beta"}, {1, 1, "PG", "/l/Alpha/Beta/Gamma", "/l/Alpha/Beta/Gamma"}}},
      {"edition, latest, listed supplement", "E1", {"/d", false, false, true, false, true, {"S1"}},
       {{1, 0, "E1", "/d", "/d"}, {1, 1, "E1B", "/d/Beta", "/d/Beta"}, {1, 1, "S1", "/d", "/d"}}},
      {"edition, latest, supplements unlisted", "E1", {"/d", false, false, true, false, true, {"S9"}},
       {{1, 0, "E1", "/d", "/d"}, {1, 1, "E1B", "/d/Beta", "/d/Beta"}}},
      {"edition, original versions", "E1", {"/d", false, false, true, true, false, {}},
       {{16, 0, "E1", "/d", "/d"}, {16, 1, "E1B", "/d/Beta", "/d/Beta"}}},
      {"plain project, original asked", "PG", {"/d", false, false, true, true, false, {}}, {{1, 0, "PG", "/d", "/d"}}},
  };
  for (const Case& c : cases) {
    const InstructionBatch batch = TreeBatchBuilder::Retrieve(Node(c.node), c.choices);
    EXPECT_EQ(batch.GetInstruction(0)->GetIndexName(), c.node) << c.what;
    EXPECT_EQ(Steps(batch), c.steps) << c.what;
  }
}

TEST_F(TreeBatchBuilderTest, AProjectDropListsTheSubtreeThenAddsAndReferencesEachProject) {
  const InstructionBatch batch = TreeBatchBuilder::DropProject(document_, Node("PB"), Node("PD"), "moved");
  EXPECT_EQ(batch.GetInstruction(0)->GetIndexName(), "PD");
  EXPECT_EQ(batch.GetComments(), "moved");
  // Beta, Gamma, X, Y and Y's Gamma: two list requests each, then the add and reference pairs.
  ASSERT_EQ(batch.GetCount(), 1 + 10 + 10);
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(batch.GetInstruction(i)->GetKind(), i % 2 == 1 ? 11 : 10) << i;
  const std::vector<Step> added(Steps(batch, 11));
  const std::vector<Step> expected = {
      {2, 0, "PB", "/l/delta/Beta", "PB"},        {13, 11, "PB", "/l/delta/Beta", "PB"},
      {2, 11, "PG", "/l/delta/Beta/Gamma", "PG"}, {13, 13, "PG", "/l/delta/Beta/Gamma", "PG"},
      {2, 11, "EX", "/l/delta/Beta/<E> X", "EX"}, {13, 15, "EX", "/l/delta/Beta/<E> X", "EX"},
      {2, 11, "EY", "/l/delta/Beta/<E> Y", "EY"}, {13, 17, "EY", "/l/delta/Beta/<E> Y", "EY"},
      {2, 17, "YG", "/l/delta/Beta/<E> Y/Gamma", "YG"}, {13, 19, "YG", "/l/delta/Beta/<E> Y/Gamma", "YG"},
  };
  EXPECT_EQ(added, expected);
}

}  // namespace
