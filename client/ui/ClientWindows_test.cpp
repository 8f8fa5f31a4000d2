// The main frame and its library windows against a running test server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMdiArea>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <map>
#include <optional>

#include "client/ui/CAboutDlg.h"
#include "client/ui/CAddToLibraryDlg.h"
#include "client/ui/CBrannockView.h"
#include "client/ui/CCheckoutOptionsDlg.h"
#include "client/ui/CCommentsDlg.h"
#include "client/ui/CGetProjectFilesDlg.h"
#include "client/ui/CInformationDlg.h"
#include "client/ui/CListViewEx.h"
#include "client/ui/CMainFrame.h"
#include "client/ui/CNewEditionDlg.h"
#include "client/ui/COpenLibraryDlg.h"
#include "client/ui/COperationProgressDlg.h"
#include "client/ui/CRenameDlg.h"
#include "client/ui/CommandIds.h"
#include "client/ui/LocalFileListView.h"
#include "client/ui/ModalRunner.h"
#include "client/ui/CRowListView.h"
#include "client/ui/SplitterFrame.h"
#include "common/MessageIds.h"
#include "common/ui/CChooseDirectoryDlg.h"
#include "platform/ui/KeyboardWalk_test.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/WindowPlacement.h"
#include "server/store/LibraryGroups.h"
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

  // Every dialog of the program, for the open library `document`.
  std::vector<std::unique_ptr<QDialog>> AllDialogs(CBrannockDoc& document) {
    std::vector<std::unique_ptr<QDialog>> dialogs;
    dialogs.push_back(std::make_unique<CAboutDlg>(true));
    dialogs.push_back(std::make_unique<CAddToLibraryDlg>(document, work_, "", true));
    dialogs.push_back(std::make_unique<CCheckoutOptionsDlg>());
    dialogs.push_back(std::make_unique<CCommentsDlg>());
    dialogs.push_back(std::make_unique<CGetProjectFilesDlg>(document));
    dialogs.push_back(std::make_unique<CInformationDlg>());
    dialogs.push_back(std::make_unique<CNewEditionDlg>(document));
    dialogs.push_back(std::make_unique<COpenLibraryDlg>(*app_));
    dialogs.push_back(std::make_unique<COperationProgressDlg>(document));
    dialogs.push_back(std::make_unique<CRenameDlg>());
    dialogs.push_back(std::make_unique<CChooseDirectoryDlg>());
    return dialogs;
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

TEST_F(ClientWindowsTest, PublishShowsItsCheckMarkWhileAPublicationIsPrepared) {
  Visit(0);
  ASSERT_EQ(Windows().size(), 1u);
  CBrannockDoc* document = Windows().front()->GetDocument();
  QAction* publish = frame_->Action(CommandIds::kPublish);
  const auto* button =
      qobject_cast<QToolButton*>(frame_->findChild<QToolBar*>("ToolBar128")->widgetForAction(publish));
  ASSERT_NE(button, nullptr);
  for (const bool preparing : {true, false}) {
    document->SetPreparingPublication(preparing);
    frame_->RefreshCommands();
    EXPECT_EQ(publish->isChecked(), preparing);
    EXPECT_EQ(button->isChecked(), preparing);
  }
}

TEST_F(ClientWindowsTest, TheSplitTheUserLeftComesBackAfterARestart) {
  const auto openWindow = [this] {
    frame_->resize(1000, 800);
    frame_->ShowAtStart();
    Visit(0);
    EXPECT_EQ(Windows().size(), 1u);
    return Windows().empty() ? nullptr : Windows().front()->findChild<QSplitter*>("InnerSplitter");
  };
  QSplitter* inner = openWindow();
  ASSERT_NE(inner, nullptr);
  inner->setSizes({150, 450});
  const QList<int> left = inner->sizes();
  ASSERT_EQ(left.size(), 2);

  frame_.reset();
  app_.reset();
  PaneLayout::SetWindowShown(false);
  app_ = std::make_unique<CBrannockApp>(work_, "login");
  ASSERT_TRUE(app_->InitInstance());
  frame_ = std::make_unique<CMainFrame>(*app_);
  inner = openWindow();
  ASSERT_NE(inner, nullptr);
  const QList<int> back = inner->sizes();
  ASSERT_EQ(back.size(), 2);
  EXPECT_NEAR(back[1] * 1.0 / back[0], left[1] * 1.0 / left[0], 0.05);
}

TEST_F(ClientWindowsTest, EveryDialogFitsASmallScreenWithItsWholeTitleAndTheListsShowDatesAndHeadings) {
  frame_->ShowAtStart();
  Visit(0);
  ASSERT_EQ(Windows().size(), 1u);
  SplitterFrame* window = Windows().front();
  // The library's name, never the program's own copy of it.
  EXPECT_EQ(window->windowTitle().toStdString(), window->GetDocument()->GetDisplayName());

  for (const std::unique_ptr<QDialog>& dialog : AllDialogs(*window->GetDocument())) {
    dialog->show();
    const std::string name = dialog->objectName().toStdString();
    EXPECT_LE(dialog->width(), 1000) << name;
    EXPECT_GE(dialog->width(), platform::ui::TitleBarWidth(*dialog)) << name;
    dialog->hide();
  }

  const auto* rows = static_cast<CListViewEx*>(window->GetPane(1));
  const auto* local = static_cast<CListViewEx*>(window->GetPane(2));
  for (const CListViewEx* list : {rows, local}) {
    const QHeaderView& header = list->GetSortHeader();
    const int blank = header.fontMetrics().horizontalAdvance(' ');
    for (int c = 0; c < list->columnCount(); ++c) {
      const QString heading = list->headerItem()->text(c);
      EXPECT_GE(header.sectionSize(c), header.fontMetrics().horizontalAdvance(heading) + 4 * blank)
          << heading.toStdString();
    }
  }
  for (const QString date : {"12/09/2026 09:41 PM", "28.12.2026 23:48:58"}) {
    EXPECT_GE(rows->GetSortHeader().sectionSize(2), rows->CellWidthToShow(2, date)) << date.toStdString();
    EXPECT_GE(local->GetSortHeader().sectionSize(1), local->CellWidthToShow(1, date)) << date.toStdString();
  }
}

TEST_F(ClientWindowsTest, TabVisitsEveryDialogsControlsInTheOrderOfItsLayout) {
  using Chain = std::vector<std::string>;
  const std::map<std::string, Chain> orders = {
      {"CAboutDlg", {"1"}},
      // The parent tree on the left, then what stands beside it, then the rules below.
      {"CAddToLibraryDlg",
       {"1004", "1013", "1014", "1066", "1021", "1007", "1005", "1006", "1008", "1012", "1009", "1010", "1011", "1",
        "2"}},
      {"CCheckoutOptionsDlg", {"1053", "1027", "1028", "1029", "OK", "Cancel"}},
      {"CCommentsDlg", {"1069", "1070", "1071"}},
      // Project and folder, the four boxes, the editions group, the backup group, the buttons.
      {"CGetProjectFilesDlg",
       {"1023", "1024", "1077", "1085", "1042", "1030", "1060", "1055", "1057", "1056", "1026", "1080", "1081",
        "1082", "1058", "1059", "1078", "1079"}},
      {"CInformationDlg", {"1003", "1"}},
      {"CNewEditionDlg", {"1035", "1046", "1047", "1051", "1073", "1074", "1072", "1015", "1075", "1076"}},
      {"COpenLibraryDlg", {"1001", "1083", "1084"}},
      {"COperationProgressDlg", {"1064"}},
      {"CRenameDlg", {"1002", "OK", "Cancel"}},
      {"", {"pathEdit", "CDirectoryTree", "CDriveComboBox", "Derive all sub-project mappings from this path", "Accept",
            "newFolder", "Cancel"}},   // the folder chooser
  };
  Visit(0);
  ASSERT_EQ(Windows().size(), 1u);
  for (const std::unique_ptr<QDialog>& dialog : AllDialogs(*Windows().front()->GetDocument())) {
    dialog->show();
    const std::string name = dialog->objectName().toStdString();
    ASSERT_EQ(orders.count(name), 1u) << name;
    EXPECT_EQ(platform::ui::TabChain(*dialog), orders.at(name)) << name;
    dialog->hide();
  }
}

// The tree's Delete for the project "Plans" when the account's role there is `role`
// (none: a server of an earlier build, without rights), with the line the command shows.
struct DeleteCase {
  const char* what;
  std::optional<AccountRole> role;
  bool enabled;
  const char* note;   // null: the command's own tip
};

class ClientWindowsRightsTest : public ClientWindowsTest, public ::testing::WithParamInterface<DeleteCase> {
 protected:
  void RegisterCounters() override {
    ClientWindowsTest::RegisterCounters();
    if (!GetParam().role) server_.Dispatcher().Register(MSGID_LIST_RIGHTS, {});
  }
};

TEST_P(ClientWindowsRightsTest, DeleteFollowsTheRoleInTheSelectedProject) {
  const DeleteCase& c = GetParam();
  const std::string plans = NewProject("", "Plans");
  if (c.role) {   // the role over Plans only: out of the publishers, into a group of its own
    ASSERT_TRUE(Store().GetGroups().Change([&](GroupTable& table) {
      std::erase(table.Find(LibraryGroups::kPublishers)->members, ann_.GetId());
      table.groups.push_back({"Planners", static_cast<GroupRole>(*c.role), {plans}, {ann_.GetId()}});
      return true;
    }));
  }
  QAction* remove = frame_->Action(CommandIds::kDelete);
  const QString plainTip = remove->toolTip();
  const QString plainPrompt = remove->statusTip();
  Visit(0);
  ASSERT_EQ(Windows().size(), 1u);
  CBrannockDoc* document = Windows().front()->GetDocument();
  const auto shown = [&] {
    const ProjectNode* node = document->GetProjectTree().FindProjectByPath(plans);
    return node != nullptr && node->GetTreeItem() != 0 && (!c.role || document->GetRights().has_value());
  };
  ASSERT_TRUE(PassUntil(shown));
  EXPECT_EQ(document->GetRights().has_value(), c.role.has_value());
  document->SetCurrentProject(document->GetProjectTree().FindProjectByPath(plans)->GetTreeItem());
  frame_->RefreshCommands();
  EXPECT_EQ(remove->isEnabled(), c.enabled);
  EXPECT_EQ(remove->toolTip(), c.note == nullptr ? plainTip : QString(c.note));
  EXPECT_EQ(remove->statusTip(), c.note == nullptr ? plainPrompt : QString(c.note));
}

INSTANTIATE_TEST_SUITE_P(
    Roles, ClientWindowsRightsTest,
    ::testing::Values(
        DeleteCase{"author", AccountRole::kAuthor, false,
                   "Your account may not delete in this project. Ask the administrator for the publisher role here."},
        DeleteCase{"publisher", AccountRole::kPublisher, true, nullptr},
        DeleteCase{"earlier server", std::nullopt, true, nullptr}),
    [](const ::testing::TestParamInfo<DeleteCase>& info) {
      std::string name = info.param.what;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

}  // namespace
