#pragma once
// Shows the server's address (read-only) and sets its listening port, which the
// running listener keeps until the next start; existing accounts take the new port
// so that their next certificates carry it.
#include <QDialog>
#include <string>

class CWexmoorDoc;
class RunningServer;
class QLineEdit;

class CServerAddressDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpTopic = 200002;

  explicit CServerAddressDlg(CWexmoorDoc& document, QWidget* parent = nullptr);
  // The port the running listener uses (default: the settings' port).
  void SetListeningPort(int port) { listeningPort_ = port; }

  // OK: refuses a port that is not a decimal number, 0 or above 65535 and an empty
  // address, staying open; a failed save is told and changes nothing. A new port
  // is told to take effect at the next start.
  void accept() override;
  // Each change saved is recorded on the running server's console (none: not recorded).
  void SetChangeRecorder(const RunningServer* server) { recorder_ = server; }

 private:
  CWexmoorDoc& document_;
  const RunningServer* recorder_ = nullptr;
  QLineEdit* address_ = nullptr;
  QLineEdit* port_ = nullptr;
  int listeningPort_ = 0;
};
