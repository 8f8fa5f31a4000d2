#pragma once
// Shows the instructions of the batch a document is working through, each with an
// icon of how far it got, with a progress bar, the bytes of a file being received
// and an animation. While open, its own 200 ms timer runs the application's
// periodic pass, so the queue advances under the modal dialog. Cancel (and Escape)
// gives up the steps not yet sent, after asking, and tells what was done; with
// nothing left to give up it only closes. The document's "queue empty" hint or 3000
// ticks without a reply close it; closing leaves the queue running.
#include <QTimer>

#include "client/link/TransferProgress.h"
#include "client/rules/ProgressRows.h"
#include "client/ui/ClientDialog.h"

class CBrannockDoc;
class CListViewEx;
class ProgressAnimation;
class QLabel;
class QProgressBar;

class COperationProgressDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 153;
  static constexpr int kTimerMs = 200;
  // Ticks without a received reply after which the dialog closes (10 minutes).
  static constexpr int kIdleTicksLimit = 3000;

  COperationProgressDlg(CBrannockDoc& document, QWidget* parent = nullptr);

  // Lists the head batch of the document's queue anew.
  void FillInstructionList();
  // The hints' rows (instruction index - 1). A head batch other than the one listed
  // is listed anew first; rows outside the list are ignored.
  void MarkInstructionSent(int row);
  void MarkInstructionDone(int row, bool succeeded);
  void ResetIdleCount() { idleTicks_ = 0; }

  // One tick of the dialog's timer: a pass, then the file under way shown.
  void OnTimer();
  // While a file is under way its bytes done and total are shown below the list and
  // the bar follows them; afterwards the line empties and the bar counts steps again.
  void ShowFileProgress(const TransferProgress::Counts& counts);
  int GetIdleTicks() const { return idleTicks_; }
  bool IsTimerActive() const { return timer_.isActive(); }

  // The user's Cancel (the button, Escape): with steps not yet sent, asks (No keeps
  // the dialog running), cancels them and tells what was done; then closes.
  void OnCancel();
  // The close hint, the idle limit and any close the program makes: stops timer and
  // animation, then closes; the queue runs on.
  void Close();
  void reject() override { Close(); }

  const ProgressRows& GetRows() const { return rows_; }
  CListViewEx& GetList() const { return *list_; }
  QProgressBar& GetProgressBar() const { return *progress_; }
  QLabel& GetFileLine() const { return *fileLine_; }
  ProgressAnimation& GetAnimation() const { return *animation_; }

 protected:
  // Escape is the user's Cancel.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Keeps the list and the bar in step with the document's head batch.
  void RefillWhenStale();
  void ShowIcon(int row);
  void ShowProgress();

  CBrannockDoc& document_;
  ProgressRows rows_;
  CListViewEx* list_;
  QProgressBar* progress_;
  QLabel* fileLine_;
  bool showingFile_ = false;
  ProgressAnimation* animation_;
  QTimer timer_;
  int idleTicks_ = 0;
};
