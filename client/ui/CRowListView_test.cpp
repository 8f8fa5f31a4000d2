#include "client/ui/CRowListView.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QDrag>
#include <QDropEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "client/document/ClientHints.h"
#include "client/library/DocumentListTestData_test.h"
#include "client/library/ServerTreeText.h"
#include "client/rules/PaneLayout.h"
#include "client/ui/CBrannockView.h"
#include "client/ui/CHistoryDlg.h"
#include "client/ui/ExternalLaunch.h"
#include "client/ui/CommandIds.h"
#include "client/ui/ModalRunner.h"
#include "common/FileHelpers.h"
#include "common/ui/CDirectoryTree.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"
#include "server/store/FileStatistics.h"
#include "server/store/ServerProject.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;
namespace fs = platform::fs;
using platform::NotifyAnswer;

constexpr TreeItem kItem = 11;

using document_list_test::Document;

// "b" (versions 3, 2, 1), "a" (1), "c" (2, 1), each version of 1000 bytes per number.
VersionedDocumentList ThreeDocuments(int selectedOfB = -1) {
  return document_list_test::List({Document("b", {{3, "", 3000}, {2, "", 2000}, {1, "", 1000}}, selectedOfB),
                                   Document("a", {{1, "", 1000}}), Document("c", {{2, "", 2000}, {1, "", 1000}})});
}

class RowListViewTest : public ClientLibraryTest {
 protected:
  void SetUp() override {
    ClientLibraryTest::SetUp();
    notifier_ = std::make_unique<platform::ui::ScriptedNotifier>();
    ModalRunner::SetScripted(true);
    doc_ = OpenReady("0");
    ASSERT_NE(doc_, nullptr);
    view_ = std::make_unique<CRowListView>(*doc_);
    doc_->GetViews().Attach(*view_);
    view_->OnInitialUpdate();
    view_->resize(1000, 400);
    view_->show();
  }
  void TearDown() override {
    if (doc_ != nullptr) doc_->GetViews().Detach(*view_);
    view_.reset();
    ModalRunner::SetScripted(false);
    notifier_.reset();
    PaneLayout::SetWindowShown(false);
    ClientLibraryTest::TearDown();
  }

  // Project "Alpha" under the root with `list` in its caches, made current.
  void ShowLocalProject(const VersionedDocumentList& list) {
    ASSERT_TRUE(doc_->GetProjectTree().ApplyServerTree(
        ServerTreeText().Node(library_, "Root", 1).Node("Alpha", "PAlpha", 0).Text()));
    ProjectNode& alpha = *doc_->GetProjectTree().FindProjectByPath("PAlpha");
    alpha.MakeCacheFileName();
    ASSERT_TRUE(ProjectDocumentList().WriteFile(DocumentListCache::ListFilePath(Library(), alpha.GetCacheFilePath())));
    ASSERT_TRUE(list.WriteFile(VersionsFile()));
    Show(alpha);
  }
  void Show(ProjectNode& project) {
    doc_->GetProjectTree().SetTreeItem(project, kItem);
    doc_->SetCurrentProject(kItem);
  }
  std::string Library() const { return doc_->GetLibraryFolder(); }
  std::string VersionsFile() {
    return DocumentListCache::VersionsFilePath(
        Library(), doc_->GetProjectTree().FindProjectByPath("PAlpha")->GetCacheFilePath());
  }
  // The selected version of document `name` in the versions cache; -2 when not listed.
  int Selected(const std::string& name) {
    VersionedDocumentList list;
    EXPECT_TRUE(list.ReadFile(VersionsFile()));
    for (int d = 0; d < list.GetCount(); ++d) {
      if (list.GetAt(d)->GetVersion(0)->GetName() == name) return list.GetAt(d)->GetSelectedIndex();
    }
    return -2;
  }
  void Hint(int code, std::uint32_t view = UpdateHint::kDocumentListView) {
    const UpdateHint hint(view);
    doc_->GetViews().UpdateAllViews(code, &hint);
  }

