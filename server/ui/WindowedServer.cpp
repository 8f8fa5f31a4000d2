#include "server/ui/WindowedServer.h"

#include <QApplication>
#include <cstdlib>

#include "common/FileHelpers.h"
#include "common/PathParser.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/WhatsThisKey.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"
#include "server/ui/CCheckOutControlDlg.h"
#include "server/ui/CServerAddressDlg.h"
#include "server/ui/CSetLibraryNameDlg.h"
#include "server/ui/RootMoveCommand.h"
#include "server/ui/ServerNotifier.h"

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

std::string Absolute(const std::string& path) { return path.empty() ? path : PathParser::FullPath(path); }

// The small administration dialogs: made for one showing, F1 on a control shows its help.
template <typename Dialog>
void ShowSmallDialog(CWexmoorDoc& document, QWidget* parent) {
  Dialog dialog(document, parent);
  platform::ui::WhatsThisKey::Install(&dialog);
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
  CMainFrame::Commands commands;
  commands.shutdown = [this] { app_.ExitInstance(); };
  commands.administration[CMainFrame::kUserAdministration] = [this, &document](QWidget* parent) {
    ShowUserAdministration(document, parent);
  };
  commands.administration[CMainFrame::kSetRootPath] = [this, &document](QWidget* parent) {
    ServerConsole& console = *app_.GetConsole();
    LibraryRootMove::Environment environment;
    environment.loggedOnNames = [&console] { return console.GetLoggedOnUserNames(); };
    RootMoveCommand(document, environment, RootMoveCommand::DialogChooser(parent)).Run();
  };
  commands.administration[CMainFrame::kSetServerAddress] = [&document](QWidget* parent) {
    ShowSmallDialog<CServerAddressDlg>(document, parent);
  };
  commands.administration[CMainFrame::kSetLibraryName] = [&document](QWidget* parent) {
    ShowSmallDialog<CSetLibraryNameDlg>(document, parent);
  };
  commands.administration[CMainFrame::kCheckOutControl] = [&document](QWidget* parent) {
    ShowSmallDialog<CCheckOutControlDlg>(document, parent);
  };
  frame_ = std::make_unique<CMainFrame>(*runtime_, document.GetSettings().GetLibraryName(), std::move(commands));
  return true;
}

void WindowedServer::Show() {
  if (frame_) frame_->showMaximized();
}

void WindowedServer::ShowUserAdministration(CWexmoorDoc& document, QWidget* parent) {
  if (usersDialog_ == nullptr) {
    usersDialog_ = new CEditUsersDlg(document, parent);
    CEditUsersDlg* dialog = usersDialog_;
    dialog->SetHelpRequest([dialog](int topic) { platform::ui::HelpWindow::ShowTopic(dialog, topic); });
    platform::ui::WhatsThisKey::Install(dialog);
  }
  usersDialog_->exec();
}

bool HasDisplay() { return IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"); }

int RunWindowedServer(const HeadlessOptions& options, int argc, char** argv, std::ostream& err) {
  if (!HasDisplay()) {
    err << "wexmoor: no display to show the server's window on; use wexmoor --headless to serve without one"
        << std::endl;
    return 1;
  }
  const std::string workingFolder = Absolute(options.workingFolder);
  if (!workingFolder.empty() && !CreateFolderPath(workingFolder)) {
    err << "Cannot create the working folder " << workingFolder << std::endl;
    return 1;
  }
  QApplication application(argc, argv);
  ServerNotifier::Install();
  WindowedServer server;
  if (!server.Start({workingFolder, "", Absolute(options.rootPath)})) return 1;
  server.Show();
  application.exec();
  return 0;
}
