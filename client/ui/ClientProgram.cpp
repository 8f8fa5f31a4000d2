#include "client/ui/ClientProgram.h"

#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <algorithm>
#include <iostream>
#include <memory>

#include "client/document/CBrannockApp.h"
#include "client/ui/CAboutDlg.h"
#include "client/ui/ClientTestHooks.h"
#include "client/ui/CMainFrame.h"
#include "common/WorkingFolderOption.h"
#include "platform/Notifier.h"
#include "platform/Process.h"
#include "platform/ui/CloseOnSignal.h"
#include "platform/ui/Display.h"
#include "platform/ui/QtNotifier.h"

namespace {

// Every box of the program carries the program's name, for as long as its windows run.
class ProgramNotifier {
 public:
  ProgramNotifier() {
    platform::SetNotifyHandler([](const platform::Notification& notification) {
      platform::Notification named = notification;
      if (named.caption.empty()) named.caption = QApplication::applicationName().toStdString();
      return platform::ui::ShowMessageBox(named);
    });
  }
  ~ProgramNotifier() { platform::SetNotifyHandler(nullptr); }
  ProgramNotifier(const ProgramNotifier&) = delete;
  ProgramNotifier& operator=(const ProgramNotifier&) = delete;
};

}  // namespace

bool ParseClientArguments(const std::vector<std::string>& arguments, ClientOptions& options, std::string& error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--test-hooks") {
      options.testHooks = true;
      continue;
    }
    if (arguments[i] == WorkingFolderOption::kCreateFlag) {
      options.createWorkingFolder = true;
      continue;
    }
    if (arguments[i] != "--workdir") {
      error = "unknown argument " + arguments[i];
      return false;
    }
    if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      error = "--workdir needs a folder";
      return false;
    }
    options.workingFolder = arguments[++i];
  }
  return true;
}

int RunClientProgram(bool publisher, int argc, char** argv, std::ostream& err) {
  platform::ui::CloseOnSignal::Install();
  const std::string program = CAboutDlg::ProgramName(publisher).toLower().toStdString();
  const std::string usage = "usage: " + program + " [--workdir DIR [--create-workdir]] [--test-hooks]";
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end()) {
    std::cout << usage << "\n"
              << (publisher ? "The publishing desktop client" : "The desktop client")
              << " of a Wexmoor document library.\n\n"
                 "  --workdir DIR   keep the program's files in DIR, an existing folder, instead of\n"
                 "                  the current folder; one running program per folder\n"
                 "  --create-workdir  make the --workdir folder when it does not exist\n"
                 "  --test-hooks    read test commands on standard input\n"
                 "  --help          show this text\n"
              << std::flush;
    return 0;
  }
  ClientOptions options;
  std::string error;
  if (!ParseClientArguments(arguments, options, error)) {
    err << program << ": " << error << "\n" << usage << std::endl;
    return 64;
  }
  if (!platform::ui::HasDisplay()) {
    err << program << ": no display to show the program's window on" << std::endl;
    return 1;
  }
  std::optional<std::string> workingFolder =
      WorkingFolderOption::Resolve(options.workingFolder, options.createWorkingFolder, error);
  if (!workingFolder) {
    err << program << ": " << error << std::endl;
    return 1;
  }
  if (workingFolder->empty()) workingFolder = platform::WorkingFolder();
  QApplication application(argc, argv);
  // The name every box and dialog caption carries.
  QApplication::setApplicationName(CAboutDlg::ProgramTitle(publisher));
  const ProgramNotifier notifier;
  QPointer<CMainFrame> frame;
  platform::ui::CloseOnSignal signalWatcher;
  QObject::connect(&signalWatcher, &platform::ui::CloseOnSignal::requested, [&frame] {
    platform::ui::CloseOnSignal::RejectModalWindows();
    if (frame != nullptr) QMetaObject::invokeMethod(frame.data(), &QWidget::close, Qt::QueuedConnection);
  });

  CBrannockApp app(*workingFolder, platform::LoginName());
  app.SetPublisher(publisher);
  if (!app.InitInstance()) return 1;
  CMainFrame mainFrame(app);
  frame = &mainFrame;
  mainFrame.ShowAtStart();
  std::unique_ptr<ClientTestHooks> hooks;
  if (options.testHooks) hooks = std::make_unique<ClientTestHooks>(app, mainFrame, STDIN_FILENO, std::cout);
  QApplication::exec();
  return 0;
}
