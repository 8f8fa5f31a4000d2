// The main frame and its library windows against a running test server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QComboBox>
#include <QMenu>
#include <QTest>
#include <QLocale>
#include <QMdiArea>
#include <QPushButton>
#include <QSplitter>
#include <QHeaderView>
#include <QStatusBar>
#include <QTreeView>
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
#include "client/ui/CCompareDlg.h"
#include "client/ui/CCompareProgramDlg.h"
#include "client/ui/CFindInLibraryDlg.h"
#include "client/ui/DocumentFilterBar.h"
#include "client/ui/CGetProjectFilesDlg.h"
#include "client/ui/CHistoryDlg.h"
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
#include "platform/Socket.h"
#include "platform/ui/KeyboardWalk_test.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/WindowPlacement.h"
#include "server/store/LibraryGroups.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

// Every window of the client is tried on a small laptop's screen (the screenshots' too).
const bool kLaptopScreen = platform::ui::QtTestApplication::UseOffscreenScreen(1280, 800);

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
    Count(MSGID_CHECK_OUT, checkOuts_);
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
    dialogs.push_back(std::make_unique<CFindInLibraryDlg>(document));
    dialogs.push_back(std::make_unique<CChooseDirectoryDlg>());
    CHistoryDlg::Subject subject{"P", "notes.txt", work_ + "/notes.txt", {}};
    DocumentVersionEntry version;
    version.SetVersion(1);
    subject.versions.AddVersion(version);
    dialogs.push_back(std::make_unique<CHistoryDlg>(document, subject));
    dialogs.push_back(std::make_unique<CCompareDlg>("notes.txt", CCompareDlg::Side{folder_.Put("left", "a\n"), "Version 1"},
                                                    CCompareDlg::Side{folder_.Put("right", "b\n"), "Version 2"},
                                                    std::vector<std::unique_ptr<VersionCopyFolder>>()));
    dialogs.push_back(std::make_unique<CCompareProgramDlg>("", "/usr/bin/meld"));
    return dialogs;
  }

  // Plans holds plan.dwg, notes.txt and plan-b.dwg; the window shows it selected, its
  // documents listed. Null (and a failure) when it does not come to that.
  SplitterFrame* ShowPlans() {
    plans_ = NewProject("", "Plans");
    for (const char* name : {"plan.dwg", "notes.txt", "plan-b.dwg"}) AddDocument(plans_, name, name);
    frame_->ShowAtStart();
    Visit(0);
    EXPECT_EQ(Windows().size(), 1u);
    if (Windows().size() != 1) return nullptr;
    SplitterFrame* window = Windows().front();
    EXPECT_TRUE(PassUntil([&] { return Tree(*window).SelectProject(plans_); }));
    EXPECT_TRUE(PassUntil([&] { return Rows(*window).size() == 3; }));
    return Rows(*window).size() == 3 ? window : nullptr;
  }
  static CBrannockView& Tree(SplitterFrame& window) { return *static_cast<CBrannockView*>(window.GetPane(0)); }
  static CRowListView& RowList(SplitterFrame& window) { return *static_cast<CRowListView*>(window.GetPane(1)); }
  // The names the document list shows, top to bottom.
  static std::vector<std::string> Rows(SplitterFrame& window) {
    std::vector<std::string> names;
    const CRowListView& list = RowList(window);
    for (int i = 0; i < list.topLevelItemCount(); ++i) names.push_back(list.topLevelItem(i)->text(0).toStdString());
    return names;
  }
  // Each item of a menu as "object name:text" with " (off)" when disabled.
  static std::vector<std::string> Items(const QMenu& menu) {
    std::vector<std::string> items;
    for (const QAction* action : menu.actions()) {
      if (action->isSeparator()) continue;
      items.push_back(action->objectName().toStdString() + ":" + action->text().toStdString() +
                      (action->isEnabled() ? "" : " (off)"));
    }
    return items;
  }
  // Waits, inside a dialog's own loop, until the Find window's search has ended.
  static bool SearchEnds(CFindInLibraryDlg& dialog) {
    for (const Clock::time_point end = Clock::now() + seconds(20); dialog.IsSearching() && Clock::now() < end;) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return !dialog.IsSearching();
  }

  std::string plans_;
  std::atomic<int> checkOuts_{0};
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
  // The fixture imported the same certificate: this one replaces it.
  EXPECT_EQ(Shown(), std::vector<std::string>{"Certificate imported for library \"" + library_ +
                                              "\", user \"ann\".\nIt replaces this user's earlier certificate of "
                                              "the library; the local folder and its mappings are kept."});
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

