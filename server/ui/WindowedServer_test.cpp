#include "server/ui/WindowedServer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/fs.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"
#include "server/admin/LibraryAdministrator.h"
#include "server/admin/RunningServer.h"
#include "server/engine/ServerConsole.h"
#include "server/store/CWexmoorDoc.h"
#include "server/ui/CWexmoorView.h"
#include "testsupport/TestServer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWaitMs = 10000;

class WindowedServerTest : public ::testing::Test {
 protected:
  // Starts the windowed server on the test library and waits until it listens.
  void StartWindowed() {
    ASSERT_TRUE(windowed_.Start(library_.PrepareLibrary()));
    ASSERT_NE(nullptr, windowed_.Frame());
    ASSERT_EQ(ServerConsole::ListenerState::Listening,
              windowed_.App().GetConsole()->WaitForListener(std::chrono::milliseconds(kWaitMs)));
  }

  platform::ui::ScriptedNotifier notifier_;
  TestServer library_;   // the library and its clients; the windowed server serves it
  WindowedServer windowed_;
};

TEST_F(WindowedServerTest, TitleAndStatusLinesDescribeTheLibrary) {
  StartWindowed();
  CMainFrame& frame = *windowed_.Frame();
  const std::string name = CWexmoorApp::GetDocument()->GetSettings().GetLibraryName();
  EXPECT_EQ(QString::fromStdString(name + " - Wexmoor"), frame.windowTitle());
  const ConsoleSnapshot& shown = frame.View().Snapshot();
  ASSERT_EQ(5u, shown.statusLines.size());
  EXPECT_EQ(0u, shown.statusLines[0].rfind("Wexmoor started at ", 0));
  EXPECT_EQ("Library Name is " + name, shown.statusLines[1]);
  EXPECT_EQ("Library root path is [" + library_.RootPath() + "]", shown.statusLines[2]);
  EXPECT_EQ(0u, shown.statusLines[3].rfind("Machine name is ", 0));
  EXPECT_EQ("Listening port is " + std::to_string(library_.Port()), shown.statusLines[4]);
  EXPECT_EQ("Up Time is 0 week(s), 0 day(s), 0 hour(s), 0 minute(s)", shown.upTimeText);
  EXPECT_EQ("Active user count is 0", shown.activeUserText);
  EXPECT_TRUE(notifier_.Received().empty());
  windowed_.Show();
  EXPECT_TRUE(frame.isMaximized());
  frame.showNormal();
  EXPECT_EQ(QSize(CMainFrame::kDefaultWidth, CMainFrame::kDefaultHeight)
                .boundedTo(frame.screen()->availableGeometry().size()),
            frame.size());
  // Too small for the console: it scrolls.
  frame.resize(200, 100);
  QScrollArea* scroller = frame.findChild<QScrollArea*>("consoleScroller");
  ASSERT_NE(nullptr, scroller);
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return scroller->horizontalScrollBar()->maximum() > 0 && scroller->verticalScrollBar()->maximum() > 0;
  }, kWaitMs));
}

TEST_F(WindowedServerTest, ARenameShowsInTheTitleAndTheConsoleWithoutARestart) {
  StartWindowed();
  CMainFrame& frame = *windowed_.Frame();
  const RunningServer shell(*windowed_.App().GetConsole(), "from the shell");
  const struct {
    const char* what;
    std::string name;
    std::function<void(const std::string&)> rename;
  } cases[] = {
      {"the window's dialog", "Window Name",
       [&frame](const std::string& name) {
         QTimer::singleShot(0, &frame, [name] {
           auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
           if (dialog == nullptr) return;
           dialog->findChild<QLineEdit*>("libraryName")->setText(QString::fromStdString(name));
           dialog->accept();
         });
         frame.Action(CMainFrame::kSetLibraryName)->trigger();
       }},
      {"the shell", "Shell Name",
       [&shell](const std::string& name) {
         std::ostringstream out;
         std::ostringstream err;
         LibraryAdministrator administrator(*CWexmoorApp::GetDocument(), &shell, {}, out, err);
         EXPECT_EQ(administrator.Run({"set-library-name", name}), LibraryAdministrator::kDone) << err.str();
       }},
  };
  for (const auto& c : cases) {
    c.rename(c.name);
    const QString title = QString::fromStdString(c.name + " - Wexmoor");
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.windowTitle() == title; }, kWaitMs)) << c.what;
    ASSERT_GE(frame.View().Snapshot().statusLines.size(), 2u);
    EXPECT_EQ(frame.View().Snapshot().statusLines[1], "Library Name is " + c.name) << c.what;
  }
}

