#include "client/ui/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIcon>
#include <QLayout>
#include <QLocale>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QWhatsThis>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/records/ClientAppState.h"
#include "client/rules/CompareProgramChoice.h"
#include "client/ui/CAboutDlg.h"
#include "client/ui/CCompareProgramDlg.h"
#include "client/ui/CommandIds.h"
#include "client/ui/COpenLibraryDlg.h"
#include "client/ui/ModalRunner.h"
#include "client/ui/SplitterFrame.h"
#include "platform/Notifier.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/WindowPlacement.h"

namespace {

constexpr const char* kHelpPage = "qrc:/brannock/brannock-help.html";
constexpr const char* kProgramIcon = ":/brannock/brannock-program.xpm";
constexpr const char* kPlainStatusTip = "wexPlainStatusTip";
constexpr const char* kPlainToolTip = "wexPlainToolTip";
constexpr int kSeparator = 0;

// A command's menu text and its prompt: the status-bar text up to the line break,
// the tool tip after it.
struct CommandText {
  int id;
  const char* text;
  const char* prompt;
  const char* icon;
};

const CommandText kCommands[] = {
    {CommandIds::kVisitLibrary, "&Visit Library...", "Visit a library\nVisit library", "visit"},
    {CommandIds::kMapToFolder, "&Map project to local folder ...", "Map the project to a local folder\nMap to disk",
     "map"},
    {CommandIds::kImportCertificate, "&Import Certificate ...", "Import library certificate", nullptr},
    {CommandIds::kExit, "E&xit", "Quit the application; prompts to save documents\nExit", nullptr},
    {CommandIds::kViewToolbar, "&Toolbar", "Show or hide the toolbar\nToggle ToolBar", nullptr},
    {CommandIds::kViewStatusBar, "&Status Bar", "Show or hide the status bar\nToggle StatusBar", nullptr},
    {CommandIds::kRefresh, "&Refresh",
     "Fetch the selected project's documents, or with the library selected its projects, from the server "
     "again\nRefresh",
     nullptr},
    {CommandIds::kToolTips, "Tool-tips &On / Off", "Toggles Brannock Publisher tips on and off\nTips On / Off",
     "tips"},
    {CommandIds::kRetrieve, "&Retrieve documents from Library ...",
     "Retrieve versions of the selected project(s) and/or documents from the Library\nGet document version",
     "retrieve"},
    {CommandIds::kCheckOut, "Check-&out documents ...",
     "Check-out selected project(s) and/or document(s)\nCheck-out document(s)", "checkout"},
    {CommandIds::kCheckIn, "Check-&in documents ...",
     "Check-in selected folders and documents to project\nCheck-in document(s)", "checkin"},
    {CommandIds::kUndoCheckOut, "&Undo check-out ...",
     "Give your check-out of the selected documents back without making a version\nUndo check-out", nullptr},
    {CommandIds::kAddToLibrary, "&Add to Library ...", "Add folder and/or documents to project\nAdd to project", "add"},
    {CommandIds::kHistory, "&History ...",
     "Show the versions of the focused document, to get, open or compare them\nHistory", nullptr},
    {CommandIds::kCompareProgram, "Compare &program ...", "Choose the program that compares documents which are not text",
     nullptr},
    {CommandIds::kDelete, "&Delete from Library ...", "Delete the active highlighted item from the library", nullptr},
    {CommandIds::kRename, "Re&name folder or document ...", "Rename library folder or document", nullptr},
    {CommandIds::kPublish, "&Publish new Edition or Supplement ...", "Publish new edition or supplement\nPublish",
     "publish"},
    {CommandIds::kConfirmPublication, "&Confirm publication details",
     "Confirm edition or supplement publication details\nConfirm publication", "confirm"},
    {CommandIds::kHelpTopics, "&Help Topics", "List Help topics\nHelp Topics", nullptr},
    {CommandIds::kAbout, "&About Brannock Publisher...",
     "Display program information, version number and copyright\nAbout", "about"},
    {CommandIds::kChooseLocalFolder, "Choose local folder", "Choose local folder\nChoose folder", "choosefolder"},
    {CommandIds::kContextHelp, "What's This?", "Display help for clicked on buttons, menus and windows\nHelp",
     "contexthelp"},
    {CommandIds::kHelp, "Help", "Display help for current task or command\nHelp", nullptr},
    {CommandIds::kFindInLibrary, "&Find in Library ...",
     "Find documents by name or holder in every project of the library\nFind in Library", nullptr},
    {CommandIds::kMyCheckOuts, "&My Check-outs ...", "List every document you have checked out in the library\nMy check-outs",
     nullptr},
    {CommandIds::kDocumentDetails, "De&tails ...", "Show the details of the document under the pointer\nDetails",
     nullptr},
    {CommandIds::kNextPane, "Next Pane", "Switch to the next window pane\nNext Pane", nullptr},
    {CommandIds::kPreviousPane, "Previous Pane", "Switch back to the previous window pane\nPrevious Pane", nullptr},
};

struct MenuItems {
  const char* title;
  std::vector<int> items;   // kSeparator between groups
};

const MenuItems kMenus[] = {
    {"&Library",
     {CommandIds::kVisitLibrary, kSeparator, CommandIds::kMapToFolder, CommandIds::kImportCertificate, kSeparator,
      CommandIds::kCompareProgram, kSeparator, CommandIds::kExit}},
    {"&View", {CommandIds::kViewToolbar, CommandIds::kViewStatusBar, CommandIds::kToolTips, kSeparator,
               CommandIds::kRefresh, kSeparator, CommandIds::kFindInLibrary, CommandIds::kMyCheckOuts}},
    {"&Operations",
     {CommandIds::kRetrieve, CommandIds::kCheckOut, CommandIds::kCheckIn, CommandIds::kUndoCheckOut, kSeparator,
      CommandIds::kHistory, kSeparator, CommandIds::kAddToLibrary, kSeparator, CommandIds::kDelete, CommandIds::kRename}},
    {"&Publications", {CommandIds::kPublish, CommandIds::kConfirmPublication}},
    {"&Help", {CommandIds::kHelpTopics, kSeparator, CommandIds::kAbout}},
};

const int kToolBar[] = {CommandIds::kVisitLibrary, kSeparator, CommandIds::kChooseLocalFolder, kSeparator,
                        CommandIds::kToolTips, kSeparator, CommandIds::kAddToLibrary, CommandIds::kCheckIn,
                        CommandIds::kCheckOut, CommandIds::kRetrieve, kSeparator, CommandIds::kMapToFolder,
                        kSeparator, CommandIds::kPublish, CommandIds::kConfirmPublication, kSeparator,
                        CommandIds::kAbout, CommandIds::kContextHelp};

// Commands that only the publishing program has.
bool IsPublisherOnly(int command) {
  return command == CommandIds::kPublish || command == CommandIds::kConfirmPublication ||
         command == CommandIds::kDelete || command == CommandIds::kRename;
}

// Commands whose menu item and button carry a check mark; Publish's shows while a
// publication is being prepared.
bool IsToggle(int command) {
  return command == CommandIds::kViewToolbar || command == CommandIds::kViewStatusBar ||
         command == CommandIds::kToolTips || command == CommandIds::kPublish;
}


// Widens the columns of Qt's own file dialog's detail view to show their headings and
// cells whole, the Date Modified column any date and time, and the dialog so that the
// last column shows. Columns never narrow here. A native dialog is left alone.
void FitFileColumns(QFileDialog& dialog) {
  auto* view = dialog.findChild<QTreeView*>("treeView");
  if (view == nullptr || view->header()->count() == 0) return;
  QHeaderView* header = view->header();
  for (int column = 0; column < header->count(); ++column) {
    const int before = header->sectionSize(column);
    view->resizeColumnToContents(column);
    header->resizeSection(column, std::max(before, header->sectionSize(column)));
  }
  const int date = header->count() - 1;
  const QString widest =
      QLocale().toString(QDateTime(QDate(2028, 12, 28), QTime(23, 48, 58)), QLocale::ShortFormat);
  const int margin = 2 * view->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, view) + view->indentation();
  const int needed = view->fontMetrics().horizontalAdvance(widest) + margin;
  header->resizeSection(date, std::max(header->sectionSize(date), needed));
  const int columns = header->length() + view->verticalScrollBar()->sizeHint().width();
  const int missing = columns - view->viewport()->width();
  if (missing > 0) dialog.resize(dialog.width() + missing, dialog.height());
}

}  // namespace

