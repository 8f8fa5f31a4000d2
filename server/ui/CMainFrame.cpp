#include "server/ui/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>
#include <QWhatsThis>

#include "common/Version.h"
#include "platform/Notifier.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/WindowPlacement.h"
#include "server/ui/CWexmoorView.h"

namespace {

constexpr const char* kHelpPage = "qrc:/wexmoor/wexmoor-help.html";
constexpr const char* kProgramIcon = ":/wexmoor/wexmoor.xpm";

// Status-line prompts: the text before "\n" goes to the status bar, the text after
// it is the tool tip.
struct Prompt {
  int command;
  const char* text;
  const char* icon;   // toolbar icon; null: not on the toolbar
};
constexpr Prompt kPrompts[] = {
    {CMainFrame::kUserAdministration, "Add, edit, delete user accounts\nUser Administration", ":/wexmoor/users.xpm"},
    {CMainFrame::kSetRootPath, "Set the root path for the library\nSet Root Path", ":/wexmoor/rootpath.xpm"},
    {CMainFrame::kSetServerAddress, "Set Server IP Address\nSet IP Address", ":/wexmoor/address.xpm"},
    {CMainFrame::kSetLibraryName, "Set the name of the Library\nSet Library Name", ":/wexmoor/libraryname.xpm"},
    {CMainFrame::kCheckOutControl, "Change check-out control settings", nullptr},
    {CMainFrame::kGroupAdministration, "Make and change the groups that give accounts their rights\nGroups", nullptr},
};

void ApplyPrompt(QAction& action, const Prompt& prompt) {
  const QString text = QString::fromUtf8(prompt.text);
  const qsizetype split = text.indexOf('\n');
  action.setStatusTip(text.left(split));
  action.setWhatsThis(text.left(split));
  if (split >= 0) action.setToolTip(text.mid(split + 1));
}

}  // namespace

CMainFrame::CMainFrame(ConsoleRuntime& runtime, const std::string& libraryName, Commands commands, QWidget* parent)
    : QMainWindow(parent), view_(new CWexmoorView(runtime, this)), commands_(std::move(commands)) {
  setObjectName("CMainFrame");
  ShowLibraryName(libraryName);
  connect(view_, &CWexmoorView::refreshed, this, [this] {
    if (!view_->Snapshot().libraryName.empty()) ShowLibraryName(view_->Snapshot().libraryName);
  });
  setWindowIcon(QIcon(kProgramIcon));
  platform::ui::HelpWindow::SetPage(QUrl(kHelpPage));
  auto* scroller = new QScrollArea(this);
  scroller->setObjectName("consoleScroller");
  scroller->setWidgetResizable(true);
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidget(view_);
  setCentralWidget(scroller);
  statusBar();   // made now: the prompts of the commands show in it
  BuildMenus();
  BuildToolBar();
  view_->OnInitialUpdate();
}

void CMainFrame::ShowLibraryName(const std::string& name) {
  setWindowTitle(QString::fromStdString(name) + " - Wexmoor");
}

QAction* CMainFrame::Action(int command) const {
  const auto found = actions_.find(command);
  return found == actions_.end() ? nullptr : found->second;
}

QAction* CMainFrame::AddCommand(QMenu* menu, int command, const char* text) {
  QAction* action = menu->addAction(QString::fromUtf8(text));
  actions_[command] = action;
  for (const Prompt& prompt : kPrompts) {
    if (prompt.command == command) ApplyPrompt(*action, prompt);
  }
  return action;
}