TEST_F(WindowedServerTest, StartUpNoticesAreConsoleLinesThatNeverHoldUpTheListener) {
  const CWexmoorApp::StartOptions options = library_.PrepareLibrary();
  const std::string temporary = library_.RootPath() + "/" + CWexmoorDoc::kTemporaryFolderName;
  ASSERT_TRUE(platform::fs::CreateFolder(temporary));
  std::ofstream(temporary + "/Temp1_1.wxf") << "cut short";
  ASSERT_TRUE(windowed_.Start(options));
  EXPECT_EQ(ServerConsole::ListenerState::Listening,
            windowed_.App().GetConsole()->WaitForListener(std::chrono::milliseconds(kWaitMs)));
  EXPECT_TRUE(notifier_.Received().empty());
  const std::vector<std::string> lines = windowed_.App().GetConsole()->GetStatusLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("Moved 1 leftover file(s)", 0) == 0;
  }));
}

TEST_F(WindowedServerTest, UserAdministrationShowsOneUsersDialogWithItsHelp) {
  StartWindowed();
  CMainFrame& frame = *windowed_.Frame();
  std::vector<QWidget*> shown;
  for (int i = 0; i < 2; ++i) {
    QTimer::singleShot(0, &frame, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      shown.push_back(modal);
      auto* dialog = qobject_cast<CEditUsersDlg*>(modal);
      if (dialog == nullptr) return;
      if (i == 0) {   // invalid details: Yes asks for help; leaving discards them
        notifier_.QueueAnswer(platform::NotifyAnswer::Yes);
        notifier_.QueueAnswer(platform::NotifyAnswer::No);
        dialog->AddNewUser();
        QLineEdit* name = dialog->findChild<QLineEdit*>("nameEdit");
        name->setText("../ann");
        emit name->textEdited(name->text());
        dialog->SaveChanges();
      }
      dialog->reject();
    });
    frame.Action(CMainFrame::kUserAdministration)->trigger();
  }
  ASSERT_EQ(2u, shown.size());
  ASSERT_NE(nullptr, qobject_cast<CEditUsersDlg*>(shown[0]));
  EXPECT_EQ(shown[0], shown[1]);
  EXPECT_EQ(&frame, shown[0]->parentWidget());
  platform::ui::HelpWindow* help = platform::ui::HelpWindow::Find(shown[0]);
  ASSERT_NE(nullptr, help);
  EXPECT_EQ(CEditUsersDlg::kUserDetailsHelpContext, help->Topic());
  EXPECT_TRUE(help->toPlainText().contains("User accounts"));
}

// Types `text` into the line edit `name` of `dialog` as a user does.
void TypeInto(QWidget& dialog, const char* name, const QString& text) {
  QLineEdit* edit = dialog.findChild<QLineEdit*>(name);
  ASSERT_NE(nullptr, edit) << name;
  edit->setText(text);
  emit edit->textEdited(text);
}

