#pragma once
// Lists the current user's library connections (library, user, server and kind) and returns the
// index of the one chosen; -1 when there is none.
#include <QString>

#include "client/ui/ClientDialog.h"

class CBrannockApp;
class CListViewEx;

class COpenLibraryDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 155;

  COpenLibraryDlg(CBrannockApp& app, QWidget* parent = nullptr);

  int GetSelectedIndex() const { return selectedIndex_; }
  // The text of a connection kind: "Unknown", "TCP/IP", "Email", "FTP", "RAS", "Dialin".
  static QString KindText(int kind);

 private:
  void Fill(CBrannockApp& app);
  void OnSelectionChanged();

  CListViewEx* list_;
  int selectedIndex_ = -1;
};
