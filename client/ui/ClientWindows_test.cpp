// The main frame and its library windows against a running test server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMdiArea>
#include <QPushButton>
#include <QSplitter>

#include "client/ui/CBrannockView.h"
#include "client/ui/CListViewEx.h"
#include "client/ui/CMainFrame.h"
#include "client/ui/CommandIds.h"
#include "client/ui/LocalFileListView.h"
#include "client/ui/ModalRunner.h"
#include "client/ui/CRowListView.h"
#include "client/ui/SplitterFrame.h"
#include "common/MessageIds.h"
#include "platform/ui/QtTestApplication.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

class ClientWindowsTest : public ClientLibraryTest {
 protected:
  void SetUp() override {
    ClientLibraryTest::SetUp();
    ModalRunner::SetScripted(true);
    frame_ = std::make_unique<CMainFrame>(*app_);
  }
  void TearDown() override {
    frame_.reset();
    ModalRunner::SetScripted(false);
    PaneLayout::SetWindowShown(false);
    ClientAppState::SetWindowState(0);
    ClientLibraryTest::TearDown();
  }
  void RegisterCounters() override {
    Count(MSGID_REFRESH_PROJECTS, treeRequests_);
    Count(MSGID_LOGOFF, logoffs_);
  }

  // Visit Library, choosing the connection in row `row` of the dialog.
  void Visit(int row) {
    ModalRunner::QueueDialog(
        [row](QDialog& dialog) {
          auto* list = dialog.findChild<CListViewEx*>("1001");
          list->setCurrentItem(list->topLevelItem(row));
          dialog.findChild<QPushButton*>("1083")->click();
        },
        "COpenLibraryDlg");
    frame_->RunRoutedCommand(CommandIds::kVisitLibrary);
  }
  // Imports the certificate the server wrote for ann, through the file dialog.
  void ImportThroughTheFileDialog() {
    const std::string path = folder_ / "ann.wxc";
    ModalRunner::QueueDialog(
        [path](QDialog& dialog) {
          static_cast<QFileDialog&>(dialog).selectFile(QString::fromStdString(path));
          dialog.accept();   // QFileDialog::accept takes the selected file
        },
        "ImportCertificateDialog");
    frame_->RunRoutedCommand(CommandIds::kImportCertificate);
  }
  std::vector<SplitterFrame*> Windows() const {
    std::vector<SplitterFrame*> open;
    for (QMdiSubWindow* window : frame_->Area().subWindowList()) {
      auto* library = qobject_cast<SplitterFrame*>(window);
      if (library != nullptr && library->GetDocument() != nullptr) open.push_back(library);
    }
    return open;
  }

  std::atomic<int> treeRequests_{0};
  std::atomic<int> logoffs_{0};
  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(ClientWindowsTest, AVisitOpensOneWindowPerLibraryAndClosingItLogsOff) {
  Visit(0);
  ASSERT_EQ(Windows().size(), 1u);
  SplitterFrame* window = Windows().front();
  EXPECT_TRUE(PassUntil([&] { return treeRequests_ == 1; }));

  Visit(0);   // the open library's window comes to the front: no second logon
  EXPECT_EQ(Windows().size(), 1u);
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 1);
  EXPECT_EQ(frame_->ActiveLibraryWindow(), window);
  frame_->RefreshCommands();
  EXPECT_TRUE(frame_->Action(CommandIds::kNextPane)->isEnabled());

  const Clock::time_point start = Clock::now();
  window->close();
  EXPECT_EQ(logoffs_, 1);
  EXPECT_LT(Clock::now() - start, milliseconds(CBrannockDoc::kLogoffPasses * CBrannockDoc::kLogoffPassMs));
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 0);
  EXPECT_TRUE(Windows().empty());
  // A pane command left over from the closed window does nothing.
  frame_->RunRoutedCommand(CommandIds::kNextPane);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(frame_->Area().subWindowList().isEmpty());
}