// A server that takes the connection and never answers: while the visit waits, the
// wait cursor shows and the status line names the library; both go when it ends.
TEST_F(ClientWindowsTest, AVisitThatWaitsShowsTheBusyCursorAndAStatusLineUntilItEnds) {
  const platform::Socket silent = platform::Socket::Listen(0, 4, "127.0.0.1");
  ASSERT_TRUE(silent.IsOpen());
  {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    app_->GetCurrentUser()->GetConnection(0)->SetPort(silent.LocalPort());
  }
  const QString connecting = QString::fromStdString("Connecting to the library \"" + library_ + "\" at " +
                                                    Connection(0).GetHost() + ":" +
                                                    std::to_string(silent.LocalPort()) + " as \"ann\"...");
  const auto shows = [&](bool busy, const QString& line) {
    return WaitUntil([&] {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      const QCursor* cursor = QApplication::overrideCursor();
      return (cursor != nullptr && cursor->shape() == Qt::WaitCursor) == busy &&
             frame_->statusBar()->currentMessage() == line;
    });
  };
  frame_->show();
  Visit(0);
  ASSERT_EQ(Windows().size(), 1u);
  EXPECT_TRUE(shows(true, connecting)) << frame_->statusBar()->currentMessage().toStdString();
  Windows().front()->close();
  EXPECT_TRUE(shows(false, CMainFrame::kIdlePrompt)) << frame_->statusBar()->currentMessage().toStdString();
}

TEST_F(ClientWindowsTest, TheImportDialogShowsTheWholeDateModifiedColumnAtItsFirstSize) {
  bool checked = false;
  ModalRunner::QueueDialog(
      [&checked](QDialog& dialog) {
        auto* view = dialog.findChild<QTreeView*>("treeView");
        ASSERT_NE(view, nullptr);
        const QHeaderView* header = view->header();
        const int date = header->count() - 1;
        const QString widest =
            QLocale().toString(QDateTime(QDate(2028, 12, 28), QTime(23, 48, 58)), QLocale::ShortFormat);
        EXPECT_GT(header->sectionSize(date), view->fontMetrics().horizontalAdvance(widest));
        EXPECT_LE(header->sectionViewportPosition(date) + header->sectionSize(date), view->viewport()->width());
        checked = true;
        dialog.reject();
      },
      "ImportCertificateDialog");
  frame_->RunRoutedCommand(CommandIds::kImportCertificate);
  EXPECT_TRUE(checked);
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

// A dialog working on the library does not outlive its link: it closes with a notice
// naming it, and what it held is not sent.
TEST_F(ClientWindowsTest, ADialogOfTheLibraryClosesWithANoticeWhenItsLinkEnds) {
  Visit(0);
  ASSERT_EQ(Windows().size(), 1u);
  SplitterFrame* window = Windows().front();
  CBrannockDoc* document = window->GetDocument();
  ASSERT_TRUE(PassUntil([&] { return document->IsFirstRequestSent(); }));
  bool closedByItself = false;
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        server_.Stop();
        closedByItself = WaitUntil([&] {
          QApplication::processEvents(QEventLoop::AllEvents, 20);
          app_->DoProcessing();
          return !dialog.isVisible();
        });
      },
      "CAddToLibraryDlg");
  int result = QDialog::Accepted;
  std::string title;
  {
    OpenLibraries::Hold hold(app_->GetOpenLibraries(), *document);
    CAddToLibraryDlg dialog(*document, work_, "", true, window->GetPane(2));
    title = dialog.windowTitle().toStdString();
    result = ModalRunner::Exec(dialog);
  }
  EXPECT_TRUE(closedByItself);
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
  std::string notice = SplitterFrame::kDialogsClosed;
  notice.replace(notice.find("%s"), 2, document->GetDisplayName());
  EXPECT_EQ(Shown().back(), notice + "    " + title + "\r\n");
  EXPECT_TRUE(PassUntil([&] { return app_->GetOpenLibraries().GetCount() == 0; }));
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
      {"COperationProgressDlg", {"1064", "2"}},
      {"CRenameDlg", {"1002", "OK", "Cancel"}},
      {"CHistoryDlg", {"1001", "1002", "1003", "1004", "1005", "Close"}},
      {"CCompareDlg", {"1001", "Close"}},
      {"CCompareProgramDlg", {"1001", "OK", "Cancel"}},
      {"CFindInLibraryDlg", {"1201", "1202", "1203", "1204", "1206", "1207", "1208"}},
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

