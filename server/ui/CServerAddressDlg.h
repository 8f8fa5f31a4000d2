#pragma once
// Shows the server's address (read-only) and sets its listening port, which the
// running listener keeps until the next start; existing accounts take the new port
// so that their next certificates carry it. Sets the library's TLS mode and port
// too (from the next start), making the server's key when TLS is turned on first.
#include <QDialog>
#include <string>

class CWexmoorDoc;
class RunningServer;
class QComboBox;
class QLineEdit;

class CServerAddressDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpTopic = 200002;

  explicit CServerAddressDlg(CWexmoorDoc& document, QWidget* parent = nullptr);
  // The port the running listener uses (default: the settings' port).
  void SetListeningPort(int port) { listeningPort_ = port; }

  // OK: refuses a port that is not a decimal number, 0 or above 65535 and an empty
  // address, and a TLS port the library cannot take, staying open; a failed save is
  // told and changes nothing. A new port or TLS setting is told to take effect at
  // the next start.
  void accept() override;
  // Each change saved is recorded on the running server's console (none: not recorded).
  void SetChangeRecorder(const RunningServer* server) { recorder_ = server; }

 private:
  CWexmoorDoc& document_;
  const RunningServer* recorder_ = nullptr;
  QLineEdit* address_ = nullptr;
  QLineEdit* port_ = nullptr;
  QComboBox* tlsMode_ = nullptr;
  QLineEdit* tlsPort_ = nullptr;
  int tlsModeBefore_ = 0;
  QString tlsPortBefore_;
  int listeningPort_ = 0;
};