  std::vector<std::string> Column(int column) const {
    std::vector<std::string> texts;
    for (int r = 0; r < view_->topLevelItemCount(); ++r) texts.push_back(view_->topLevelItem(r)->text(column).toStdString());
    return texts;
  }
  std::vector<int> States() const {
    std::vector<int> states;
    for (int r = 0; r < view_->topLevelItemCount(); ++r) states.push_back(CListViewEx::GetStateImage(*view_->topLevelItem(r)));
    return states;
  }
  QPoint RowPoint(int row, bool onBox) const {
    const QRect rect = view_->visualItemRect(view_->topLevelItem(row));
    return {rect.left() + (onBox ? 8 : 60), rect.center().y()};
  }
  void ClickBox(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, modifiers, RowPoint(row, true));
  }
  void DoubleClick(int row) { QTest::mouseDClick(view_->viewport(), Qt::LeftButton, Qt::NoModifier, RowPoint(row, false)); }
  void Press(int row, Qt::Key key) {
    view_->setCurrentItem(view_->topLevelItem(row));
    QTest::keyClick(view_.get(), key);
  }
  void ClickHeading(int column) {
    QHeaderView& header = view_->GetSortHeader();
    QTest::mouseClick(header.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(header.sectionViewportPosition(column) + 10, header.height() / 2));
  }
  void Run(int command) { view_->RunCommand(command); }

  std::unique_ptr<platform::ui::ScriptedNotifier> notifier_;
  CBrannockDoc* doc_ = nullptr;
  std::unique_ptr<CRowListView> view_;
};

TEST_F(RowListViewTest, FillsSortedRowsOrNothingWithoutAProjectOrCache) {
  ShowLocalProject(ThreeDocuments());
  EXPECT_EQ(Column(0), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(Column(1), (std::vector<std::string>{"1", "3", "2"}));
  EXPECT_EQ(Column(4), (std::vector<std::string>{"1,000 Bytes", "3,000 Bytes", "2,000 Bytes"}));
  const char* headings[] = {"Document Name", "Revision", "Revision Date", "Status", "File Size", "Summary Information"};
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(view_->headerItem()->text(c).toStdString(), headings[c]);
    EXPECT_EQ(view_->ColumnAlignment(c), c == 1 || c == 4 ? Qt::AlignRight : Qt::AlignLeft);
  }

  ASSERT_TRUE(fs::DeleteFile(VersionsFile()));
  Hint(ClientHints::kDocumentList, UpdateHint::kTreeView);
  EXPECT_EQ(view_->topLevelItemCount(), 3);   // a hint for the tree leaves the list alone
  Hint(ClientHints::kDocumentList);
  EXPECT_EQ(view_->topLevelItemCount(), 0);   // no cache file
  std::string damaged;
  ThreeDocuments().Write(damaged);
  std::ofstream(VersionsFile(), std::ios::binary) << damaged.substr(0, damaged.size() - 20);
  Hint(ClientHints::kDocumentList);
  EXPECT_EQ(view_->topLevelItemCount(), 0);   // a cache cut short
  ASSERT_TRUE(ThreeDocuments().WriteFile(VersionsFile()));
  doc_->GetProjectTree().SetTreeItem(doc_->GetProjectTree().GetRoot(), kItem + 1);
  doc_->SetCurrentProject(kItem + 1);
  EXPECT_EQ(view_->topLevelItemCount(), 0);   // the root
}