TEST_F(ClientWindowsTest, TheFilterBoxFiltersAsOneTypesAndEscapeClearsIt) {
  SplitterFrame* window = ShowPlans();
  ASSERT_NE(window, nullptr);
  auto* name = window->GetFilterBar()->findChild<QLineEdit*>("1301");
  auto* holder = window->GetFilterBar()->findChild<QComboBox*>("1302");
  ASSERT_TRUE(name != nullptr && holder != nullptr);
  using Names = std::vector<std::string>;
  const struct {
    const char* typed;
    Names shown;
  } cases[] = {
      {"p", {"plan-b.dwg", "plan.dwg"}},
      {"LA", {"plan-b.dwg", "plan.dwg"}},
      {"n.", {"plan.dwg"}},
  };
  for (const auto& c : cases) {
    QTest::keyClicks(name, c.typed);
    EXPECT_EQ(Rows(*window), c.shown) << c.typed;
  }
  holder->setCurrentIndex(1);   // checked out by me: nothing is
  EXPECT_EQ(Rows(*window), Names{});
  QTest::keyClick(name, Qt::Key_Escape);
  EXPECT_EQ(Rows(*window), (Names{"notes.txt", "plan-b.dwg", "plan.dwg"}));
  EXPECT_TRUE(name->text().isEmpty());
  EXPECT_EQ(holder->currentIndex(), 0);
}

