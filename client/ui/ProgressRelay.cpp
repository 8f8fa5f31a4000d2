#include "client/ui/ProgressRelay.h"

#include <QTimer>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/ui/COperationProgressDlg.h"
#include "client/ui/ModalRunner.h"

ProgressRelay::ProgressRelay(CBrannockDoc& document, QWidget* parent)
    : QObject(parent), document_(document), parent_(parent) {
  setObjectName("ProgressRelay");
}

ProgressRelay::~ProgressRelay() {
  // Destroyed under a running dialog (its window went): the dialog must not outlive it.
  if (dialog_) dialog_->Close();
}

void ProgressRelay::OnHint(int code) {
  switch (code) {
    case ClientHints::kBatchQueued:
      if (dialog_) {
        dialog_->FillInstructionList();
      } else if (!openPending_) {
        openPending_ = true;
        QTimer::singleShot(0, this, &ProgressRelay::OpenDialog);
      }
      break;
    case ClientHints::kInstructionStarted:
      if (dialog_) dialog_->MarkInstructionSent(document_.GetCurrentInstructionIndex() - 1);
      break;
    case ClientHints::kInstructionFinished:
      if (dialog_) dialog_->MarkInstructionDone(document_.GetCurrentInstructionIndex() - 1, document_.GetLastOutcome());
      break;
    case ClientHints::kReplyReceived:
      if (dialog_) dialog_->ResetIdleCount();
      break;
    case ClientHints::kQueueEmpty:
      openPending_ = false;
      if (dialog_) dialog_->Close();
      break;
    default:
      break;
  }
}

void ProgressRelay::OpenDialog() {
  if (!openPending_) return;
  openPending_ = false;
  if (document_.IsClosePending()) return;
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  dialog_ = new COperationProgressDlg(document_, parent_.data());
  QPointer<COperationProgressDlg> running = dialog_;
  ModalRunner::Exec(*running);
  delete running.data();
}