TEST_F(RowListViewTest, PlusAndMinusExpandAndCollapseAndBoxesTickOneVersionWithoutSelecting) {
  ShowLocalProject(ThreeDocuments());
  Press(1, Qt::Key_Minus);   // not expanded: nothing to hide
  EXPECT_EQ(view_->topLevelItemCount(), 3);
  Press(1, Qt::Key_Plus);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"a", "b", "  -> b", "  -> b", "  -> b", "c"}));
  view_->setCurrentItem(view_->topLevelItem(5));
  ClickBox(3);   // version 2 of "b"
  EXPECT_EQ(States(), (std::vector<int>{1, 2, 1, 2, 1, 1}));
  EXPECT_EQ(Column(1)[1], "2");
  EXPECT_EQ(view_->currentItem(), view_->topLevelItem(5));
  EXPECT_EQ(view_->selectedItems(), QList<QTreeWidgetItem*>{view_->topLevelItem(5)});
  ClickBox(4);
  EXPECT_EQ(States(), (std::vector<int>{1, 2, 1, 1, 2, 1}));
  Press(4, Qt::Key_Minus);
  EXPECT_EQ(view_->topLevelItemCount(), 3);

  Press(2, Qt::Key_Plus);
  ClickBox(0, Qt::ShiftModifier);   // collapses "c" and ticks every latest version
  EXPECT_EQ(States(), (std::vector<int>{2, 2, 2}));
  ClickBox(1, Qt::ShiftModifier);
  EXPECT_EQ(States(), (std::vector<int>{1, 1, 1}));
}

TEST_F(RowListViewTest, SpaceTicksTheFocusedRowOrEverySelectedRowAlike) {
  ShowLocalProject(ThreeDocuments());   // rows a, b, c
  const struct {
    std::vector<int> selected;
    int focused;
    std::vector<int> states;
  } presses[] = {
      {{}, 1, {1, 2, 1}},          // nothing selected: the focused row alone
      {{0, 1, 2}, 0, {2, 2, 2}},   // the focused row gets ticked, and so does every selected row
      {{0, 2}, 2, {1, 2, 1}},      // the focused row gets unticked, and so does every selected row
      {{0}, 2, {1, 2, 2}},         // focus outside the selection: the focused row alone
  };
  for (const auto& press : presses) {
    view_->clearSelection();
    view_->setCurrentItem(view_->topLevelItem(press.focused), 0, QItemSelectionModel::NoUpdate);
    for (const int row : press.selected) view_->topLevelItem(row)->setSelected(true);
    QTest::keyClick(view_.get(), Qt::Key_Space);
    EXPECT_EQ(States(), press.states) << press.focused;
  }
}

TEST_F(RowListViewTest, EnterAndDoubleClickOpenTheDocumentAndCtrlHShowsItsHistory) {
  ShowLocalProject(ThreeDocuments());   // rows a, b, c
  int historyRows = 0;
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        historyRows = static_cast<CHistoryDlg&>(dialog).GetList().topLevelItemCount();
        dialog.reject();
      },
      "CHistoryDlg");
  view_->setCurrentItem(view_->topLevelItem(1));
  EXPECT_TRUE(view_->QueryCommand(CommandIds::kHistory).enabled);
  Run(CommandIds::kHistory);
  EXPECT_EQ(historyRows, 3) << "the versions of b";

  doc_->SetPreparingPublication(true);   // the versions are then what is chosen
  DoubleClick(1);
  EXPECT_EQ(view_->topLevelItemCount(), 6);
  Press(1, Qt::Key_Minus);
  doc_->SetPreparingPublication(false);

  const std::string folder = doc_->GetProjectTree().FindProjectByPath("PAlpha")->GetLocalFolder();
  ASSERT_TRUE(CreateFolderPath(folder));
  const std::string local = folder + "/a";
  std::ofstream(local) << "mine";
  std::vector<std::string> opened;
  ExternalLaunch::SetHandlerForTesting([&](const std::string& program, const std::vector<std::string>& arguments) {
    opened.push_back(program + arguments.front());
    return true;
  });
  Press(0, Qt::Key_Return);
  DoubleClick(0);
  EXPECT_EQ(opened, (std::vector<std::string>{local, local}));
  EXPECT_EQ(view_->topLevelItemCount(), 3) << "a double-click no longer expands";
  ExternalLaunch::SetHandlerForTesting(nullptr);
}

