#include "client/document/QueueCancel.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

// A step of an operation on chosen documents, carrying `documents` of them.
Instruction DocumentStep(int prerequisite, int documents, bool sent, bool done) {
  Instruction step;
  step.SetKind(Instruction::kGetDocuments);
  step.SetPrerequisite(prerequisite);
  ProjectDocumentList list;
  for (int i = 0; i < documents; ++i) list.Add(DocumentVersionEntry());
  step.SetDocuments(list);
  step.SetSent(sent);
  step.SetDone(done);
  step.SetSucceeded(done);
  return step;
}

// Of a split retrieval, the step done and the step sent stay as they are; the step
// not sent is given up (done, failed, never sent) and the batch has nothing left to run.
TEST(QueueCancel, TheUnsentStepsOfASplitOperationAreGivenUpTheRestStays) {
  std::deque<InstructionBatch> batches(1);
  InstructionBatch& batch = batches.front();
  batch.AddInstruction(DocumentStep(0, 100, true, true));
  batch.AddInstruction(DocumentStep(1, 100, true, false));
  batch.AddInstruction(DocumentStep(2, 30, false, false));
  batch.AddInstruction(DocumentStep(3, 0, false, false));
  batch.Start();

  const QueueCancel cancel = QueueCancel::Apply(batches);
  EXPECT_EQ(cancel.done, 1);
  EXPECT_EQ(cancel.awaited, 1);
  EXPECT_EQ(cancel.cancelled, 2);
  EXPECT_EQ(cancel.doneDocuments, 100);
  EXPECT_EQ(cancel.awaitedDocuments, 100);
  EXPECT_EQ(cancel.cancelledDocuments, 30);
  const struct {
    bool sent, done, succeeded;
  } expected[] = {{true, true, true}, {true, false, false}, {false, true, false}, {false, true, false}};
  for (int i = 1; i <= 4; ++i) {
    const Instruction& step = *batch.GetInstruction(i);
    EXPECT_EQ(step.IsSent(), expected[i - 1].sent) << i;
    EXPECT_EQ(step.IsDone(), expected[i - 1].done) << i;
    EXPECT_EQ(step.HasSucceeded(), expected[i - 1].succeeded) << i;
  }
  EXPECT_EQ(batch.TakeNextIndex(), -1);
  EXPECT_EQ(QueueCancel::Count(batches).cancelled, 0);
}

// The steps given up, done and awaited are counted in the notice, each in its number.
TEST(QueueCancel, TheNoticeSaysWhatWasGivenUpDoneAndAwaited) {
  struct Case {
    QueueCancel cancel;
    std::string text;
  };
  for (const Case& c : {Case{{1, 0, 2}, "Cancelled: 2 steps of the operation were not sent. 1 step was done and "
                                        "stays done."},
                        Case{{0, 1, 1}, "Cancelled: 1 step of the operation was not sent. 0 steps were done and "
                                        "stay done. 1 step already sent finishes as the library answers."},
                        Case{{1, 1, 2, 100, 100, 30}, "Cancelled: 2 steps of the operation (30 documents) were not "
                                                      "sent. 1 step (100 documents) was done and stays done. 1 step "
                                                      "(100 documents) already sent finishes as the library "
                                                      "answers."}}) {
    EXPECT_EQ(c.cancel.Text(), c.text);
  }
}

}  // namespace
