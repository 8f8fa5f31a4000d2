#pragma once
// The About box: the program's name, the release's one version (the server's too) and OK.
#include "client/ui/ClientDialog.h"

class CAboutDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 100;

  CAboutDlg(bool publisher, QWidget* parent = nullptr);

  // "BrannockPublisher" or "Brannock": the program's file name, lower-cased.
  static QString ProgramName(bool publisher);
  // "Brannock Publisher" or "Brannock": what the user sees the program called.
  static QString ProgramTitle(bool publisher);
};
