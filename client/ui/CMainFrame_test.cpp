#include "client/ui/CMainFrame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <chrono>
#include <memory>

#include "client/document/CBrannockApp.h"
#include "client/records/ClientAppState.h"
#include "client/ui/CAboutDlg.h"
#include "client/ui/CCheckoutOptionsDlg.h"
#include "client/ui/CInformationDlg.h"
#include "client/ui/CListViewEx.h"
#include "client/ui/CommandIds.h"
#include "client/ui/ModalRunner.h"
#include "common/Version.h"
#include "common/ui/CChooseDirectoryDlg.h"
#include "platform/ScratchFolder.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/KeyboardWalk_test.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"

namespace {

// A library that only counts the passes that reach it.
class CountingLibrary : public LibraryDocument {
 public:
  explicit CountingLibrary(int& passes) : passes_(passes) {}
  bool IsFirstRequestSent() const override { return true; }
  void SetFirstRequestSent() override {}
  bool IsReady() const override { return true; }
  bool IsLinkEnded() const override { return false; }
  void RequestProjectTree(bool) override {}
  void ProcessMessages(bool) override { ++passes_; }
  void Close() override {}

 private:
  int& passes_;
};

class CMainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { ModalRunner::SetScripted(true); }
  void TearDown() override {
    frame_.reset();
    app_.reset();
    ModalRunner::SetScripted(false);
    PaneLayout::SetWindowShown(false);
    ClientAppState::SetWindowState(0);
    ClientAppState::ClearUsersModified();
  }
  CMainFrame& Make(bool publisher) {
    frame_.reset();   // the frame goes before its application
    app_ = std::make_unique<CBrannockApp>(folder_.Path(), "login");
    app_->SetPublisher(publisher);
    EXPECT_TRUE(app_->InitInstance());
    frame_ = std::make_unique<CMainFrame>(*app_);
    return *frame_;
  }
  static bool WaitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < end) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }

  platform::ui::ScriptedNotifier notifier_;
  platform::ScratchFolder folder_;
  std::unique_ptr<CBrannockApp> app_;
  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(CMainFrameTest, CommandsCarryTheirIdsPromptsAndToolTips) {
  CMainFrame& frame = Make(true);
  struct Case {
    int id;
    const char* statusTip;
    const char* toolTip;
  };
  const Case cases[] = {
      {CommandIds::kVisitLibrary, "Visit a library", "Visit library"},
      {CommandIds::kImportCertificate, "Import library certificate", "Import Certificate ..."},
      {CommandIds::kRetrieve, "Retrieve versions of the selected project(s) and/or documents from the Library",
       "Get document version"},
      {CommandIds::kDelete, "Delete the active highlighted item from the library", "Delete from Library ..."},
      {CommandIds::kChooseLocalFolder, "Choose local folder", "Choose folder"},
  };
  for (const Case& c : cases) {
    const QAction* action = frame.Action(c.id);
    ASSERT_NE(action, nullptr) << c.id;
    EXPECT_EQ(action->objectName(), QString::number(c.id));
    EXPECT_EQ(action->statusTip(), c.statusTip) << c.id;
    EXPECT_EQ(action->toolTip(), c.toolTip) << c.id;
  }
  EXPECT_EQ(frame.Action(CommandIds::kVisitLibrary)->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(frame.Action(CommandIds::kRefresh)->shortcut(), QKeySequence("F5"));
  EXPECT_TRUE(frame.findChild<QMenu*>("View")->actions().contains(frame.Action(CommandIds::kRefresh)));
  EXPECT_EQ(frame.windowTitle(), "Brannock Publisher");
  EXPECT_EQ(frame.statusBar()->currentMessage(), CMainFrame::kIdlePrompt);

  QStringList menus;
  for (const QAction* menu : frame.menuBar()->actions()) menus << menu->text();
  EXPECT_EQ(menus, QStringList({"&Library", "&View", "&Operations", "&Publications", "&Help"}));
  QList<int> buttons;
  for (const QAction* action : frame.findChild<QToolBar*>("ToolBar128")->actions()) {
    buttons << (action->isSeparator() ? 0 : action->objectName().toInt());
  }
  EXPECT_EQ(buttons, QList<int>({57601, 0, 1025, 0, 32784, 0, 32777, 32778, 32779, 32780, 0, 32781, 0, 32782, 32783,
                                 0, 57664, 57669}));
  // Without a library, only the frame's own commands are enabled.
  EXPECT_TRUE(frame.Action(CommandIds::kVisitLibrary)->isEnabled());
  EXPECT_FALSE(frame.Action(CommandIds::kRetrieve)->isEnabled());
  EXPECT_FALSE(frame.Action(CommandIds::kNextPane)->isEnabled());
}

TEST_F(CMainFrameTest, EveryMenuItemOfBothProgramsHasAnAccessKeyOfItsOwn) {
  for (const bool publisher : {true, false}) {
    CMainFrame& frame = Make(publisher);
    EXPECT_EQ(platform::ui::AccessKeyFaults(*frame.menuBar()), std::vector<std::string>{}) << publisher;
  }
}

TEST_F(CMainFrameTest, EachProgramIsCalledByItsOwnTitleInItsWindowsAndPrompts) {
  const QString before = QApplication::applicationName();
  for (const QString title : {"Brannock Publisher", "Brannock"}) {
    const bool publisher = title != "Brannock";
    QApplication::setApplicationName(CAboutDlg::ProgramTitle(publisher));   // as the program starts
    CMainFrame& frame = Make(publisher);
    EXPECT_EQ(frame.windowTitle(), title);
    EXPECT_EQ(frame.Action(CommandIds::kToolTips)->statusTip(), "Toggles " + title + " tips on and off");
    const CAboutDlg about(publisher);
    EXPECT_EQ(about.windowTitle(), "About " + title);
    EXPECT_EQ(about.findChild<QLabel*>("1000")->text(), title + " Version " + kWexVersion);
    EXPECT_EQ(frame.Action(CommandIds::kAbout)->text(), "&About " + title + "...");
    const CCheckoutOptionsDlg options;
    EXPECT_EQ(options.windowTitle(), title + " - Document checkout options");
    const CInformationDlg information;
    EXPECT_EQ(information.windowTitle(), title + " Information");
    const CChooseDirectoryDlg chooser;
    EXPECT_EQ(chooser.windowTitle(), title + " - Choose Directory / Path");
  }
  QApplication::setApplicationName(before);
}

TEST_F(CMainFrameTest, TheStatusBarReturnsToItsIdleTextOnceACommandHasRun) {
  CMainFrame& frame = Make(true);
  QAction* statusBar = frame.Action(CommandIds::kViewStatusBar);
  for (int run = 0; run < 2; ++run) {   // hidden, then shown again
    statusBar->showStatusText();        // as the pointer on the menu item shows it
    EXPECT_EQ(frame.statusBar()->currentMessage(), statusBar->statusTip());
    statusBar->trigger();
    EXPECT_EQ(frame.statusBar()->currentMessage(), CMainFrame::kIdlePrompt) << run;
  }
}

TEST_F(CMainFrameTest, ThePlainProgramHasNoDeleteOrRenameAndNoPublishing) {
  CMainFrame& frame = Make(false);
  EXPECT_EQ(frame.Action(CommandIds::kDelete), nullptr);
  EXPECT_EQ(frame.Action(CommandIds::kRename), nullptr);
  ASSERT_NE(frame.Action(CommandIds::kPublish), nullptr);
  EXPECT_FALSE(frame.Action(CommandIds::kPublish)->isEnabled());
  EXPECT_FALSE(frame.QueryCommand(CommandIds::kPublish).handled);
}

TEST_F(CMainFrameTest, OneTimerFromTheFirstShowDrivesThePasses) {
  CMainFrame& frame = Make(true);
  int passes = 0;
  app_->GetOpenLibraries().Open(std::make_unique<CountingLibrary>(passes));
  EXPECT_TRUE(frame.findChildren<QTimer*>("ProcessingTimer").isEmpty());
  frame.ShowAtStart();
  frame.hide();
  frame.show();
  const QList<QTimer*> timers = frame.findChildren<QTimer*>("ProcessingTimer");
  ASSERT_EQ(timers.size(), 1);
  EXPECT_EQ(timers.front()->interval(), CMainFrame::kTimerMs);
  EXPECT_TRUE(WaitFor([&] { return passes >= 2; }));
  frame.close();   // closes the counting library too
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 0);
}