TEST_F(RowListViewTest, GreyedBoxesAndARunningPublicationIgnoreTheMouse) {
  doc_->SetPreparingPublication(true);
  ShowLocalProject(ThreeDocuments(0));
  EXPECT_EQ(States(), (std::vector<int>{3, 4, 3}));
  ClickBox(0);
  ClickBox(1, Qt::ShiftModifier);
  EXPECT_EQ(States(), (std::vector<int>{3, 4, 3}));

  doc_->GetPublicationMapping().SetProjectName("Alpha");   // something to publish: the batch runs
  doc_->QueueEditionBatch();
  ASSERT_TRUE(doc_->IsPublicationRunning());
  const std::size_t batches = doc_->GetBatches().size();
  DoubleClick(0);
  ClickHeading(1);
  EXPECT_EQ(view_->topLevelItemCount(), 3);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"a", "b", "c"}));
  for (int command : {CommandIds::kPublish, CommandIds::kConfirmPublication}) {
    EXPECT_FALSE(view_->QueryCommand(command).enabled) << command;
    Run(command);
  }
  EXPECT_TRUE(doc_->IsPublicationRunning());
  EXPECT_EQ(doc_->GetBatches().size(), batches);
}

TEST_F(RowListViewTest, ColumnClicksSortAndMoveTheArrow) {
  ShowLocalProject(ThreeDocuments());
  const struct {
    int column;
    int arrow;
    bool ascending;
    std::string first;
  } clicks[] = {{1, 1, true, "a"}, {1, 1, false, "b"}, {4, 4, true, "a"}, {5, 0, true, "a"}, {5, 0, false, "c"}};
  for (const auto& click : clicks) {
    ClickHeading(click.column);
    EXPECT_EQ(view_->GetSortHeader().GetSortColumn(), click.arrow) << click.column;
    EXPECT_EQ(view_->GetSortHeader().IsAscending(), click.ascending) << click.column;
    EXPECT_EQ(Column(0)[0], click.first) << click.column;
  }
}

TEST_F(RowListViewTest, TicksChangedWhilePreparingAreWrittenBySaveOrRefillOnly) {
  const struct {
    int hint;
    bool change;
    int selectedOfB;   // in the file afterwards
  } cases[] = {{ClientHints::kSaveTicks, true, -1}, {ClientHints::kDocumentList, true, -1},
               {ClientHints::kSaveTicks, false, 0}, {ClientHints::kDocumentList, false, 0}};
  doc_->SetPreparingPublication(true);
  doc_->EnableDocumentCheckBoxes();
  for (const auto& c : cases) {
    ShowLocalProject(ThreeDocuments(0));
    if (c.change) ClickBox(1);
    ClickHeading(0);   // a re-sort in between keeps the change
    Hint(c.hint);
    EXPECT_EQ(Selected("b"), c.selectedOfB) << c.hint << c.change;
  }
}

TEST_F(RowListViewTest, ConfirmWritesTheTicksAndPublishWhilePreparingAbandons) {
  doc_->SetPreparingPublication(true);
  doc_->EnableDocumentCheckBoxes();
  ShowLocalProject(ThreeDocuments());
  ClickBox(2);
  ClickHeading(1);
  ASSERT_TRUE(view_->QueryCommand(CommandIds::kConfirmPublication).enabled);
  Run(CommandIds::kConfirmPublication);   // nothing ticked in the tree: nothing queued, preparing ends
  EXPECT_EQ(Selected("c"), 0);   // "c" selects its latest version
  EXPECT_FALSE(doc_->IsPreparingPublication());

  doc_->SetPreparingPublication(true);
  EXPECT_TRUE(view_->QueryCommand(CommandIds::kPublish).checked);
  Run(CommandIds::kPublish);
  EXPECT_FALSE(doc_->IsPreparingPublication());
  EXPECT_FALSE(doc_->IsPublicationRunning());
}

TEST_F(RowListViewTest, PaneSizeIsStoredOnlyForRealSizesAfterTheFirstShow) {
  const auto stored = [&] {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    UserProfile* user = app_->GetCurrentUser();
    return std::make_pair(user->GetRowListWidth(UserProfile::kCurrentLayout),
                          user->GetRowListHeight(UserProfile::kCurrentLayout));
  };
  const auto before = stored();
  PaneLayout::SetWindowShown(true);
  const struct {
    QSize size;
    bool stores;
  } cases[] = {{{0, 300}, false}, {{500, 0}, false}, {{640, 310}, true}};
  for (const auto& c : cases) {
    QResizeEvent event(c.size, view_->size());
    QApplication::sendEvent(view_.get(), &event);
    EXPECT_EQ(stored(), c.stores ? std::make_pair(640, 310) : before) << c.size.width();
  }
}

