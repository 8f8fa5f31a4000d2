#include "client/document/QueueCancel.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

// Of a split operation the steps done and sent stay as they are; those not sent are
// given up (done, failed, never sent), their documents counted, and nothing is left to run.
TEST(QueueCancel, TheUnsentStepsOfASplitOperationAreGivenUpTheRestStays) {
  const struct {
    bool sent, done;
    int documents;
    bool doneAfter;
  } steps[] = {{true, true, 100, true}, {true, false, 100, false}, {false, false, 30, true}, {false, false, 0, true}};
  std::deque<InstructionBatch> batches(1);
  for (const auto& s : steps) {
    Instruction step;
    step.SetKind(Instruction::kGetDocuments);
    step.SetDocuments([&] {
      ProjectDocumentList list;
      for (int i = 0; i < s.documents; ++i) list.Add(DocumentVersionEntry());
      return list;
    }());
    step.SetSent(s.sent);
    step.SetDone(s.done);
    batches.front().AddInstruction(step);
  }
  batches.front().Start();
  const QueueCancel cancel = QueueCancel::Apply(batches);
  EXPECT_EQ((std::vector<int>{cancel.done, cancel.awaited, cancel.cancelled, cancel.doneDocuments,
                              cancel.awaitedDocuments, cancel.cancelledDocuments}),
            (std::vector<int>{1, 1, 2, 100, 100, 30}));
  for (int i = 1; i <= 4; ++i) {
    const Instruction& step = *batches.front().GetInstruction(i);
    EXPECT_EQ(step.IsSent(), steps[i - 1].sent) << i;
    EXPECT_EQ(step.IsDone(), steps[i - 1].doneAfter) << i;
  }
  EXPECT_EQ(batches.front().TakeNextIndex(), -1);
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
