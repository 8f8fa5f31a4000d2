#include "server/ui/WindowedServer.h"

#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <functional>
#include <iostream>

#include "common/FileHelpers.h"
#include "common/PathParser.h"
#include "platform/ui/CloseOnSignal.h"
#include "platform/ui/Display.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/WhatsThisKey.h"
#include "platform/ui/WindowPlacement.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"
#include "server/ui/CCheckOutControlDlg.h"
#include "server/ui/CGroupsDlg.h"
#include "server/ui/CServerAddressDlg.h"
#include "server/ui/CSetLibraryNameDlg.h"
#include "server/ui/RootMoveCommand.h"
#include "server/ui/ServerNotifier.h"
#include "server/ui/ServerTestHooks.h"

namespace {

std::string Absolute(const std::string& path) { return path.empty() ? path : PathParser::FullPath(path); }

// The small administration dialogs: made for one showing, with their help keys.
template <typename Dialog>
void ShowSmallDialog(CWexmoorDoc& document, QWidget* parent, const std::function<void(Dialog&)>& prepare = {}) {
  Dialog dialog(document, parent);
  platform::ui::WhatsThisKey::Install(&dialog, Dialog::kHelpTopic);
  if (prepare) prepare(dialog);
  dialog.exec();
}

}  // namespace

WindowedServer::WindowedServer() {
  app_.SetMessageHandler([this](RTE& engine, const Msg& request) { return dispatcher_.Dispatch(engine, request); });
}

WindowedServer::~WindowedServer() {
  frame_.reset();
  app_.ExitInstance();
}

bool WindowedServer::Start(const CWexmoorApp::StartOptions& options) {
  if (frame_ || !app_.InitInstance(options)) return false;
  CWexmoorDoc& document = *CWexmoorApp::GetDocument();
  runtime_ = std::make_unique<ServerConsoleRuntime>(*app_.GetConsole());
  windowAdministration_ =
      std::make_unique<RunningServer>(*app_.GetConsole(), "in the server window " + RunningServer::ByUser(::geteuid()));
  CMainFrame::Commands commands;
  commands.shutdown = [this] { app_.ExitInstance(); };
  commands.administration[CMainFrame::kUserAdministration] = [this, &document](QWidget* parent) {
    ShowUserAdministration(document, parent);
  };
  commands.administration[CMainFrame::kGroupAdministration] = [this, &document](QWidget* parent) {
    ShowSmallDialog<CGroupsDlg>(document, parent, [this](CGroupsDlg& dialog) {
      dialog.SetChangeRecorder(windowAdministration_.get());
    });
  };
  commands.administration[CMainFrame::kSetRootPath] = [this, &document](QWidget* parent) {
    ServerConsole& console = *app_.GetConsole();
    LibraryRootMove::Environment environment;
    environment.loggedOnNames = [&console] { return console.GetLoggedOnUserNames(); };
    RootMoveCommand(document, environment, RootMoveCommand::DialogChooser(parent)).Run();
  };
  commands.administration[CMainFrame::kSetServerAddress] = [this, &document](QWidget* parent) {
    const int listening = app_.GetConsole()->GetListeningPort();
    ShowSmallDialog<CServerAddressDlg>(document, parent, [this, listening](CServerAddressDlg& dialog) {
      dialog.SetListeningPort(listening);
      dialog.SetChangeRecorder(windowAdministration_.get());
    });
  };
  commands.administration[CMainFrame::kSetLibraryName] = [this, &document](QWidget* parent) {
    ShowSmallDialog<CSetLibraryNameDlg>(document, parent, [this](CSetLibraryNameDlg& dialog) {
      dialog.SetChangeRecorder(windowAdministration_.get());
    });
  };
  commands.administration[CMainFrame::kCheckOutControl] = [&document](QWidget* parent) {
    ShowSmallDialog<CCheckOutControlDlg>(document, parent);
  };
  commands.connectedUsers = [this] { return app_.GetConsole()->GetActiveUserCount(); };
  frame_ = std::make_unique<CMainFrame>(*runtime_, document.GetSettings().GetLibraryName(), std::move(commands));
  return true;
}

void WindowedServer::Show() {
  if (frame_) platform::ui::ShowMaximized(*frame_);
}

void WindowedServer::CloseInOrder() {
  platform::ui::CloseOnSignal::RejectModalWindows();
  // Posted: the rejected dialogs' loops return before the window goes.
  if (frame_) QTimer::singleShot(0, frame_.get(), &QWidget::close);
}

void WindowedServer::ShowUserAdministration(CWexmoorDoc& document, QWidget* parent) {
  if (usersDialog_ == nullptr) {
    usersDialog_ = new CEditUsersDlg(document, parent);
    CEditUsersDlg* dialog = usersDialog_;
    dialog->SetChangeRecorder(windowAdministration_.get());
    dialog->SetHelpRequest([dialog](int topic) { platform::ui::HelpWindow::ShowTopic(dialog, topic); });
    platform::ui::WhatsThisKey::Install(dialog, CEditUsersDlg::kUserDetailsHelpContext);
  }
  usersDialog_->exec();
}

int RunWindowedServer(const HeadlessOptions& options, int argc, char** argv, std::ostream& err) {
  if (!platform::ui::HasDisplay()) {
    err << "wexmoor: no display to show the server's window on; use wexmoor --headless to serve without one"
        << std::endl;
    return 1;
  }
  const std::optional<std::string> workingFolder = ServerWorkingFolder(options, err);
  if (!workingFolder) return 1;
  platform::ui::CloseOnSignal::Install();
  QApplication application(argc, argv);
  ServerNotifier::Install();
  WindowedServer server;
  server.App().SetCompanionStarter(options.companion);
  if (!server.Start({*workingFolder, "", Absolute(options.rootPath)})) return 1;
  platform::ui::CloseOnSignal closeOnSignal;
  QObject::connect(&closeOnSignal, &platform::ui::CloseOnSignal::requested, [&server] { server.CloseInOrder(); });
  server.Show();
  std::unique_ptr<ServerTestHooks> hooks;
  if (options.testHooks) hooks = std::make_unique<ServerTestHooks>(server, STDIN_FILENO, std::cout);
  application.exec();
  return 0;
}
