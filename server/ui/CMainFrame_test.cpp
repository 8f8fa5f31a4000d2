#include "server/ui/CMainFrame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QRegularExpression>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWhatsThis>

#include "platform/ui/HelpWindow.h"
#include "platform/ui/KeyboardWalk_test.h"
#include "server/ui/CCheckOutControlDlg.h"
#include "server/ui/CEditUsersDlg.h"
#include "server/ui/CGroupsDlg.h"
#include "server/ui/CServerAddressDlg.h"
#include "server/ui/CServerChooseDirectoryDlg.h"
#include "server/ui/CSetLibraryNameDlg.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"
#include "server/ui/CWexmoorView.h"
#include "server/ui/FakeConsoleRuntime_test.h"

namespace {

class CMainFrameTest : public ::testing::Test {
 protected:
  CMainFrame::Commands Commands() {
    CMainFrame::Commands commands;
    commands.shutdown = [this] { ++shutdowns_; };
    // Two of the administration commands; the others stay disabled.
    for (const int command : {CMainFrame::kUserAdministration, CMainFrame::kSetRootPath}) {
      commands.administration[command] = [this, command](QWidget* parent) { administrationParents_[command] = parent; };
    }
    return commands;
  }

  FakeConsoleRuntime runtime_;
  int shutdowns_ = 0;
  std::map<int, QWidget*> administrationParents_;
  CMainFrame frame_{runtime_, "Drawings", Commands()};
};

TEST_F(CMainFrameTest, MenusCarryTheCommandsWithTheirPrompts) {
  EXPECT_EQ("Drawings - Wexmoor", frame_.windowTitle());
  QStringList titles;
  for (QAction* menu : frame_.menuBar()->actions()) titles << menu->text();
  EXPECT_EQ((QStringList{"&Exit", "&View", "&Administration", "&Help"}), titles);

  struct Item {
    int command;
    const char* text;
    bool enabled;
    const char* prompt;
    const char* tip;
  };
  for (const Item& item : {
           Item{CMainFrame::kExit, "E&xit", true, "", ""},
           Item{CMainFrame::kUserAdministration, "&User Administration ...", true, "Add, edit, delete user accounts",
                "User Administration"},
           Item{CMainFrame::kGroupAdministration, "&Groups ...", false,
                "Make and change the groups that give accounts their rights", "Groups"},
           Item{CMainFrame::kSetRootPath, "Set &Root Path ...", true, "Set the root path for the library",
                "Set Root Path"},
           Item{CMainFrame::kSetServerAddress, "Set Server &IP Address", false, "Set Server IP Address",
                "Set IP Address"},
           Item{CMainFrame::kSetLibraryName, "Set &Library Name ...", false, "Set the name of the Library",
                "Set Library Name"},
           Item{CMainFrame::kCheckOutControl, "&Check-out Control ...", false, "Change check-out control settings",
                ""},
           Item{CMainFrame::kHelpTopics, "&Help Topics", true, "", ""},
           Item{CMainFrame::kGettingStarted, "&Getting Started", true, "", ""},
           Item{CMainFrame::kAbout, "&About Wexmoor...", true, "", ""},
       }) {
    QAction* action = frame_.Action(item.command);
    ASSERT_NE(nullptr, action) << item.command;
    EXPECT_EQ(item.text, action->text());
    EXPECT_EQ(item.enabled, action->isEnabled()) << item.text;
    EXPECT_EQ(item.prompt, action->statusTip()) << item.text;
    if (*item.tip != '\0') {
      EXPECT_EQ(item.tip, action->toolTip());
    }
  }

  EXPECT_EQ(platform::ui::AccessKeyFaults(*frame_.menuBar()), std::vector<std::string>{});

  QToolBar* toolbar = frame_.findChild<QToolBar*>();
  ASSERT_NE(nullptr, toolbar);
  QList<QAction*> expected;
  for (const int command : {CMainFrame::kUserAdministration, CMainFrame::kSetRootPath, CMainFrame::kSetServerAddress,
                            CMainFrame::kSetLibraryName}) {
    expected << frame_.Action(command);
    EXPECT_FALSE(frame_.Action(command)->icon().isNull()) << command;
  }
  EXPECT_EQ(expected, toolbar->actions());

  for (const int command : {CMainFrame::kUserAdministration, CMainFrame::kSetRootPath}) {
    frame_.Action(command)->trigger();
    EXPECT_EQ(&frame_, administrationParents_[command]) << command;
  }
}

TEST_F(CMainFrameTest, ViewTogglesHideAndShowToolbarAndStatusBar) {
  frame_.show();
  QToolBar* toolbar = frame_.findChild<QToolBar*>();
  for (const int command : {CMainFrame::kViewToolbar, CMainFrame::kViewStatusBar}) {
    QWidget* bar = command == CMainFrame::kViewToolbar ? static_cast<QWidget*>(toolbar) : frame_.statusBar();
    QAction* toggle = frame_.Action(command);
    ASSERT_TRUE(toggle->isChecked());
    toggle->trigger();
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(bar->isVisible()) << command;
    toggle->trigger();
    EXPECT_TRUE(bar->isVisible()) << command;
  }
}

TEST_F(CMainFrameTest, AboutBoxNamesTheProgramAndVersion) {
  QString title, text;
  QTimer::singleShot(0, &frame_, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    title = box->windowTitle();
    text = box->text();
    box->accept();
  });
  frame_.Action(CMainFrame::kAbout)->trigger();
  EXPECT_EQ("About Wexmoor", title);
  EXPECT_EQ("Wexmoor Version 1.4", text);
}