// ---- through the server --------------------------------------------------------

class RowListViewEndToEndTest : public RowListViewTest {
 protected:
  void RegisterCounters() override {
    Count(MSGID_CHECK_IN, checkIns_);
    Count(MSGID_LIST_DOCUMENTS, lists_);
    Count(MSGID_RETRIEVE, retrieves_);
  }
  void SetUp() override {
    RowListViewTest::SetUp();
    // The open's own tree comes first: a later one would replace the shown project's node.
    ASSERT_TRUE(PassUntil([&] { return doc_->GetUnansweredRequestCount() == 0; }));
    ServerProject reports;
    ASSERT_EQ(server_.Document().CreateProject("", "Reports", "", reports, false), 0);
    project_ = reports.GetInternalName();
    for (const char* name : {"notes.txt", "plan.txt"}) AddDocument(name);
    doc_->RequestProjectTree(true);
    ASSERT_TRUE(PassUntil([&] { return doc_->GetProjectTree().FindProjectByPath(project_) != nullptr; }));
    Show(*doc_->GetProjectTree().FindProjectByPath(project_));
    ASSERT_TRUE(PassUntil([&] { return view_->topLevelItemCount() == 2; }));
  }
  void AddDocument(const std::string& name) {
    const std::string received = server_.RootPath() + "/TemporaryFiles/Fixture_" + name;
    std::ofstream(received, std::ios::binary) << "v1";
    FileStatistics result;
    ASSERT_EQ(server_.Document().AddDocument(name, project_, "ann", "", received, 2, result), 0);
  }
  std::string Local(const std::string& name) {
    return doc_->GetProjectTree().FindProjectByPath(project_)->GetLocalFolder() + "/" + name;
  }
  void Accept(const QString& dialog, std::function<void(QDialog&)> fill = nullptr) {
    ModalRunner::QueueDialog(
        [fill](QDialog& shown) {
          if (fill) fill(shown);
          shown.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        },
        dialog);
  }
  void TickAll() {
    if (States()[0] != DocumentRowModel::kTicked) ClickBox(0, Qt::ShiftModifier);
  }
  void CheckOutAll() {
    TickAll();
    Accept("CCheckoutOptionsDlg");
    Run(CommandIds::kCheckOut);
    ASSERT_TRUE(PassUntil([&] { return Column(3) == std::vector<std::string>(2, "Version 1 ann - Checked out"); }));
  }
  void Comment(const std::string& comments) {
    ModalRunner::QueueDialog(
        [comments](QDialog& shown) {
          shown.findChild<QPlainTextEdit*>("1069")->setPlainText(QString::fromStdString(comments));
          shown.findChild<QPushButton*>("1070")->click();
        },
        "CCommentsDlg");
  }
  // `thenQueue` queues the scripts of what the check-in shows after its comments.
  void CheckInAll(const std::string& comments, const std::function<void()>& thenQueue = nullptr) {
    TickAll();
    Comment(comments);
    if (thenQueue) thenQueue();
    Run(CommandIds::kCheckIn);
  }

  std::string project_;
  std::atomic<int> checkIns_{0};
  std::atomic<int> lists_{0};
  std::atomic<int> retrieves_{0};
};