TEST_F(ClientWindowsTest, EachPaneHasAContextMenuOfItsCommandsEnabledAsItsRulesSay) {
  SplitterFrame* window = ShowPlans();
  ASSERT_NE(window, nullptr);
  const bool publisher = app_->IsPublisher();
  const auto publisherOnly = [&](std::vector<std::string> items, const std::vector<std::string>& extra) {
    if (publisher) items.insert(items.end() - 1, extra.begin(), extra.end());
    return items;
  };
  CRowListView& rows = RowList(*window);
  const struct {
    int pane;
    QPoint at;
    std::vector<std::string> items;
  } cases[] = {
      {0, Tree(*window).visualItemRect(Tree(*window).currentItem()).center(),
       publisher ? std::vector<std::string>{"32780:&Retrieve documents from Library ...",
                                            "32781:&Map project to local folder ...", "32777:&Add to Library ... (off)",
                                            "32788:&Refresh", "32786:&Delete from Library ...",
                                            "32787:Re&name folder or document ...",
                                            "32782:&Publish new Edition or Supplement ...",
                                            "32783:&Confirm publication details (off)"}
                 : std::vector<std::string>{"32780:&Retrieve documents from Library ...",
                                            "32781:&Map project to local folder ...", "32777:&Add to Library ... (off)",
                                            "32788:&Refresh"}},
      // Nothing ticked: the row pointed at is, and the commands count it.
      {1, rows.visualItemRect(rows.topLevelItem(2)).center(),
       publisherOnly({"32780:&Retrieve 1 document from Library ...", "32779:Check-&out 1 document ...",
                      "32778:Check-&in documents ... (off)", "32789:&Undo check-out ... (off)",
                      "32790:&History ...", "32792:De&tails ..."},
                     {"32786:&Delete 1 document from Library ...", "32787:Re&name 1 document ..."})},
      {2, QPoint(1, 1), {"32777:&Add to Library ... (off)", "1025:Choose local folder"}},
  };
  for (const auto& c : cases) {
    QMenu* menu = window->OpenContextMenu(c.pane, c.at);
    ASSERT_NE(menu, nullptr) << c.pane;
    EXPECT_EQ(Items(*menu), c.items) << c.pane;
    menu->close();
  }
  EXPECT_TRUE(rows.QueryCommand(CommandIds::kCheckOut).enabled);

  // The keyboard opens the menu too; Details tells of the row the menu was opened on.
  QTest::keyClick(window->GetPane(1), Qt::Key_F10, Qt::ShiftModifier);
  auto* menu = window->findChild<QMenu*>("ContextMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  QTest::keyClick(window->GetPane(0), Qt::Key_Menu);
  menu = window->findChild<QMenu*>("ContextMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Items(*menu).front(), "32780:&Retrieve documents from Library ...");   // the tree's own
  menu->close();
  QMenu* onRow = window->OpenContextMenu(1, rows.visualItemRect(rows.topLevelItem(0)).center());
  ASSERT_NE(onRow, nullptr);
  onRow->findChild<QAction*>("32792")->trigger();
  ASSERT_TRUE(PassUntil([&] {
    QCoreApplication::processEvents();   // the item runs once the menu has closed
    return !Shown().empty();
  }));
  EXPECT_EQ(Shown().back().rfind("notes.txt\n", 0), 0u) << Shown().back();
}

TEST_F(ClientWindowsTest, OperationsActOnTheTickedDocumentsWhicheverPaneHasTheFocusAndCountThem) {
  SplitterFrame* window = ShowPlans();
  ASSERT_NE(window, nullptr);
  CRowListView& rows = RowList(*window);
  rows.setCurrentItem(rows.topLevelItem(2));
  QTest::keyClick(&rows, Qt::Key_Space);
  // With the tree focused, check-out still acts on the ticked document.
  while (window->GetActiveView() != &Tree(*window)) frame_->RunRoutedCommand(CommandIds::kNextPane);
  frame_->RefreshCommands();
  EXPECT_TRUE(frame_->Action(CommandIds::kCheckOut)->isEnabled());
  EXPECT_EQ(frame_->Action(CommandIds::kCheckOut)->text().toStdString(), "Check-&out 1 document ...");
  EXPECT_EQ(frame_->Action(CommandIds::kRetrieve)->text().toStdString(), "&Retrieve 1 document from Library ...");
  ModalRunner::QueueDialog([](QDialog& dialog) { dialog.accept(); }, "CCheckoutOptionsDlg");
  frame_->RunRoutedCommand(CommandIds::kCheckOut);
  EXPECT_TRUE(PassUntil([&] { return checkOuts_ == 1; }));
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
  // Nothing ticked now: the tree answers for its own commands again, in their own words.
  frame_->RefreshCommands();
  EXPECT_FALSE(frame_->Action(CommandIds::kCheckOut)->isEnabled());
  EXPECT_EQ(frame_->Action(CommandIds::kCheckOut)->text().toStdString(), "Check-&out documents ...");
  EXPECT_EQ(frame_->Action(CommandIds::kRetrieve)->text().toStdString(), "&Retrieve documents from Library ...");
  EXPECT_TRUE(frame_->Action(CommandIds::kRetrieve)->isEnabled());
}

TEST_F(ClientWindowsTest, FindInLibraryGoesToTheChosenDocumentInItsProject) {
  const std::string archive = NewProject(NewProject("", "Archive"), "2004");
  AddDocument(archive, "old plan.txt", "old");
  SplitterFrame* window = ShowPlans();
  ASSERT_NE(window, nullptr);
  QTest::keyClicks(window->GetFilterBar()->findChild<QLineEdit*>("1301"), "notes");   // hides it: cleared on arrival
  std::vector<std::string> found;
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        auto& find = static_cast<CFindInLibraryDlg&>(dialog);
        QTest::keyClicks(dialog.findChild<QLineEdit*>("1201"), "OLD");
        dialog.findChild<QPushButton*>("1203")->click();
        ASSERT_TRUE(SearchEnds(find));
        const auto* results = dialog.findChild<CListViewEx*>("1206");
        for (int i = 0; i < results->topLevelItemCount(); ++i) {
          found.push_back(results->topLevelItem(i)->text(1).toStdString() + ":" +
                          results->topLevelItem(i)->text(0).toStdString());
        }
        dialog.findChild<QPushButton*>("1207")->click();
      },
      "CFindInLibraryDlg");
  frame_->RunRoutedCommand(CommandIds::kFindInLibrary);
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
  EXPECT_EQ(found, std::vector<std::string>{"Archive/2004:old plan.txt"});
  const ProjectNode* current =
      window->GetDocument()->GetProjectTree().FindProjectByTreeItem(window->GetDocument()->GetCurrentProjectItem());
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(current->GetIndexName(), archive);
  CRowListView& rows = RowList(*window);
  EXPECT_TRUE(PassUntil([&] { return rows.currentItem() != nullptr && rows.currentItem()->text(0) == "old plan.txt"; }));
}