CMainFrame::CMainFrame(CBrannockApp& app, QWidget* parent)
    : QMainWindow(parent),
      app_(app),
      router_(
          [this](int command) {
            SplitterFrame* window = ActiveLibraryWindow();
            return std::vector<CommandTarget*>{window != nullptr ? window->GetActiveView(command) : nullptr, window,
                                               this};
          },
          [&app](int command) { return !app.IsPublisher() && IsPublisherOnly(command); }),
      area_(new QMdiArea(this)) {
  setObjectName("CMainFrame");
  setWindowTitle(CAboutDlg::ProgramTitle(app.IsPublisher()));
  setWindowIcon(QIcon(kProgramIcon));
  area_->setObjectName("MdiArea");
  setCentralWidget(area_);
  platform::ui::HelpWindow::SetPage(QUrl(kHelpPage));
  BuildCommands();
  BuildMenus();
  BuildToolBar();
  statusBar()->setObjectName("StatusBar");
  // Qt cannot read the lock keys' states, so the status bar has no lock indicators.
  connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
    if (message.isEmpty()) statusBar()->showMessage(kIdlePrompt);
  });
  statusBar()->showMessage(kIdlePrompt);
  app_.SetStatusNoticeHook([this](const std::string& text) { statusBar()->showMessage(QString::fromStdString(text)); });
  app_.GetOpenLibraries().SetClosedObserver([this](LibraryDocument& closed) {
    if (const auto* document = dynamic_cast<const CBrannockDoc*>(&closed)) {
      if (SplitterFrame* window = FindLibraryWindow(*document)) window->OnDocumentClosed();
    }
  });
  // Library windows widen it, within the screen, to show their lists' columns.
  resize(platform::ui::DefaultSize(*this));
  RefreshCommands();
}