void CMainFrame::BuildMenus() {
  QMenu* exitMenu = menuBar()->addMenu("&Exit");
  connect(AddCommand(exitMenu, kExit, "E&xit"), &QAction::triggered, this, [this] {
    if (ConfirmExit()) close();
  });

  QMenu* viewMenu = menuBar()->addMenu("&View");
  QAction* toolbar = AddCommand(viewMenu, kViewToolbar, "&Toolbar");
  QAction* statusLine = AddCommand(viewMenu, kViewStatusBar, "&Status Bar");
  for (QAction* toggle : {toolbar, statusLine}) {
    toggle->setCheckable(true);
    toggle->setChecked(true);
  }
  connect(statusLine, &QAction::toggled, statusBar(), &QWidget::setVisible);

  QMenu* administration = menuBar()->addMenu("&Administration");
  const std::pair<int, const char*> administrationItems[] = {{kUserAdministration, "&User Administration ..."},
                                                             {kGroupAdministration, "&Groups ..."},
                                                             {kSetRootPath, "Set &Root Path ..."},
                                                             {kSetServerAddress, "Set Server &IP Address"},
                                                             {kSetLibraryName, "Set &Library Name ..."},
                                                             {kCheckOutControl, "&Check-out Control ..."}};
  for (const auto& [command, text] : administrationItems) {
    QAction* action = AddCommand(administration, command, text);
    const auto found = commands_.administration.find(command);
    if (found == commands_.administration.end()) {
      action->setEnabled(false);
      continue;
    }
    connect(action, &QAction::triggered, this, [this, run = found->second] {
      run(this);
      // What the command changed (a new library name, say) shows at once.
      view_->OnTimer();
    });
  }

  QMenu* help = menuBar()->addMenu("&Help");
  QAction* topics = AddCommand(help, kHelpTopics, "&Help Topics");
  topics->setShortcut(QKeySequence(Qt::Key_F1));
  topics->setShortcutContext(Qt::WindowShortcut);
  connect(topics, &QAction::triggered, this, [this] { ShowHelp(kFrameHelpTopic); });
  connect(AddCommand(help, kGettingStarted, "&Getting Started"), &QAction::triggered, this,
          [this] { ShowHelp(kGettingStartedTopic); });
  help->addSeparator();
  connect(AddCommand(help, kAbout, "&About Wexmoor..."), &QAction::triggered, this, &CMainFrame::ShowAbout);

  // Shift+F1: the next click shows what the clicked item does.
  QAction* contextHelp = QWhatsThis::createAction(this);
  contextHelp->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
  addAction(contextHelp);
  actions_[kContextHelp] = contextHelp;
}

void CMainFrame::BuildToolBar() {
  QToolBar* toolbar = addToolBar("Toolbar");
  toolbar->setObjectName("Toolbar");
  for (const Prompt& prompt : kPrompts) {
    if (prompt.icon == nullptr) continue;
    QAction* action = Action(prompt.command);
    action->setIcon(QIcon(prompt.icon));
    toolbar->addAction(action);
  }
  QAction* toggle = Action(kViewToolbar);
  connect(toggle, &QAction::toggled, toolbar, &QWidget::setVisible);
  connect(toolbar, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
}

void CMainFrame::PrepareAbout(QMessageBox& about) {
  about.setObjectName("AboutBox");
  about.setWindowTitle("About Wexmoor");
  about.setIconPixmap(QIcon(kProgramIcon).pixmap(32, 32));
  about.setText(QString("Wexmoor Version ") + kWexVersion);
  about.setStandardButtons(QMessageBox::Ok);
  platform::ui::FinishDialog(about);  // last: the setters above rebuild the box's layout
}

void CMainFrame::ShowAbout() {
  QMessageBox about(this);
  PrepareAbout(about);
  about.exec();
}

void CMainFrame::ShowHelp(int topic) { platform::ui::HelpWindow::ShowTopic(this, topic); }

bool CMainFrame::ConfirmExit() const {
  const int users = commands_.connectedUsers ? commands_.connectedUsers() : 0;
  if (users <= 0) return true;
  const std::string connected = users == 1 ? "1 user is" : std::to_string(users) + " users are";
  const std::string text = connected + " connected to Wexmoor.\nExiting disconnects " +
                           (users == 1 ? "that user" : "them") + ". Exit Wexmoor now?";
  return platform::Notify({text, "Wexmoor", platform::NotifyIcon::Question, platform::NotifyButtons::YesNo}) ==
         platform::NotifyAnswer::Yes;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A close asked by the window manager is the user's; the program's own (a signal,
  // the end of a test) never waits for an answer.
  if (!shutDown_ && event->spontaneous() && !ConfirmExit()) {
    event->ignore();
    return;
  }
  if (!shutDown_) {
    shutDown_ = true;
    view_->StopTimer();
    if (commands_.shutdown) commands_.shutdown();
  }
  event->accept();
}