TEST_F(ClientWindowsTest, MyCheckOutsListsEveryDocumentTheUserHolds) {
  const std::string other = NewProject("", "Other");
  AddDocument(other, "held.txt", "held");
  AddDocument(other, "free.txt", "free");
  EXPECT_EQ(Store().CheckOutDocuments(other, "held.txt", -1, "ann", false, false).code, 0);
  SplitterFrame* window = ShowPlans();
  ASSERT_NE(window, nullptr);
  std::vector<std::string> found;
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        ASSERT_TRUE(SearchEnds(static_cast<CFindInLibraryDlg&>(dialog)));
        const auto* results = dialog.findChild<CListViewEx*>("1206");
        for (int i = 0; i < results->topLevelItemCount(); ++i) {
          found.push_back(results->topLevelItem(i)->text(0).toStdString() + " by " +
                          results->topLevelItem(i)->text(3).toStdString());
        }
        dialog.findChild<QPushButton*>("1208")->click();
      },
      "CFindInLibraryDlg");
  frame_->RunRoutedCommand(CommandIds::kMyCheckOuts);
  EXPECT_EQ(found, std::vector<std::string>{"held.txt by ann"});
}

// What of `view`'s columns does not show whole: a column narrower than its heading's or
// its cells' size hint, and a last column that ends beyond the viewport.
std::vector<std::string> CutColumns(const QTreeView& view) {
  std::vector<std::string> cut;
  const QHeaderView& header = *view.header();
  int end = 0;
  for (int c = 0; c < header.count(); ++c) {
    if (header.isSectionHidden(c)) continue;
    int wanted = header.sectionSizeHint(c);
    for (int r = 0; r < view.model()->rowCount(view.rootIndex()); ++r) {
      wanted = std::max(wanted, view.sizeHintForIndex(view.model()->index(r, c, view.rootIndex())).width());
    }
    if (header.sectionSize(c) < wanted) {
      cut.push_back(view.model()->headerData(c, Qt::Horizontal).toString().toStdString());
    }
    end = std::max(end, header.sectionViewportPosition(c) + header.sectionSize(c));
  }
  if (end > view.viewport()->width()) cut.push_back("columns end at " + std::to_string(end));
  return cut;
}

// Each list of the client at the size its window opens with, holding the rows the
// library gives it: every column shows its heading and its cells whole.
TEST_F(ClientWindowsTest, EveryListShowsItsColumnsWholeAtItsWindowsFirstSize) {
  const std::string archive = NewProject("", "Archive");
  AddDocument(archive, "a rather longer name of an old plan.txt", "old");
  // Held, so that My Check-outs lists it.
  EXPECT_EQ(Store().CheckOutDocuments(archive, "a rather longer name of an old plan.txt", -1, "ann", false, false).code,
            0);
  SplitterFrame* window = ShowPlans();
  ASSERT_NE(window, nullptr);
  CRowListView& rows = RowList(*window);
  rows.setCurrentItem(rows.topLevelItem(0));
  window->ActivateNextPane(true);   // History asks the document list
  // The dialog a command opens, its list `list` checked once `ready` has run in it.
  const auto inDialog = [this](const char* dialog, const char* list, int command,
                               std::function<void(QDialog&)> ready = [](QDialog&) {}) {
    std::vector<std::string> cut{"did not open"};
    ModalRunner::QueueDialog(
        [&, list](QDialog& shown) {
          ready(shown);
          cut = CutColumns(*shown.findChild<QTreeView*>(list));
          shown.reject();
        },
        dialog);
    frame_->RunRoutedCommand(command);
    return cut;
  };
  const auto searchEnds = [](QDialog& dialog) { EXPECT_TRUE(SearchEnds(static_cast<CFindInLibraryDlg&>(dialog))); };
  const auto findAll = [&searchEnds](QDialog& dialog) {
    dialog.findChild<QLineEdit*>("1201")->setText(".");
    dialog.findChild<QPushButton*>("1203")->click();
    searchEnds(dialog);
  };
  const std::pair<const char*, std::function<std::vector<std::string>()>> lists[] = {
      {"document list", [&] { return CutColumns(rows); }},
      {"local list", [&] { return CutColumns(*static_cast<QTreeView*>(window->GetPane(2))); }},
      {"history", [&] { return inDialog("CHistoryDlg", "1001", CommandIds::kHistory); }},
      {"find results", [&] { return inDialog("CFindInLibraryDlg", "1206", CommandIds::kFindInLibrary, findAll); }},
      {"my check-outs", [&] { return inDialog("CFindInLibraryDlg", "1206", CommandIds::kMyCheckOuts, searchEnds); }},
      {"open library", [&] { return inDialog("COpenLibraryDlg", "1001", CommandIds::kVisitLibrary); }},
      {"import dialog", [&] { return inDialog("ImportCertificateDialog", "treeView", CommandIds::kImportCertificate); }},
  };
  for (const auto& [what, cut] : lists) EXPECT_EQ(cut(), std::vector<std::string>()) << what;
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
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
