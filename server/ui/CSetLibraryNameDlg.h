#pragma once
// Sets the library's name in the settings and saves the users file that holds it.
// The title and status line keep the old name until the next start.
#include <QDialog>

class CWexmoorDoc;
class RunningServer;
class QLineEdit;

class CSetLibraryNameDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpTopic = 200003;

  explicit CSetLibraryNameDlg(CWexmoorDoc& document, QWidget* parent = nullptr);

  // OK: a blank name, or one that cannot be a folder name on a client (rule broken
  // or longer than 255 bytes), is refused and the dialog stays open; a failed save is told and changes nothing.
  void accept() override;
  // Each change saved is recorded on the running server's console (none: not recorded).
  void SetChangeRecorder(const RunningServer* server) { recorder_ = server; }

 private:
  CWexmoorDoc& document_;
  const RunningServer* recorder_ = nullptr;
  QLineEdit* name_ = nullptr;
};
