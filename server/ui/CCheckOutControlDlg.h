#pragma once
// Whether only the latest version of a document may be checked out. The setting
// lives in the root-path file, which OK saves at once.
#include <QDialog>

class CWexmoorDoc;
class QCheckBox;

class CCheckOutControlDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpTopic = 200004;

  explicit CCheckOutControlDlg(CWexmoorDoc& document, QWidget* parent = nullptr);

  // OK: applies the box and saves the root-path file; a failed save is told and
  // the setting keeps its old value.
  void accept() override;

 private:
  CWexmoorDoc& document_;
  QCheckBox* onlyLatest_ = nullptr;
};
