#include "client/ui/ProgressRelay.h"

#include <gtest/gtest.h>

#include <QTest>

#include "client/document/ClientHints.h"
#include "client/ui/COperationProgressDlg.h"
#include "client/ui/ModalRunner.h"
#include "platform/ui/QtTestApplication.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

constexpr int kWaitMs = 10000;

InstructionBatch RefreshBatch() {
  InstructionBatch batch;
  Instruction refresh;
  refresh.SetKind(17);
  batch.AddInstruction(refresh);
  return batch;
}

// An opened library whose tree hints reach the relay as the tree view passes them on.
class ProgressRelayTest : public ClientLibraryTest {
 protected:
  void SetUp() override {
    ClientLibraryTest::SetUp();
    ModalRunner::SetScripted(true);
    document_ = OpenReady("0");
    ASSERT_NE(document_, nullptr);
    relay_ = std::make_unique<ProgressRelay>(*document_, nullptr);
    tree_.onUpdate = [this](int code) {
      if (onHint_) onHint_(code);
      relay_->OnHint(code);
    };
    document_->GetViews().Attach(tree_);
  }
  void TearDown() override {
    if (IsOpen()) document_->GetViews().Detach(tree_);
    relay_.reset();
    ModalRunner::SetScripted(false);
    ClientLibraryTest::TearDown();
  }
  bool IsOpen() {
    return app_->GetOpenLibraries().Find([this](const LibraryDocument& open) { return &open == document_; }) !=
           nullptr;
  }

  CBrannockDoc* document_ = nullptr;
  RecordingView tree_{UpdateHint::kTreeView};
  std::function<void(int)> onHint_;
  std::unique_ptr<ProgressRelay> relay_;
};

TEST_F(ProgressRelayTest, ABatchQueuedInsideAPassOpensTheDialogAfterItWhichDrainsTheQueueAndCloses) {
  bool inPass = false;
  bool queued = false;
  onHint_ = [&](int code) {
    if (code == ClientHints::kReplyReceived && !queued) {
      queued = true;
      document_->QueueBatch(RefreshBatch());
    }
  };
  document_->RequestProjectTree(true);
  inPass = true;
  ASSERT_TRUE(PassUntil([&] { return queued; }));
  inPass = false;
  EXPECT_TRUE(relay_->IsOpenPending());
  EXPECT_EQ(relay_->GetDialog(), nullptr);

  bool openedInPass = true;
  bool closedByQueue = false;
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        openedInPass = inPass;
        EXPECT_TRUE(document_->GetApp().GetOpenLibraries().IsHeld(*document_));
        closedByQueue = QTest::qWaitFor([&] { return !dialog.isVisible(); }, kWaitMs);
      },
      "COperationProgressDlg");
  ASSERT_TRUE(QTest::qWaitFor([&] { return ModalRunner::PendingScripts() == 0 && relay_->GetDialog() == nullptr; },
                              kWaitMs));
  EXPECT_FALSE(openedInPass);
  EXPECT_TRUE(closedByQueue);
  EXPECT_TRUE(document_->GetBatches().empty());
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
  EXPECT_FALSE(app_->GetOpenLibraries().IsHeld(*document_));
}

TEST_F(ProgressRelayTest, AQueueEmptyHintDropsAPendingOpen) {
  relay_->OnHint(ClientHints::kBatchQueued);
  relay_->OnHint(ClientHints::kQueueEmpty);
  relay_->OnHint(-1100);
  QCoreApplication::processEvents();
  EXPECT_FALSE(relay_->IsOpenPending());
  EXPECT_TRUE(ModalRunner::Shown().empty());
}

TEST_F(ProgressRelayTest, AClosedLibraryClosesTheDialogAtOnceAndGoesOnceItReturns) {
  document_->QueueBatch(RefreshBatch());
  bool closedAtOnce = false;
  ModalRunner::QueueDialog([&](QDialog& dialog) {
    app_->GetOpenLibraries().RequestClose(*document_);
    closedAtOnce = !dialog.isVisible();
    EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 1);
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return ModalRunner::PendingScripts() == 0 && relay_->GetDialog() == nullptr; },
                              kWaitMs));
  EXPECT_TRUE(closedAtOnce);
  EXPECT_TRUE(document_->IsClosePending());
  document_->GetViews().Detach(tree_);
  relay_.reset();
  EXPECT_TRUE(PassUntil([&] { return app_->GetOpenLibraries().GetCount() == 0; }));
}

}  // namespace
