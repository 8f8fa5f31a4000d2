#include "client/document/QueueCancel.h"

#include <gtest/gtest.h>

namespace {

// One batch whose steps are, in order: done, sent and awaited, not sent (twice).
InstructionBatch MixedBatch() {
  InstructionBatch batch;
  for (int i = 0; i < 4; ++i) {
    Instruction step;
    step.SetKind(1);
    step.SetPrerequisite(0);
    step.SetSent(i < 2);
    step.SetDone(i == 0);
    step.SetSucceeded(i == 0);
    batch.AddInstruction(step);
  }
  batch.Start();
  batch.TakeNextIndex();
  batch.TakeNextIndex();
  batch.TakeNextIndex();
  return batch;
}

TEST(QueueCancel, GivesUpOnlyTheStepsNotSentAndSaysWhatItDid) {
  std::deque<InstructionBatch> batches{MixedBatch(), MixedBatch()};
  const QueueCancel counted = QueueCancel::Count(batches);
  const QueueCancel applied = QueueCancel::Apply(batches);
  for (const QueueCancel& cancel : {counted, applied}) {
    EXPECT_EQ(cancel.done, 2);
    EXPECT_EQ(cancel.awaited, 2);
    EXPECT_EQ(cancel.cancelled, 4);
  }
  for (const InstructionBatch& batch : batches) {
    EXPECT_FALSE(batch.IsNextReady()) << "nothing is left to run";
    EXPECT_TRUE(batch.GetInstruction(1)->HasSucceeded()) << "done stays done";
    EXPECT_FALSE(batch.GetInstruction(2)->IsDone()) << "a sent step awaits its reply";
    for (int i : {3, 4}) EXPECT_TRUE(batch.GetInstruction(i)->IsDone() && !batch.GetInstruction(i)->HasSucceeded());
  }
  EXPECT_EQ(QueueCancel::Count(batches).cancelled, 0);

  struct Case {
    QueueCancel cancel;
    std::string text;
  };
  for (const Case& c : {Case{{1, 0, 2}, "Cancelled: 2 steps of the operation were not sent. 1 step was done and "
                                        "stays done."},
                        Case{{0, 1, 1}, "Cancelled: 1 step of the operation was not sent. 0 steps were done and "
                                        "stay done. 1 step already sent finishes as the library answers."}}) {
    EXPECT_EQ(c.cancel.Text(), c.text);
  }
}

}  // namespace
