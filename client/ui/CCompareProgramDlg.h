#pragma once
// The option of which program compares documents that are not text: a command
// line (a program and any arguments; the two files go behind them). Left blank,
// the first known compare program on the search path is used.
#include <string>

#include "client/ui/ClientDialog.h"

class QLabel;
class QLineEdit;

class CCompareProgramDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 162;

  // `setting` is the user's present choice; `found` the program the search path
  // offers when the choice is blank ("" when none is installed).
  CCompareProgramDlg(const std::string& setting, const std::string& found, QWidget* parent = nullptr);

  // After OK: the command typed, trimmed ("" for the search path's program).
  std::string GetSetting() const { return setting_; }

  void accept() override;

 protected:
  bool HasTypedInput() const override;

 private:
  QLineEdit* edit_;
  QLabel* found_;
  std::string setting_;
};
