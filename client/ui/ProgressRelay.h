#pragma once
// Between a library's tree view and its progress dialog: the tree passes on the
// hints of the batch queue, and the relay opens, refills, marks and closes the
// dialog. The dialog is modal, and a batch is queued from inside reply handlers
// that run inside the application's pass; so the dialog opens from the event
// loop after the hint, never inside it. While it runs the relay holds the document.
#include <QObject>
#include <QPointer>

class CBrannockDoc;
class COperationProgressDlg;
class QWidget;

class ProgressRelay : public QObject {
  Q_OBJECT

 public:
  ProgressRelay(CBrannockDoc& document, QWidget* parent);
  ~ProgressRelay() override;

  // The hints -1050 ... -1100; others are ignored.
  void OnHint(int code);

  bool IsOpenPending() const { return openPending_; }
  // The running dialog; null when none runs.
  COperationProgressDlg* GetDialog() const { return dialog_.data(); }

 private:
  void OpenDialog();

  CBrannockDoc& document_;
  QPointer<QWidget> parent_;
  QPointer<COperationProgressDlg> dialog_;
  bool openPending_ = false;
};