TEST_F(RowListViewEndToEndTest, CheckOutMakesCopiesWritableCheckInMakesANewVersion) {
  CheckOutAll();
  EXPECT_EQ(States(), (std::vector<int>{1, 1}));
  ASSERT_TRUE(PassUntil([&] { return fs::IsFile(Local("plan.txt")) && !fs::IsReadOnly(Local("plan.txt")); }));

  std::ofstream(Local("plan.txt"), std::ios::binary) << "v2";
  std::ofstream(Local("notes.txt"), std::ios::binary) << "n2";
  CheckInAll("   ");
  EXPECT_EQ(notifier_->Received().back().text, CRowListView::kNoComments);
  // A file the wire cannot carry (sparse, so nothing is written) is told and nothing is sent.
  std::filesystem::resize_file(Local("notes.txt"), std::uintmax_t{1} << 31);
  CheckInAll("too large");
  EXPECT_EQ(notifier_->Received().back().text, CRowListView::kCheckInNotSent);
  EXPECT_EQ(checkIns_.load(), 0);
  std::ofstream(Local("notes.txt"), std::ios::binary | std::ios::trunc) << "n2";
  CheckInAll("second draft");
  ASSERT_TRUE(PassUntil([&] { return Column(1) == std::vector<std::string>{"2", "2"}; }));
  EXPECT_TRUE(fs::IsReadOnly(Local("plan.txt")));
  EXPECT_EQ(States(), (std::vector<int>{1, 1}));
}

TEST_F(RowListViewEndToEndTest, UndoCheckOutFreesTheDocumentsAndKeepsOrReplacesTheLocalCopies) {
  const struct {
    NotifyAnswer replace;
    const char* plan;     // the edited copy afterwards
    bool notesBack;       // the missing copy afterwards
  } cases[] = {{NotifyAnswer::No, "mine", false}, {NotifyAnswer::Yes, "v1", true}};
  for (const auto& c : cases) {
    CheckOutAll();
    ASSERT_TRUE(PassUntil([&] { return fs::IsFile(Local("plan.txt")) && !fs::IsReadOnly(Local("plan.txt")); }));
    std::ofstream(Local("plan.txt"), std::ios::binary) << "mine";
    ASSERT_TRUE(fs::DeleteFile(Local("notes.txt")));
    TickAll();
    notifier_->QueueAnswer(NotifyAnswer::Yes);
    notifier_->QueueAnswer(c.replace);
    Run(CommandIds::kUndoCheckOut);
    ASSERT_TRUE(PassUntil([&] {
      const std::vector<std::string> states = Column(3);
      return std::none_of(states.begin(), states.end(),
                          [](const std::string& state) { return state.find("Checked out") != std::string::npos; });
    }));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"1", "1"}));  // no version made
    ASSERT_TRUE(PassUntil([&] { return platform::ScratchFolder::Read(Local("plan.txt")) == c.plan; })) << c.plan;
    EXPECT_TRUE(fs::IsReadOnly(Local("plan.txt")));
    ASSERT_TRUE(PassUntil([&] { return fs::IsFile(Local("notes.txt")) == c.notesBack; })) << c.plan;
    if (fs::IsFile(Local("plan.txt"))) fs::SetReadOnly(Local("plan.txt"), false);
  }
}

TEST_F(RowListViewEndToEndTest, CheckInListsMissingAndUnsafeNamesAndNoSendsNothing) {
  CheckOutAll();
  ASSERT_TRUE(PassUntil([&] { return fs::IsFile(Local("plan.txt")); }));
  ASSERT_TRUE(fs::DeleteFile(Local("notes.txt")));
  // A listed name that would probe outside the project's folder.
  const ProjectNode& project = *doc_->GetProjectTree().FindProjectByPath(project_);
  VersionedDocumentList list;
  ASSERT_TRUE(list.ReadFile(DocumentListCache::VersionsFilePath(Library(), project.GetCacheFilePath())));
  list.Add(Document("../x", {{1, "ann"}}));
  ASSERT_TRUE(list.WriteFile(DocumentListCache::VersionsFilePath(Library(), project.GetCacheFilePath())));
  Hint(ClientHints::kDocumentList);
  ASSERT_EQ(view_->topLevelItemCount(), 3);

  std::string information;
  CheckInAll("why", [&] {
    ModalRunner::QueueDialog(
        [&](QDialog& shown) {
          information = shown.findChild<QPlainTextEdit*>("1003")->toPlainText().toStdString();
          shown.accept();
        },
        "CInformationDlg");
    notifier_->QueueAnswer(NotifyAnswer::No);
  });
  EXPECT_NE(information.find("cannot be found.  Check the local folder mapping"), std::string::npos);
  EXPECT_NE(information.find(Local("notes.txt")), std::string::npos);
  EXPECT_NE(information.find(Local("../x")), std::string::npos);
  EXPECT_EQ(notifier_->Received().back().text, CRowListView::kProceedWithCheckIn);
  // A later request on the same link has reached the server: a check-in would have too.
  const int lists = lists_;
  ASSERT_TRUE(doc_->SendListDocuments(project_));
  ASSERT_TRUE(WaitUntil([&] { return lists_ > lists; }));
  EXPECT_EQ(checkIns_, 0);
}

