#include "client/document/InstructionBatch.h"

#include <gtest/gtest.h>

namespace {

Instruction WaitingOn(std::int32_t prerequisite) {
  Instruction instruction;
  instruction.SetKind(11);
  instruction.SetPrerequisite(prerequisite);
  return instruction;
}

void Finish(Instruction& instruction, bool succeeded) {
  instruction.SetSent(true);
  instruction.SetDone(true);
  instruction.SetSucceeded(succeeded);
}

TEST(InstructionBatchTest, NewBatchHoldsOnlyTheCompletePlaceholder) {
  InstructionBatch batch;
  ASSERT_EQ(batch.GetCount(), 1);
  EXPECT_TRUE(batch.IsEmpty());
  const Instruction& placeholder = *batch.GetInstruction(0);
  EXPECT_EQ(placeholder.GetKind(), -1);
  EXPECT_TRUE(placeholder.IsSent() && placeholder.IsDone() && placeholder.HasSucceeded());
  EXPECT_EQ(batch.GetInstruction(1), nullptr);
  EXPECT_FALSE(batch.IsNextReady());  // not started
  EXPECT_EQ(batch.TakeNextIndex(), -1);
  batch.Start();
  EXPECT_TRUE(batch.IsNextReady());
  EXPECT_EQ(batch.TakeNextIndex(), 0);
  EXPECT_FALSE(batch.IsNextReady());  // next index equals the count
  EXPECT_EQ(batch.TakeNextIndex(), -1);
}

TEST(InstructionBatchTest, NextWaitsUntilItsPrerequisiteIsDoneSucceededOrNot) {
  InstructionBatch batch;
  EXPECT_EQ(batch.AddInstruction(WaitingOn(0)), 1);
  EXPECT_EQ(batch.AddInstruction(WaitingOn(1)), 2);
  EXPECT_FALSE(batch.IsEmpty());
  batch.Start();
  batch.TakeNextIndex();
  EXPECT_TRUE(batch.IsNextReady());
  EXPECT_TRUE(batch.HasPrerequisiteSucceeded(1));
  EXPECT_EQ(batch.TakeNextIndex(), 1);
  EXPECT_FALSE(batch.IsNextReady());
  Finish(*batch.GetInstruction(1), false);
  EXPECT_TRUE(batch.IsNextReady());
  EXPECT_FALSE(batch.HasPrerequisiteSucceeded(2));
}

// A prerequisite that is not an earlier instruction would index outside the batch or
// wait forever: it is ready at once and counts as failed.
TEST(InstructionBatchTest, PrerequisiteThatIsNotAnEarlierInstructionFails) {
  for (const std::int32_t prerequisite : {-1, 1, 2, 99}) {
    InstructionBatch batch;
    batch.AddInstruction(WaitingOn(prerequisite));
    batch.AddInstruction(WaitingOn(0));
    batch.Start();
    batch.TakeNextIndex();
    EXPECT_TRUE(batch.IsNextReady()) << prerequisite;
    EXPECT_FALSE(batch.HasPrerequisiteSucceeded(1)) << prerequisite;
  }
  EXPECT_FALSE(InstructionBatch().HasPrerequisiteSucceeded(5));
}

TEST(InstructionBatchTest, StampsFindTheirInstruction) {
  InstructionBatch batch;
  EXPECT_EQ(batch.FindInstructionByMessage(17), -1);
  batch.MapMessage(4, 17);
  EXPECT_EQ(batch.FindInstructionByMessage(17), 4);
  batch.MapMessage(5, 17);
  EXPECT_EQ(batch.FindInstructionByMessage(17), 5);
  batch.Clear();
  EXPECT_EQ(batch.FindInstructionByMessage(17), -1);
}

TEST(InstructionBatchTest, CopyKeepsEverythingAndOnePlaceholder) {
  InstructionBatch batch;
  batch.GetInstruction(0)->SetIndexName("WXPrName_1");
  batch.AddInstruction(WaitingOn(0));
  batch.Start();
  batch.MapMessage(1, 9);
  batch.GetRuleSet().AddInclusion(FolderRule::kAllDocuments, "");
  batch.SetComments("why");

  InstructionBatch copy(batch);
  InstructionBatch assigned;
  assigned.AddInstruction(WaitingOn(0));
  assigned = batch;
  for (const InstructionBatch* other : {&copy, &assigned}) {
    EXPECT_EQ(other->GetCount(), 2);
    EXPECT_EQ(other->GetInstruction(0)->GetIndexName(), "WXPrName_1");
    EXPECT_EQ(other->GetNextIndex(), 0);
    EXPECT_EQ(other->FindInstructionByMessage(9), 1);
    EXPECT_EQ(other->GetRuleSet().GetInclusionCount(), 1);
    EXPECT_EQ(other->GetComments(), "why");
  }
  batch.Clear();
  EXPECT_EQ(batch.GetCount(), 1);
  EXPECT_EQ(batch.GetInstruction(0)->GetIndexName(), "");
  EXPECT_EQ(batch.GetRuleSet().GetInclusionCount(), 0);
  EXPECT_EQ(batch.GetComments(), "");
}

}  // namespace