CMainFrame::~CMainFrame() {
  app_.SetStatusNoticeHook(nullptr);
  app_.GetOpenLibraries().SetClosedObserver(nullptr);
  if (timer_ != nullptr) timer_->stop();
  // Library windows still here let go of their documents now, while the views exist.
  for (QMdiSubWindow* window : area_->subWindowList()) delete window;
}

QAction* CMainFrame::MakeAction(int command) {
  for (const CommandText& entry : kCommands) {
    if (entry.id != command) continue;
    const QString prompt = ProgramText(entry.prompt);
    auto* action = new QAction(ProgramText(entry.text), this);
    action->setObjectName(QString::number(command));
    const qsizetype lineBreak = prompt.indexOf('\n');
    action->setStatusTip(prompt.left(lineBreak));
    action->setWhatsThis(prompt.left(lineBreak));   // what Shift+F1 and a click show
    action->setToolTip(lineBreak < 0 ? ProgramText(entry.text).remove('&') : prompt.mid(lineBreak + 1));
    // Kept, for when the account's rights stop forbidding the command.
    action->setProperty(kPlainStatusTip, action->statusTip());
    action->setProperty(kPlainToolTip, action->toolTip());
    if (entry.icon != nullptr) action->setIcon(QIcon(QString(":/brannock/brannock-%1.xpm").arg(entry.icon)));
    action->setCheckable(IsToggle(command));
    connect(action, &QAction::triggered, this, [this, command] { RunRoutedCommand(command); });
    actions_[command] = action;
    return action;
  }
  return nullptr;
}

void CMainFrame::BuildCommands() {
  for (const CommandText& entry : kCommands) {
    if (!app_.IsPublisher() && (entry.id == CommandIds::kDelete || entry.id == CommandIds::kRename)) continue;
    MakeAction(entry.id);
  }
  Action(CommandIds::kVisitLibrary)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  Action(CommandIds::kRefresh)->setShortcut(QKeySequence(Qt::Key_F5));
  Action(CommandIds::kHistory)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  Action(CommandIds::kFindInLibrary)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  Action(CommandIds::kHelp)->setShortcut(QKeySequence(Qt::Key_F1));
  Action(CommandIds::kContextHelp)->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
  Action(CommandIds::kNextPane)->setShortcut(QKeySequence(Qt::Key_F6));
  Action(CommandIds::kPreviousPane)->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
  // Keys without a menu item work through the window itself.
  for (const int command : {CommandIds::kHelp, CommandIds::kNextPane, CommandIds::kPreviousPane}) {
    addAction(Action(command));
  }
}

