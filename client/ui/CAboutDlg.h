#pragma once
// The About box: the program's name, its version and OK.
#include "client/ui/ClientDialog.h"

class CAboutDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 100;
  static constexpr const char* kVersion = "Version 1.0";

  CAboutDlg(bool publisher, QWidget* parent = nullptr);

  // "BrannockPublisher" or "Brannock": the program's file name, lower-cased.
  static QString ProgramName(bool publisher);
  // "Brannock Publisher" or "Brannock": what the user sees the program called.
  static QString ProgramTitle(bool publisher);
};
