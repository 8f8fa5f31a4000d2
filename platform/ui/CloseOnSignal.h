#pragma once
// SIGINT and SIGTERM for a windowed program, shared by the server and the clients:
// the handler only writes a byte to a pipe, and whichever event loop runs (the main
// one or a nested dialog's) turns it into the `requested` signal on the user-
// interface thread, where the program closes its windows in order. A signal that
// arrives before a watcher exists waits in the pipe.
#include <QObject>

class QSocketNotifier;

namespace platform::ui {

class CloseOnSignal : public QObject {
  Q_OBJECT

 public:
  // Routes both signals into the pipe (and unblocks them in the calling thread).
  // Call before any thread starts. False when the pipe cannot be made.
  static bool Install();

  // Watches the pipe; needs Install and a QCoreApplication.
  explicit CloseOnSignal(QObject* parent = nullptr);

  // Ends every open modal dialog or box with Rejected, innermost first, so that
  // their loops return before the window under them closes.
  static void RejectModalWindows();

 signals:
  // Once per batch of signals read from the pipe.
  void requested();

 private:
  void Drain();

  QSocketNotifier* notifier_;
};

}  // namespace platform::ui
