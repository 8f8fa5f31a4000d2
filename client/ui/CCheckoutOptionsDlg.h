#pragma once
// Asks how far a check-out reaches: the document only, with what it references,
// with what references it, or both ways (options 0-3).
#include "client/ui/ClientDialog.h"

class QButtonGroup;

class CCheckoutOptionsDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 152;

  explicit CCheckoutOptionsDlg(QWidget* parent = nullptr);

  // -1 until set; the caller sets 0 before running the dialog.
  void SetOption(int option);
  int GetOption() const { return option_; }

  void accept() override;

 private:
  QButtonGroup* options_;
  int option_ = -1;
};