TEST_F(CMainFrameTest, TheStoredStateMaximisesTheFirstShowAndMinimisingStoresNothing) {
  CMainFrame& frame = Make(true);
  frame.showNormal();   // before the first show is complete: nothing stored
  EXPECT_FALSE(ClientAppState::AreUsersModified());
  frame.hide();
  ClientAppState::SetWindowState(ClientAppState::kMaximised);
  frame.ShowAtStart();
  EXPECT_TRUE(frame.isMaximized());
  ClientAppState::ClearUsersModified();
  frame.showMinimized();
  EXPECT_EQ(ClientAppState::GetWindowState(), ClientAppState::kMaximised);
  EXPECT_FALSE(ClientAppState::AreUsersModified());
  frame.showNormal();
  EXPECT_EQ(ClientAppState::GetWindowState(), 0);
  EXPECT_TRUE(ClientAppState::AreUsersModified());
  EXPECT_EQ(app_->GetCurrentUser()->GetWindowState(), 0);
}

TEST_F(CMainFrameTest, HelpAboutAndAConnectionThatIsNotTcpIp) {
  CMainFrame& frame = Make(true);
  frame.Action(CommandIds::kHelp)->trigger();
  ASSERT_NE(platform::ui::HelpWindow::Find(&frame), nullptr);
  EXPECT_EQ(platform::ui::HelpWindow::Find(&frame)->Topic(), CommandIds::kFrameHelpTopic);

  ModalRunner::QueueDialog(
      [](QDialog& dialog) { dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click(); }, "CAboutDlg");
  frame.Action(CommandIds::kAbout)->trigger();
  EXPECT_EQ(ModalRunner::PendingScripts(), 0);

  const auto openFirstRow = [](QDialog& dialog) {
    auto* list = dialog.findChild<CListViewEx*>("1001");
    list->setCurrentItem(list->topLevelItem(0));
    dialog.findChild<QPushButton*>("1083")->click();
  };
  ModalRunner::QueueDialog([](QDialog& dialog) { dialog.findChild<QPushButton*>("1083")->click(); },
                           "COpenLibraryDlg");
  frame.Action(CommandIds::kVisitLibrary)->trigger();   // no connections: nothing opens, nothing said
  EXPECT_TRUE(notifier_.Received().empty());

  LibraryConnection mail;
  mail.SetName("Mail");
  mail.SetKind(LibraryConnection::kEmail);
  app_->GetCurrentUser()->AddConnection(mail);
  ModalRunner::QueueDialog(openFirstRow, "COpenLibraryDlg");
  frame.Action(CommandIds::kVisitLibrary)->trigger();
  ASSERT_EQ(notifier_.Received().size(), 1u);
  EXPECT_EQ(notifier_.Received()[0].text, CMainFrame::kNotTcpIp);
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 0);
  EXPECT_TRUE(frame.Area().subWindowList().isEmpty());
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
}

TEST_F(CMainFrameTest, ImportingADamagedOrMissingCertificateSaysWhyAndACancelSaysNothing) {
  CMainFrame& frame = Make(true);
  struct Case {
    std::string path;
    std::string shown;   // empty: nothing
  };
  const Case cases[] = {
      {folder_.Put("damaged.wxc", "not a certificate"), "The certificate is invalid or corrupt and has been rejected"},
      {folder_ / "missing.wxc", "Certificate [" + (folder_ / "missing.wxc") + "] does not exist or is not accessible"},
      {"", ""},
  };
  for (const Case& c : cases) {
    frame.SetCertificatePathChooser([&c](QWidget*) { return c.path; });
    const std::size_t before = notifier_.Received().size();
    frame.RunRoutedCommand(CommandIds::kImportCertificate);
    const std::vector<platform::Notification> shown = notifier_.Received();
    ASSERT_EQ(shown.size() - before, c.shown.empty() ? 0u : 1u) << c.path;
    EXPECT_EQ(shown.size() == before ? "" : shown.back().text, c.shown);
  }
  EXPECT_EQ(app_->GetCurrentUser()->GetConnectionCount(), 0);
}

}  // namespace