void CMainFrame::BuildMenus() {
  menuBar()->setObjectName("128");
  for (const MenuItems& entry : kMenus) {
    QMenu* menu = menuBar()->addMenu(entry.title);
    menu->setObjectName(QString(entry.title).remove('&'));
    for (const int command : entry.items) {
      if (command == kSeparator) {
        menu->addSeparator();
      } else if (QAction* action = Action(command)) {
        menu->addAction(action);
      }
    }
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::RefreshCommands);
  }
}

void CMainFrame::BuildToolBar() {
  QToolBar* toolBar = addToolBar("Toolbar");
  toolBar->setObjectName("ToolBar128");
  toolBar->setIconSize(QSize(24, 24));
  for (const int command : kToolBar) {
    if (command == kSeparator) {
      toolBar->addSeparator();
    } else {
      toolBar->addAction(Action(command));
    }
  }
}

QString CMainFrame::MenuText(int command) const {
  for (const CommandText& entry : kCommands) {
    if (entry.id == command) return ProgramText(entry.text);
  }
  return QString();
}

QString CMainFrame::ProgramText(const char* text) const {
  QString named = text;
  if (!app_.IsPublisher()) named.replace(CAboutDlg::ProgramTitle(true), CAboutDlg::ProgramTitle(false));
  return named;
}

QAction* CMainFrame::Action(int command) const {
  const auto found = actions_.find(command);
  return found == actions_.end() ? nullptr : found->second;
}

void CMainFrame::RefreshCommands() {
  SplitterFrame* window = ActiveLibraryWindow();
  const CBrannockDoc* document = window != nullptr ? window->GetDocument() : nullptr;
  for (const auto& [command, action] : actions_) {
    const CommandStatus status = router_.Query(command);
    action->setEnabled(status.enabled);
    // Only a server that takes check-outs back shows the command at all.
    if (command == CommandIds::kUndoCheckOut) action->setVisible(document != nullptr && document->IsUndoCheckOutServed());
    const std::string text = router_.Text(command);
    action->setText(text.empty() ? MenuText(command) : QString::fromStdString(text));
    // A command the rights forbid says so where the pointer rests on it.
    const QString note = QString::fromStdString(router_.RightsNote(command));
    action->setStatusTip(note.isEmpty() ? action->property(kPlainStatusTip).toString() : note);
    action->setToolTip(note.isEmpty() ? action->property(kPlainToolTip).toString() : note);
    if (action->isCheckable()) action->setChecked(status.checked);
  }
}

void CMainFrame::RunRoutedCommand(int command) {
  SplitterFrame* window = ActiveLibraryWindow();
  CBrannockDoc* document = window != nullptr ? window->GetDocument() : nullptr;
  {
    std::optional<OpenLibraries::Hold> hold;
    if (document != nullptr) hold.emplace(app_.GetOpenLibraries(), *document);
    router_.Run(command);
  }
  RefreshCommands();
  // The prompt of the command just run is no longer what the pointer is on.
  statusBar()->clearMessage();
}

SplitterFrame* CMainFrame::ActiveLibraryWindow() const {
  const auto open = [](QMdiSubWindow* subWindow) {
    auto* window = qobject_cast<SplitterFrame*>(subWindow);
    return window != nullptr && window->GetDocument() != nullptr ? window : nullptr;
  };
  if (SplitterFrame* active = open(area_->activeSubWindow())) return active;
  // The area forgets its active window while the application is inactive: the
  // topmost open library stands in.
  const QList<QMdiSubWindow*> windows = area_->subWindowList(QMdiArea::StackingOrder);
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (SplitterFrame* window = open(*it)) return window;
  }
  return nullptr;
}

