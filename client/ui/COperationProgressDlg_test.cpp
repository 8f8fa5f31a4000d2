#include "client/ui/COperationProgressDlg.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QProgressBar>
#include <QTest>

#include "client/document/QueueCancel.h"
#include "client/ui/CListViewEx.h"
#include "client/ui/ProgressAnimation.h"
#include "platform/NumberLocale.h"
#include "platform/ui/QtTestApplication.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

Instruction Step(const std::string& name, bool sent = false, bool done = false, bool succeeded = false) {
  Instruction instruction;
  instruction.SetKind(2);
  instruction.SetName(name);
  instruction.SetSent(sent);
  instruction.SetDone(done);
  instruction.SetSucceeded(succeeded);
  return instruction;
}

InstructionBatch Batch(const std::vector<Instruction>& instructions) {
  InstructionBatch batch;
  for (const Instruction& instruction : instructions) batch.AddInstruction(instruction);
  return batch;
}

QImage Picture(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }

// A document that is not opened: its queue moves only when a test moves it, and the
// dialog's passes do not touch it.
class COperationProgressDlgTest : public ClientLibraryTest {
 protected:
  void SetUp() override {
    ClientLibraryTest::SetUp();
    document_ = std::make_unique<CBrannockDoc>(*app_);
  }
  void TearDown() override {
    document_.reset();
    ClientLibraryTest::TearDown();
  }
  std::vector<std::string> ListedTexts(const COperationProgressDlg& dialog) {
    std::vector<std::string> texts;
    for (int i = 0; i < dialog.GetList().topLevelItemCount(); ++i) {
      texts.push_back(dialog.GetList().topLevelItem(i)->text(0).toStdString());
    }
    return texts;
  }
  QImage RowPicture(const COperationProgressDlg& dialog, int row) {
    return Picture(dialog.GetList().topLevelItem(row)->icon(0));
  }

  std::unique_ptr<CBrannockDoc> document_;
};

TEST_F(COperationProgressDlgTest, APlaceholderOnlyBatchListsNothingWithRangeZeroToOne) {
  document_->QueueBatch(InstructionBatch());
  COperationProgressDlg dialog(*document_);
  EXPECT_EQ(dialog.GetList().topLevelItemCount(), 0);
  EXPECT_EQ(dialog.GetProgressBar().minimum(), 0);
  EXPECT_EQ(dialog.GetProgressBar().maximum(), 1);
  EXPECT_TRUE(dialog.GetAnimation().IsPlaying());
  EXPECT_TRUE(dialog.IsTimerActive());
}

TEST_F(COperationProgressDlgTest, AFileUnderWayShowsItsBytesAndTheBarFollowsThemThenStepsAgain) {
  document_->QueueBatch(Batch({Step("a", true, true, true), Step("b", true)}));
  platform::SetNumberLocaleForTesting([] { return platform::NumberLocale{3, "."}; });
  COperationProgressDlg dialog(*document_);
  platform::SetNumberLocaleForTesting([] { return platform::NumberLocale{3, "."}; });
  struct Case {
    std::int64_t done;
    std::int64_t total;
    const char* line;
    int value;
    int maximum;
  };
  const Case cases[] = {
      {0, 200000000, "Receiving a file: 0 of 200.000.000 bytes", 0, 1000},
      {50000000, 200000000, "Receiving a file: 50.000.000 of 200.000.000 bytes", 250, 1000},
      {199999999, 200000000, "Receiving a file: 199.999.999 of 200.000.000 bytes", 999, 1000},
      {0, 0, "", 1, 3},   // the file is in: the bar counts steps again
  };
  for (const Case& c : cases) {
    dialog.ShowFileProgress({c.done, c.total});
    EXPECT_EQ(dialog.GetFileLine().text().toStdString(), c.line);
    EXPECT_EQ(dialog.GetProgressBar().value(), c.value) << c.done;
    EXPECT_EQ(dialog.GetProgressBar().maximum(), c.maximum) << c.done;
  }
  platform::SetNumberLocaleForTesting(nullptr);
}