TEST_F(RowListViewEndToEndTest, RetrieveReadOnlyThenRenameAndDelete) {
  std::vector<std::string> notices;
  app_->SetStatusNoticeHook([&notices](const std::string& text) { notices.push_back(text); });
  ClickBox(0, Qt::ShiftModifier);
  notifier_->QueueAnswer(NotifyAnswer::No);   // the program's own folder
  notifier_->QueueAnswer(NotifyAnswer::No);
  Run(CommandIds::kRetrieve);
  EXPECT_EQ(notifier_->Received().back().text, CRowListView::kWritableOnRetrieval);
  ASSERT_TRUE(PassUntil([&] { return !notices.empty(); }));
  EXPECT_TRUE(fs::IsFile(Local("plan.txt")) && fs::IsFile(Local("notes.txt")));
  EXPECT_TRUE(fs::IsReadOnly(Local("plan.txt")));
  const std::string folder = doc_->GetProjectTree().FindProjectByPath(project_)->GetLocalFolder();
  EXPECT_EQ(notices, std::vector<std::string>{"Retrieved 2 files into " + folder});
  app_->SetStatusNoticeHook(nullptr);

  ClickBox(1);   // plan.txt
  Accept("CRenameDlg", [](QDialog& shown) { shown.findChild<QLineEdit*>("1002")->setText("final.txt"); });
  Run(CommandIds::kRename);
  ASSERT_TRUE(PassUntil([&] { return Column(0) == std::vector<std::string>{"final.txt", "notes.txt"}; }));

  // A sibling's name is refused before anything is sent, naming the document that holds it.
  ClickBox(0);   // final.txt
  Accept("CRenameDlg", [](QDialog& shown) { shown.findChild<QLineEdit*>("1002")->setText("notes.txt"); });
  Run(CommandIds::kRename);
  EXPECT_EQ(notifier_->Received().back().text,
            "\"final.txt\" cannot be renamed to \"notes.txt\".\nThe project \"Reports\" already holds a document "
            "named \"notes.txt\". Choose another name, or rename that document first.");
  EXPECT_EQ(doc_->GetUnansweredRequestCount(), 0);

  ClickBox(1);   // notes.txt
  notifier_->QueueAnswer(NotifyAnswer::Yes);
  Run(CommandIds::kDelete);
  EXPECT_EQ(notifier_->Received().back().text,
            "Delete 1 document from the project \"Reports\", with every version of it?\n    notes.txt");
  ASSERT_TRUE(PassUntil([&] { return Column(0) == std::vector<std::string>{"final.txt"}; }));
}