TEST_F(WindowedServerTest, EachChangeInTheAdministrationDialogsIsOneConsoleLine) {
  StartWindowed();
  CMainFrame& frame = *windowed_.Frame();
  const std::string by = "Administration in the server window " + RunningServer::ByUser(::geteuid()) + ": ";
  const std::string address = CWexmoorApp::GetDocument()->GetSettings().GetServerAddress();
  const struct {
    int action;
    std::function<void(QDialog&)> change;
    std::string line;
  } cases[] = {
      {CMainFrame::kUserAdministration,
       [](QDialog& dialog) {
         auto& users = static_cast<CEditUsersDlg&>(dialog);
         users.AddNewUser();
         TypeInto(users, "nameEdit", "ann");
         TypeInto(users, "passwordEdit", "secret");
         users.findChild<QComboBox*>("typeBox")->setCurrentIndex(UserAccount::kTcpIp);
         users.SaveChanges();
       },
       "User ann added"},
      {CMainFrame::kUserAdministration, [](QDialog& dialog) { static_cast<CEditUsersDlg&>(dialog).ToggleLockStatus(); },
       "User ann locked out"},
      {CMainFrame::kSetServerAddress,
       [](QDialog& dialog) {
         TypeInto(dialog, "serverPort", "6123");
         dialog.accept();
       },
       "Server address " + address + ", port 6123"},
  };
  for (const auto& c : cases) {
    const std::size_t before = windowed_.App().GetConsole()->GetStatusLines().size();
    QTimer::singleShot(0, &frame, [&c] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      c.change(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    frame.Action(c.action)->trigger();
    const std::vector<std::string> lines = windowed_.App().GetConsole()->GetStatusLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()),
              std::vector<std::string>{by + c.line});
  }
}

TEST_F(WindowedServerTest, SecondInstanceOnTheSameLibraryIsRefusedWithoutAWindow) {
  StartWindowed();
  WindowedServer second;
  EXPECT_FALSE(second.Start(library_.PrepareLibrary()));
  EXPECT_EQ(nullptr, second.Frame());
  ASSERT_EQ(1u, notifier_.Received().size());
  EXPECT_EQ(CWexmoorDoc::kAlreadyRunningText, notifier_.Received()[0].text);
}

TEST_F(WindowedServerTest, LoggedOnClientIsListedAndClosingWithItConnectedEndsInBounds) {
  StartWindowed();
  const std::optional<UserAccount> ann = library_.AddUser("ann", "secret", false);
  ASSERT_TRUE(ann);
  std::unique_ptr<TestClient> client = library_.MakeClient(*ann);
  ASSERT_TRUE(client->Connect(library_.Port()));
  TestClient::Reply reply;
  ASSERT_EQ(TestClient::ReceiveStatus::Ok, client->Logon("ann", "secret", ann->GetLogonCode(), reply));
  ASSERT_EQ(MSGID_LOGON_ACCEPTED, reply.message.GetMessageId());

  // The window's own 2-second refresh lists the user.
  CMainFrame& frame = *windowed_.Frame();
  frame.show();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return frame.View().Snapshot().userLines == std::vector<std::string>{"ann"}; }, kWaitMs));
  EXPECT_EQ("Active user count is 1,       Locked out user count is 0", frame.View().Snapshot().activeUserText);

  const auto begun = Clock::now();
  frame.close();
  EXPECT_LT(Clock::now() - begun, std::chrono::seconds(10));
  EXPECT_EQ(nullptr, windowed_.App().GetConsole());
  EXPECT_EQ(0, windowed_.App().GetThreadCount());
  EXPECT_EQ(TestClient::ReceiveStatus::Ok, client->Receive(reply));
  EXPECT_EQ(MSGID_BYE, reply.message.GetMessageId());
}

TEST_F(WindowedServerTest, ASignalEndsTheOpenDialogThenClosesTheWindowAndTheServer) {
  StartWindowed();
  CMainFrame& frame = *windowed_.Frame();
  frame.show();
  bool consoleDuringDialog = false;
  QTimer::singleShot(0, &frame, [&] {
    consoleDuringDialog = QApplication::activeModalWidget() != nullptr && windowed_.App().GetConsole() != nullptr;
    windowed_.CloseInOrder();
    // The window stays until the dialog's loop has returned.
    EXPECT_TRUE(frame.isVisible());
  });
  frame.Action(CMainFrame::kUserAdministration)->trigger();
  EXPECT_TRUE(consoleDuringDialog);
  EXPECT_TRUE(QTest::qWaitFor([&] { return windowed_.App().GetConsole() == nullptr; }, kWaitMs));
  EXPECT_FALSE(frame.isVisible());
  EXPECT_EQ(0, windowed_.App().GetThreadCount());
}

}  // namespace