SplitterFrame* CMainFrame::FindLibraryWindow(const CBrannockDoc& document) const {
  for (QMdiSubWindow* subWindow : area_->subWindowList()) {
    auto* window = qobject_cast<SplitterFrame*>(subWindow);
    if (window != nullptr && window->GetDocument() == &document) return window;
  }
  return nullptr;
}

CommandStatus CMainFrame::QueryCommand(int command) {
  switch (command) {
    case CommandIds::kVisitLibrary:
    case CommandIds::kImportCertificate:
    case CommandIds::kCompareProgram:
    case CommandIds::kExit:
    case CommandIds::kHelpTopics:
    case CommandIds::kHelp:
    case CommandIds::kAbout:
    case CommandIds::kContextHelp: return {true, true, false};
    case CommandIds::kViewToolbar: {
      const auto* toolBar = findChild<QToolBar*>("ToolBar128");
      return {true, true, toolBar != nullptr && !toolBar->isHidden()};
    }
    case CommandIds::kViewStatusBar: return {true, true, !statusBar()->isHidden()};
    case CommandIds::kNextPane:
    case CommandIds::kPreviousPane: return {true, ActiveLibraryWindow() != nullptr, false};
    default: return {};
  }
}

void CMainFrame::RunCommand(int command) {
  switch (command) {
    case CommandIds::kVisitLibrary: VisitLibrary(); break;
    case CommandIds::kImportCertificate: ImportCertificate(); break;
    case CommandIds::kCompareProgram: ChooseCompareProgram(); break;
    case CommandIds::kExit: close(); break;
    case CommandIds::kHelpTopics:
    case CommandIds::kHelp: ShowHelp(); break;
    case CommandIds::kAbout: ShowAbout(); break;
    case CommandIds::kContextHelp: QWhatsThis::enterWhatsThisMode(); break;
    case CommandIds::kViewToolbar: {
      auto* toolBar = findChild<QToolBar*>("ToolBar128");
      toolBar->setVisible(toolBar->isHidden());
      break;
    }
    case CommandIds::kViewStatusBar: statusBar()->setVisible(statusBar()->isHidden()); break;
    case CommandIds::kNextPane:
    case CommandIds::kPreviousPane:
      if (SplitterFrame* window = ActiveLibraryWindow()) window->ActivateNextPane(command == CommandIds::kNextPane);
      break;
    default: break;
  }
}

void CMainFrame::ShowAtStart() {
  if (ClientAppState::GetWindowState() == ClientAppState::kMaximised) {
    platform::ui::ShowMaximized(*this);
  } else {
    show();
  }
  PaneLayout::SetWindowShown(true);
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (timer_ != nullptr) return;
  timer_ = new QTimer(this);
  timer_->setObjectName("ProcessingTimer");
  connect(timer_, &QTimer::timeout, this, &CMainFrame::OnTick);
  timer_->start(kTimerMs);
}

void CMainFrame::OnTick() {
  app_.DoProcessing();
  ShowConnecting();
  RefreshCommands();
  if (exitRequested_ && app_.GetOpenLibraries().GetCount() == 0) close();
}

void CMainFrame::ShowConnecting() {
  std::optional<std::string> text;
  app_.GetOpenLibraries().Find([&text](const LibraryDocument& document) {
    if (const auto* library = dynamic_cast<const CBrannockDoc*>(&document)) text = library->GetConnectingText();
    return text.has_value();
  });
  if (text) {
    if (connecting_ == nullptr) connecting_ = std::make_unique<WaitCursor>();
    if (statusBar()->currentMessage().toStdString() != *text) statusBar()->showMessage(QString::fromStdString(*text));
  } else if (connecting_ != nullptr) {
    connecting_.reset();
    statusBar()->clearMessage();
  }
}

void CMainFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) StoreWindowState();
}

void CMainFrame::StoreWindowState() {
  if (!PaneLayout::IsWindowShown() || isMinimized()) return;
  const int state = isMaximized() ? ClientAppState::kMaximised : 0;
  ClientAppState::SetWindowState(state);
  {
    platform::CriticalSection::Lock lock(app_.GetProfileLock());
    if (UserProfile* user = app_.GetCurrentUser()) user->SetWindowState(state);
  }
  if (SplitterFrame* window = ActiveLibraryWindow()) window->ApplyPaneSizes();
}