TEST_F(CMainFrameTest, HelpKeysOpenTheFrameTopicAndWhatsThisMode) {
  frame_.show();
  frame_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame_));
  QTest::keyClick(&frame_, Qt::Key_F1);
  platform::ui::HelpWindow* help = platform::ui::HelpWindow::Find(&frame_);
  ASSERT_NE(nullptr, help);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(CMainFrame::kFrameHelpTopic, help->Topic());
  EXPECT_EQ("topic131200", help->source().fragment());
  EXPECT_TRUE(help->toPlainText().contains("status console"));

  frame_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame_));
  QTest::keyClick(&frame_, Qt::Key_F1, Qt::ShiftModifier);
  EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
  QWhatsThis::leaveWhatsThisMode();
}

TEST(HelpPageTest, EveryWindowsTopicAndEveryLinkHasItsSection) {
  QFile file(":/wexmoor/wexmoor-help.html");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString page = QString::fromUtf8(file.readAll());
  QList<int> topics = {CMainFrame::kFrameHelpTopic,    CMainFrame::kGettingStartedTopic,
                       CEditUsersDlg::kUserDetailsHelpContext, CServerChooseDirectoryDlg::kHelpTopic,
                       CServerAddressDlg::kHelpTopic,  CSetLibraryNameDlg::kHelpTopic,
                       CCheckOutControlDlg::kHelpTopic, CGroupsDlg::kHelpTopic};
  for (const QRegularExpressionMatch& link : QRegularExpression("href=\"#topic(\\d+)\"").globalMatch(page)) {
    topics << link.captured(1).toInt();
  }
  for (const int topic : topics) {
    EXPECT_TRUE(page.contains(QString("<a name=\"topic%1\">").arg(topic))) << topic;
  }
}

TEST_F(CMainFrameTest, ClosingRunsTheShutdownOnceAndStopsTheRefresh) {
  frame_.show();
  EXPECT_TRUE(frame_.View().IsTimerActive());
  frame_.Action(CMainFrame::kExit)->trigger();
  EXPECT_EQ(1, shutdowns_);
  EXPECT_FALSE(frame_.View().IsTimerActive());
  frame_.show();
  frame_.close();
  EXPECT_EQ(1, shutdowns_);
}

TEST_F(CMainFrameTest, ExitAsksFirstOnlyWhileUsersAreConnected) {
  struct Case {
    int users;
    platform::NotifyAnswer answer;
    bool closed;
  };
  const Case cases[] = {{0, platform::NotifyAnswer::No, true},
                        {2, platform::NotifyAnswer::Yes, true},
                        {2, platform::NotifyAnswer::No, false}};
  for (const Case& c : cases) {
    platform::ui::ScriptedNotifier notifier;
    notifier.QueueAnswer(c.answer);
    int shutdowns = 0;
    CMainFrame::Commands commands;
    commands.shutdown = [&shutdowns] { ++shutdowns; };
    commands.connectedUsers = [&c] { return c.users; };
    CMainFrame frame(runtime_, "Drawings", std::move(commands));
    frame.show();
    frame.Action(CMainFrame::kExit)->trigger();
    EXPECT_EQ(frame.isVisible(), !c.closed) << c.users;
    EXPECT_EQ(shutdowns, c.closed ? 1 : 0) << c.users;
    const std::vector<platform::Notification> asked = notifier.Received();
    ASSERT_EQ(asked.size(), c.users > 0 ? 1u : 0u);
    if (asked.empty()) continue;
    EXPECT_EQ(asked[0].text, "2 users are connected to Wexmoor.\nExiting disconnects them. Exit Wexmoor now?");
    EXPECT_EQ(asked[0].buttons, platform::NotifyButtons::YesNo);
  }
}

}  // namespace