TEST_F(COperationProgressDlgTest, RowsShowTheirIconsAndDoneRowsStepTheBar) {
  document_->QueueBatch(Batch({Step("a"), Step("b", true), Step("c", true, true, true), Step("d", true, true)}));
  COperationProgressDlg dialog(*document_);
  const std::vector<QImage> pictures = {
      Picture(QIcon(":/progress/progress-notsent.xpm")), Picture(QIcon(":/progress/progress-sent.xpm")),
      Picture(QIcon(":/progress/progress-succeeded.xpm")), Picture(QIcon(":/progress/progress-failed.xpm"))};
  for (const QImage& picture : pictures) ASSERT_FALSE(picture.isNull());
  for (int row = 0; row < 4; ++row) EXPECT_EQ(RowPicture(dialog, row), pictures[static_cast<std::size_t>(row)]);
  EXPECT_EQ(dialog.GetProgressBar().maximum(), 5);
  EXPECT_EQ(dialog.GetProgressBar().value(), 2);

  dialog.MarkInstructionSent(0);
  EXPECT_EQ(RowPicture(dialog, 0), pictures[1]);
  dialog.MarkInstructionDone(0, true);
  EXPECT_EQ(RowPicture(dialog, 0), pictures[2]);
  EXPECT_EQ(dialog.GetProgressBar().value(), 3);
  dialog.MarkInstructionDone(0, true);   // told twice: counted once
  dialog.MarkInstructionSent(-1);
  dialog.MarkInstructionDone(4, true);
  EXPECT_EQ(dialog.GetProgressBar().value(), 3);
}

TEST_F(COperationProgressDlgTest, TheIdleLimitClosesAndAReplyRestartsTheCount) {
  document_->QueueBatch(Batch({Step("a")}));
  COperationProgressDlg dialog(*document_);
  for (int tick = 1; tick < COperationProgressDlg::kIdleTicksLimit; ++tick) dialog.OnTimer();
  dialog.ResetIdleCount();   // a reply at tick 2999
  for (int tick = 1; tick < COperationProgressDlg::kIdleTicksLimit; ++tick) dialog.OnTimer();
  EXPECT_TRUE(dialog.IsTimerActive());
  dialog.OnTimer();
  EXPECT_FALSE(dialog.IsTimerActive());
  EXPECT_FALSE(dialog.GetAnimation().IsPlaying());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  dialog.OnTimer();   // a late tick does nothing
  EXPECT_EQ(dialog.GetIdleTicks(), COperationProgressDlg::kIdleTicksLimit);
}

// Escape and Cancel give up the steps not yet sent only when the user says Yes; a
// queue with nothing left to give up closes without a question.
TEST_F(COperationProgressDlgTest, CancelAsksThenGivesUpTheStepsNotSentAndTellsWhatWasDone) {
  struct Case {
    bool unsent;
    platform::NotifyAnswer answer;
    bool escape;
    bool stays;
    std::vector<std::string> shown;
  };
  const std::string told = QueueCancel{1, 0, 1}.Text();
  const std::vector<Case> cases = {
      {true, platform::NotifyAnswer::No, true, true, {QueueCancel::kQuestion}},
      {true, platform::NotifyAnswer::Yes, false, false, {QueueCancel::kQuestion, told}},
      {false, platform::NotifyAnswer::Yes, true, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.escape ? "Escape" : "Cancel");
    document_ = std::make_unique<CBrannockDoc>(*app_);
    document_->QueueBatch(Batch({Step("done", true, true, true), Step("next", !c.unsent, !c.unsent, !c.unsent)}));
    questionAnswer_ = c.answer;
    shown_.clear();
    COperationProgressDlg dialog(*document_);
    dialog.show();
    if (c.escape) {
      QTest::keyClick(&dialog, Qt::Key_Escape);
    } else {
      dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    }
    EXPECT_EQ(dialog.isVisible(), c.stays);
    EXPECT_EQ(dialog.IsTimerActive(), c.stays);
    EXPECT_EQ(Shown(), c.shown);
    // A cancelled batch with nothing awaited leaves the queue at once; else it runs on.
    const bool cancelled = c.unsent && !c.stays;
    ASSERT_EQ(document_->GetBatches().size(), cancelled ? 0u : 1u);
    if (!cancelled) {
      EXPECT_EQ(document_->GetBatches().front().GetInstruction(2)->IsDone(), !c.unsent);
    }
  }
}

TEST_F(COperationProgressDlgTest, OnlyTheHeadBatchIsListedAndANewHeadIsListedAnew) {
  // A first batch whose every step ran: the next queue step removes it.
  InstructionBatch first = Batch({Step("first", true, true, true)});
  first.Start();
  while (first.TakeNextIndex() >= 0) {
  }
  document_->QueueBatch(first);
  COperationProgressDlg dialog(*document_);
  document_->QueueBatch(Batch({Step("second"), Step("third")}));
  dialog.FillInstructionList();
  EXPECT_EQ(ListedTexts(dialog), std::vector<std::string>{"Add Project: first"});

  document_->ProcessNextInstruction();
  ASSERT_EQ(document_->GetBatches().front().GetNumber(), 2u);
  dialog.MarkInstructionDone(1, false);
  EXPECT_EQ(ListedTexts(dialog), (std::vector<std::string>{"Add Project: second", "Add Project: third"}));
  EXPECT_EQ(RowPicture(dialog, 1), Picture(QIcon(":/progress/progress-failed.xpm")));
  EXPECT_EQ(dialog.GetProgressBar().maximum(), 3);
}

}  // namespace