bool CMainFrame::CloseAllLibraries() {
  OpenLibraries& libraries = app_.GetOpenLibraries();
  // Held libraries stay asked to close and are passed over by Find.
  while (LibraryDocument* open = libraries.Find([](const LibraryDocument&) { return true; })) {
    libraries.RequestClose(*open);
  }
  return libraries.GetCount() == 0;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!CloseAllLibraries()) {
    // A handler still holds a library (or a pass runs): the ticks finish the exit.
    exitRequested_ = true;
    event->ignore();
    return;
  }
  if (timer_ != nullptr) timer_->stop();
  event->accept();
}

void CMainFrame::VisitLibrary() {
  COpenLibraryDlg dialog(app_, this);
  if (ModalRunner::Exec(dialog) != QDialog::Accepted) return;
  const int index = dialog.GetSelectedIndex();
  if (index < 0) return;
  bool tcpIp = false;
  {
    platform::CriticalSection::Lock lock(app_.GetProfileLock());
    UserProfile* user = app_.GetCurrentUser();
    const LibraryConnection* connection = user != nullptr ? user->GetConnection(index) : nullptr;
    if (connection == nullptr) return;
    tcpIp = connection->IsTcpIp();
  }
  if (!tcpIp) {
    platform::NotifyText(kNotTcpIp, platform::NotifyIcon::Warning);
    return;
  }
  if (CBrannockDoc* document = CBrannockDoc::VisitLibrary(app_, std::to_string(index))) OpenLibraryWindow(*document);
}

void CMainFrame::OpenLibraryWindow(CBrannockDoc& document) {
  if (SplitterFrame* open = FindLibraryWindow(document)) {
    area_->setActiveSubWindow(open);
    return;
  }
  auto* window = new SplitterFrame(document, layout_);
  // The context menus name their commands as the menus do, and the frame's items follow what they run.
  window->SetCommandTexts([this](int command) {
    const QAction* action = Action(command);
    return action == nullptr ? QString() : MenuText(command);
  });
  window->SetCommandsRun([this] { RefreshCommands(); });
  area_->addSubWindow(window);
  window->ShowMaximised();
  area_->setActiveSubWindow(window);
  window->WidenToShowColumns();
}

void CMainFrame::ChooseCompareProgram() {
  std::string setting;
  {
    platform::CriticalSection::Lock lock(app_.GetProfileLock());
    if (const UserProfile* user = app_.GetCurrentUser()) setting = user->GetCompareProgram();
  }
  const char* searchPath = std::getenv("PATH");
  CCompareProgramDlg dialog(setting, CompareProgramChoice::Effective("", searchPath == nullptr ? "" : searchPath), this);
  if (ModalRunner::Exec(dialog) != QDialog::Accepted) return;
  platform::CriticalSection::Lock lock(app_.GetProfileLock());
  if (UserProfile* user = app_.GetCurrentUser()) user->SetCompareProgram(dialog.GetSetting());
}

void CMainFrame::ImportCertificate() {
  const std::string path = chooseCertificate_ ? chooseCertificate_(this) : ChooseCertificateWithDialog();
  if (!path.empty()) app_.ImportCertificate(path);
}

std::string CMainFrame::ChooseCertificateWithDialog() {
  QFileDialog dialog(this, "Import Certificate", QString::fromStdString(app_.GetWorkingDirectory()),
                     kCertificateFilter);
  dialog.setObjectName("ImportCertificateDialog");
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  QTimer::singleShot(0, &dialog, [&dialog] { FitFileColumns(dialog); });   // the first thing its loop does
  // and again once the folder's files are listed.
  if (const auto* files = dialog.findChild<QFileSystemModel*>()) {
    connect(files, &QFileSystemModel::directoryLoaded, &dialog, [&dialog] { FitFileColumns(dialog); });
  }
  if (ModalRunner::Exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first().toStdString();
}

void CMainFrame::ShowAbout() {
  CAboutDlg dialog(app_.IsPublisher(), this);
  ModalRunner::Exec(dialog);
}

void CMainFrame::ShowHelp() { platform::ui::HelpWindow::ShowTopic(this, CommandIds::kFrameHelpTopic); }
