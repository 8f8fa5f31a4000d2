#pragma once
// The server with its windows: the application with the request dispatcher, the
// console's view of it and the main window. Start-up order: the application's
// start-up (document, then console and listener), then the window; a refused
// start-up leaves no window. Closing the window shuts the server down.
#include <QPointer>
#include <memory>
#include <ostream>

#include "server/engine/CWexmoorApp.h"
#include "server/engine/HeadlessServer.h"
#include "server/admin/RunningServer.h"
#include "server/engine/RequestDispatcher.h"
#include "server/ui/CEditUsersDlg.h"
#include "server/ui/CMainFrame.h"
#include "server/ui/ServerConsoleRuntime.h"

class WindowedServer {
 public:
  WindowedServer();
  // The server's shutdown when the window has not run it yet.
  ~WindowedServer();
  WindowedServer(const WindowedServer&) = delete;
  WindowedServer& operator=(const WindowedServer&) = delete;

  // Starts the server and makes (but does not show) its window. False when the
  // start-up refused (its message was shown); then there is no window.
  bool Start(const CWexmoorApp::StartOptions& options);
  // Shows the main window maximised (after a successful Start); un-maximised it
  // has its default size.
  void Show();
  // What SIGINT and SIGTERM do: every open dialog ends with Cancel, then, once their
  // loops have returned, the window closes (which shuts the server down).
  void CloseInOrder();
  // The main window; null before a successful Start.
  CMainFrame* Frame() const { return frame_.get(); }
  CWexmoorApp& App() { return app_; }

 private:
  // The user administration: one dialog, owned by the window, shown again each time.
  void ShowUserAdministration(CWexmoorDoc& document, QWidget* parent);

  CWexmoorApp app_;
  RequestDispatcher dispatcher_;
  std::unique_ptr<ServerConsoleRuntime> runtime_;
  // Records on the console the changes made in the administration dialogs.
  std::unique_ptr<RunningServer> windowAdministration_;
  std::unique_ptr<CMainFrame> frame_;
  QPointer<CEditUsersDlg> usersDialog_;
};

// The windowed program: the message boxes, the server and its maximised window
// until the window is closed. 0 after an orderly close; 1 without a display (said
// on `err`) or when the start-up refused.
int RunWindowedServer(const HeadlessOptions& options, int argc, char** argv, std::ostream& err);