// An unmapped project's documents go nowhere unasked: to a chosen folder, to the
// program's own folder when the user says so, or not at all.
TEST_F(RowListViewEndToEndTest, RetrievingAnUnmappedProjectAsksWhereTheDocumentsGo) {
  platform::ScratchFolder chosen;
  struct Case {
    NotifyAnswer answer;
    std::string folder;   // empty: nothing retrieved
  };
  for (const Case& c : {Case{NotifyAnswer::Cancel, ""}, Case{NotifyAnswer::Yes, chosen.Path()},
                        Case{NotifyAnswer::No, Local("")}}) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    if (States()[0] != DocumentRowModel::kTicked) ClickBox(0, Qt::ShiftModifier);
    notifier_->QueueAnswer(c.answer);
    if (!c.folder.empty()) notifier_->QueueAnswer(NotifyAnswer::No);   // read-only copies
    if (c.answer == NotifyAnswer::Yes) {
      ModalRunner::QueueDialog(
          [&](QDialog& shown) {
            auto* tree = shown.findChild<CDirectoryTree*>();
            tree->DisplayPath(chosen.Path());
            emit tree->PathChanged();
            shown.accept();
          });
    }
    const std::size_t asked = notifier_->Received().size();
    Run(CommandIds::kRetrieve);
    ASSERT_GT(notifier_->Received().size(), asked);
    EXPECT_EQ(notifier_->Received()[asked].buttons, platform::NotifyButtons::YesNoCancel);
    EXPECT_NE(notifier_->Received()[asked].text.find(Local("").substr(0, Local("").size() - 1)), std::string::npos);
    if (c.folder.empty()) {
      EXPECT_EQ(notifier_->Received().size(), asked + 1) << "given up before the writable question";
    } else {
      EXPECT_TRUE(PassUntil([&] { return fs::IsFile(c.folder + "/plan.txt") && fs::IsFile(c.folder + "/notes.txt"); }));
    }
  }
  EXPECT_EQ(retrieves_, 2) << "the cancelled retrieval sent nothing";
}

TEST_F(RowListViewEndToEndTest, PublishOpensTheEditionDialogAndItsCancelAbandons) {
  ASSERT_TRUE(view_->QueryCommand(CommandIds::kPublish).enabled);
  ModalRunner::QueueDialog([](QDialog& shown) { shown.reject(); }, "CNewEditionDlg");
  Run(CommandIds::kPublish);
  EXPECT_EQ(ModalRunner::Shown().back(), "CNewEditionDlg");
  EXPECT_FALSE(doc_->IsPreparingPublication());
  EXPECT_FALSE(doc_->IsPublicationRunning());
}

TEST_F(RowListViewEndToEndTest, DocumentsDroppedOnAnotherProjectAreReferencedThere) {
  ServerProject others;
  ASSERT_EQ(server_.Document().CreateProject("", "Others", "", others, false), 0);
  CBrannockView tree(*doc_);
  doc_->GetViews().Attach(tree);
  tree.OnInitialUpdate();
  tree.resize(300, 400);
  tree.show();
  doc_->RequestProjectTree(true);
  const auto item = [&](const char* name) { return tree.findItems(name, Qt::MatchRecursive).value(0); };
  ASSERT_TRUE(PassUntil([&] { return item("Others") != nullptr; }));
  tree.setCurrentItem(item("Reports"));
  ASSERT_TRUE(PassUntil([&] { return view_->topLevelItemCount() == 2; }));

  ClickBox(0, Qt::ShiftModifier);
  ModalRunner::QueueDrag([&](QDrag& drag) {
    const QPoint at = tree.visualItemRect(item("Others")).center();
    QDragEnterEvent enter(at, Qt::CopyAction, drag.mimeData(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, drag.mimeData(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &move);
    QDropEvent drop(at, Qt::CopyAction, drag.mimeData(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &drop);
    return drop.isAccepted() ? Qt::CopyAction : Qt::IgnoreAction;
  });
  Comment("shared");
  QTest::mousePress(view_->viewport(), Qt::LeftButton, Qt::NoModifier, RowPoint(0, false));
  QMouseEvent move(QEvent::MouseMove, RowPoint(1, false), view_->viewport()->mapToGlobal(RowPoint(1, false)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view_->viewport(), &move);
  QTest::mouseRelease(view_->viewport(), Qt::LeftButton, Qt::NoModifier, RowPoint(1, false));
  EXPECT_FALSE(fs::IsFile(view_->DragFilePath()));
  EXPECT_EQ(ModalRunner::PendingScripts(), 1);   // the drop's comments come after the drag

  ProjectDocumentList referenced;
  EXPECT_TRUE(PassUntil([&] {
    QApplication::processEvents();
    return doc_->GetListCache().GetProjectDocumentList(others.GetInternalName(), doc_->GetProjectTree(), Library(),
                                                       referenced) &&
           referenced.GetCount() == 2;
  }));
  doc_->GetViews().Detach(tree);
}

}  // namespace
