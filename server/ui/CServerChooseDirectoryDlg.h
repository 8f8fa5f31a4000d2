#pragma once
// The server's form of the folder-choosing dialog, used to pick a new library root:
// the same tree and drive list as the client's, without the derive check box.
#include "common/ui/CChooseDirectoryDlg.h"

class CServerChooseDirectoryDlg : public CChooseDirectoryDlg {
  Q_OBJECT

 public:
  static constexpr int kHelpTopic = 200001;

  explicit CServerChooseDirectoryDlg(QWidget* parent = nullptr, DriveSource drives = DriveSource());
  // `path` is shown first.
  void SetInitialPath(const std::string& path) { CChooseDirectoryDlg::SetInitialPath(path, false); }
};