TEST_F(ClientWindowsTest, ACertificateImportedThroughTheFileDialogOpensAndExitClosesTheLibrary) {
  ImportThroughTheFileDialog();
  EXPECT_EQ(Shown(), std::vector<std::string>{"Certificate imported successfully"});
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
  Visit(0);
  ASSERT_EQ(Windows().size(), 1u);
  EXPECT_TRUE(PassUntil([&] { return treeRequests_ == 1; }));
  frame_->show();
  // The command holds the active library: the frame's ticks finish the exit.
  frame_->RunRoutedCommand(CommandIds::kExit);
  EXPECT_TRUE(WaitUntil([&] {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    return !frame_->isVisible();
  }));
  EXPECT_EQ(logoffs_, 1);
  EXPECT_EQ(app_->GetOpenLibraries().GetCount(), 0);
  EXPECT_TRUE(Windows().empty());
}

TEST_F(ClientWindowsTest, TheLibraryWindowTakesTheStoredPaneSizesAndF6GoesRoundThePanes) {
  {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    app_->GetCurrentUser()->SetPaneSizes(280, 100, 0, 200, 0, 300, UserProfile::kCurrentLayout);
  }
  frame_->resize(1000, 800);
  frame_->ShowAtStart();
  EXPECT_TRUE(PaneLayout::MayStorePaneSizes());
  Visit(0);
  ASSERT_EQ(Windows().size(), 1u);
  SplitterFrame* window = Windows().front();
  const auto* outer = window->findChild<QSplitter*>("OuterSplitter");
  const auto* inner = window->findChild<QSplitter*>("InnerSplitter");
  ASSERT_TRUE(outer != nullptr && inner != nullptr);
  EXPECT_NE(qobject_cast<CBrannockView*>(outer->widget(0)), nullptr);
  EXPECT_NE(qobject_cast<CRowListView*>(inner->widget(0)), nullptr);
  EXPECT_NE(qobject_cast<LocalFileListView*>(inner->widget(1)), nullptr);
  EXPECT_EQ(outer->sizes().value(0), 280);
  // The rows share the height in the stored proportion.
  const QList<int> rows = inner->sizes();
  ASSERT_EQ(rows.size(), 2);
  EXPECT_NEAR(rows[0] * 300.0 / rows[1], 200.0, 6.0);

  const auto view = [&](int pane) { return dynamic_cast<CommandTarget*>(window->GetPane(pane)); };
  EXPECT_EQ(window->GetActiveView(), view(0));
  for (const int expected : {1, 2, 0}) {
    frame_->RunRoutedCommand(CommandIds::kNextPane);
    EXPECT_EQ(window->GetActiveView(), view(expected)) << expected;
  }
  frame_->RunRoutedCommand(CommandIds::kPreviousPane);
  EXPECT_EQ(window->GetActiveView(), view(2));
}

TEST_F(ClientWindowsTest, ALinkThatEndsUnderADialogClosesTheWindowOnceTheDialogReturns) {
  Visit(0);
  ASSERT_EQ(Windows().size(), 1u);
  SplitterFrame* window = Windows().front();
  CBrannockDoc* document = window->GetDocument();
  ASSERT_TRUE(PassUntil([&] { return document->IsFirstRequestSent(); }));
  bool pendingUnderTheDialog = false;
  bool viewsKept = false;
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        server_.Stop();
        // The dialog's loop runs the passes; the command's hold keeps the library.
        pendingUnderTheDialog = PassUntil([&] { return document->IsClosePending(); });
        viewsKept = window->GetDocument() == document && window->GetPane(0) != nullptr;
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
      },
      "CAboutDlg");
  frame_->RunRoutedCommand(CommandIds::kAbout);
  EXPECT_TRUE(pendingUnderTheDialog);
  EXPECT_TRUE(viewsKept);
  EXPECT_TRUE(PassUntil([&] { return app_->GetOpenLibraries().GetCount() == 0; }));
  EXPECT_TRUE(Windows().empty());
}

}  // namespace
