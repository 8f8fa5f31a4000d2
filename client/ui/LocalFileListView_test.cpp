#include "client/ui/LocalFileListView.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <shared_mutex>

#include "client/document/ClientHints.h"
#include "client/library/ServerTreeText.h"
#include "client/rules/LocalAddRules.h"
#include "client/ui/CAddToLibraryDlg.h"
#include "client/ui/CommandIds.h"
#include "client/ui/ExternalLaunch.h"
#include "client/ui/ModalRunner.h"
#include "common/FileHelpers.h"
#include "common/ui/CChooseDirectoryDlg.h"
#include "common/ui/CDirectoryTree.h"
#include "platform/ScratchFolder.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"
#include "server/store/ServerProject.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;
constexpr TreeItem kAlphaItem = 21;
constexpr TreeItem kRootItem = 20;

// A library with the project "Alpha" on both sides, its folder holding files and a
// cached document list naming "a.txt" and "Case.TXT"; Alpha is the current project.
class LocalFileListViewTest : public ClientLibraryTest {
 protected:
  void RegisterCounters() override { Count(MSGID_ADD_DOCUMENTS, adds_); }
  void SetUp() override {
    ClientLibraryTest::SetUp();
    notifier_ = std::make_unique<platform::ui::ScriptedNotifier>();
    ModalRunner::SetScripted(true);
    doc_ = OpenReady("0");
    ASSERT_NE(doc_, nullptr);
    RecordingView tree(UpdateHint::kTreeView);  // the first tree reply may predate Alpha
    doc_->GetViews().Attach(tree);
    ASSERT_TRUE(PassUntil([&] { return std::ranges::count(tree.codes, ClientHints::kProjectTree) > 0; }));
    doc_->GetViews().Detach(tree);
    ServerProject created;
    ASSERT_EQ(server_.Document().CreateProject("", "Alpha", "", created, false), 0);
    alpha_ = created.GetInternalName();
    std::string text = ServerTreeText().Node("Root", "Root", 1).Text();
    {
      std::shared_lock latch(server_.Document().GetProjectTreeLatch());
      text += server_.Document().GetProjects().GetAt(0)->Encode("");
    }
    ASSERT_TRUE(doc_->GetProjectTree().ApplyServerTree(text));
    ProjectNode& alpha = *doc_->GetProjectTree().FindProjectByPath(alpha_);
    folder_ = alpha.GetLocalFolder();
    ASSERT_TRUE(CreateFolderPath(folder_));
    for (const char* name : {"a.txt", "case.txt", "new.txt"}) std::ofstream(folder_ + "/" + name) << name;
    std::filesystem::create_directory(folder_ + "/sub");
    alpha.MakeCacheFileName();
    ProjectDocumentList cached;
    for (const char* name : {"a.txt", "Case.TXT"}) {
      DocumentVersionEntry entry;
      entry.SetName(name);
      cached.Add(entry);
    }
    ASSERT_TRUE(cached.WriteFile(DocumentListCache::ListFilePath(doc_->GetLibraryFolder(), alpha.GetCacheFilePath())));
    doc_->GetProjectTree().SetTreeItem(doc_->GetProjectTree().GetRoot(), kRootItem);
    doc_->GetProjectTree().SetTreeItem(alpha, kAlphaItem);
    doc_->SetCurrentProject(kAlphaItem);
    view_ = new LocalFileListView(*doc_, &window_);
    doc_->GetViews().Attach(*view_);
    view_->OnInitialUpdate();
    view_->ShowFolder(folder_);
  }
  void TearDown() override {
    if (doc_ != nullptr && view_ != nullptr) doc_->GetViews().Detach(*view_);
    delete view_;
    ModalRunner::SetScripted(false);
    notifier_.reset();
    ClientLibraryTest::TearDown();
  }

  QTreeWidgetItem* Row(const QString& name) {
    const QList<QTreeWidgetItem*> found = view_->findItems(name, Qt::MatchExactly, 0);
    return found.isEmpty() ? nullptr : found.front();
  }
  void Select(const std::vector<QString>& names) {
    view_->clearSelection();
    for (const QString& name : names) Row(name)->setSelected(true);
  }
  void Hint(int code) {
    const UpdateHint hint(UpdateHint::kLocalFileListView);
    doc_->GetViews().UpdateAllViews(code, &hint);
  }
  bool Enabled() { return view_->QueryCommand(CommandIds::kAddToLibrary).enabled; }
  // Queues the folder chooser's script: it checks the derive box and picks `path`.
  void QueueChooser(const std::string& path) {
    ModalRunner::QueueDialog([this, path](QDialog& shown) {
      auto* derive = shown.findChild<QCheckBox*>();
      deriveShown_ = derive != nullptr && derive->isChecked() && !derive->isEnabled();
      auto* tree = shown.findChild<CDirectoryTree*>();
      tree->DisplayPath(path);
      emit tree->PathChanged();
      shown.accept();
    });
  }

  std::unique_ptr<platform::ui::ScriptedNotifier> notifier_;
  std::atomic<int> adds_{0};
  CBrannockDoc* doc_ = nullptr;
  QWidget window_;
  LocalFileListView* view_ = nullptr;
  std::string alpha_;
  std::string folder_;
  bool deriveShown_ = false;
};

TEST_F(LocalFileListViewTest, ShowsMembersWithCaseAndWalksTheDisk) {
  EXPECT_EQ(view_->topLevelItem(0)->text(0), "Choose Directory");
  EXPECT_EQ(view_->topLevelItem(1)->text(0), "Up to Parent Directory");
  EXPECT_EQ(Row("a.txt")->text(5), "Project Member");
  EXPECT_EQ(Row("case.txt")->text(5), "") << "names of members compare with case";
  EXPECT_EQ(Row("a.txt")->text(4), "5 Bytes");
  // The program's own copy of the library is not named in the title.
  EXPECT_EQ(window_.windowTitle().toStdString(), doc_->GetDisplayName());
  EXPECT_EQ(doc_->GetShownLocalFolder(), folder_);

  emit view_->itemDoubleClicked(Row("Up to Parent Directory"), 0);
  const std::string parent = *LocalFolderListing::ParentOf(folder_);
  EXPECT_EQ(view_->GetFolder(), parent);
  EXPECT_EQ(Row("Alpha")->text(5), "Project Member") << "a folder mapped to a project";
  emit view_->itemDoubleClicked(Row("Alpha"), 0);
  EXPECT_EQ(view_->GetFolder(), folder_);
  std::vector<std::string> opened;
  ExternalLaunch::SetHandlerForTesting([&](const std::string& program, const std::vector<std::string>& arguments) {
    opened.push_back(program + arguments.front());
    return false;   // no application for it: the user is told
  });
  const std::size_t told = notifier_->Received().size();
  emit view_->itemDoubleClicked(Row("a.txt"), 0);
  ExternalLaunch::SetHandlerForTesting(nullptr);
  EXPECT_EQ(opened, std::vector<std::string>{folder_ + "/a.txt"}) << "a file opens with the desktop's application";
  ASSERT_EQ(notifier_->Received().size(), told + 1);
  EXPECT_EQ(notifier_->Received().back().text, ExternalLaunch::kNotOpened + folder_ + "/a.txt");

  platform::ScratchFolder elsewhere;
  QueueChooser(elsewhere.Path());
  emit view_->itemDoubleClicked(Row("Choose Directory"), 0);
  EXPECT_TRUE(deriveShown_);
  EXPECT_EQ(view_->GetFolder(), elsewhere.Path());
  EXPECT_EQ(window_.windowTitle().toStdString(), doc_->GetDisplayName() + " - " + elsewhere.Path());
  // The document's "choose a folder" hint: the local selection goes with the old folder.
  Select({"Up to Parent Directory"});
  doc_->SetLocalSelection(true);
  QueueChooser(folder_);
  Hint(ClientHints::kChooseLocalFolder);
  EXPECT_EQ(view_->GetFolder(), folder_);
  EXPECT_FALSE(doc_->HasLocalSelection());
}

TEST_F(LocalFileListViewTest, RefreshKeepsTheSelectionOfNamesStillThere) {
  Select({"a.txt", "new.txt"});
  std::filesystem::remove(folder_ + "/new.txt");
  std::ofstream(folder_ + "/later.txt") << "l";
  Hint(ClientHints::kDocumentList);
  ASSERT_NE(Row("later.txt"), nullptr);
  std::vector<QString> selected;
  for (const QTreeWidgetItem* item : view_->selectedItems()) selected.push_back(item->text(0));
  EXPECT_EQ(selected, std::vector<QString>{"a.txt"});
}

// A folder made on disk shows at once by a new tree (what F5 brings) and by choosing
// the project again, and by itself once the event loop has seen the change.
TEST_F(LocalFileListViewTest, TheListFollowsItsFolder) {
  struct Case {
    const char* made;
    std::function<void()> ask;   // null: nothing is asked
  };
  const std::vector<Case> cases = {
      {"refreshed", [this] { Hint(ClientHints::kProjectTree); }},
      {"chosen", [this] { doc_->SetCurrentProject(kAlphaItem); }},
      {"watched", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.made);
    ASSERT_TRUE(std::filesystem::create_directory(folder_ + "/" + c.made));
    if (c.ask) {
      c.ask();
      EXPECT_NE(Row(c.made), nullptr);
    } else {
      EXPECT_TRUE(QTest::qWaitFor([&] { return Row(c.made) != nullptr; }, 10000));
    }
  }
}

TEST_F(LocalFileListViewTest, AddIsEnabledForRealRowsOutsidePublicationsOnly) {
  Select({"Choose Directory", "Up to Parent Directory"});
  EXPECT_FALSE(Enabled() || doc_->HasLocalSelection());
  Select({"Up to Parent Directory", "sub"});
  EXPECT_TRUE(Enabled() && doc_->HasLocalSelection());
  doc_->SetPreparingPublication(true);
  EXPECT_FALSE(Enabled());
  Hint(ClientHints::kAddSelectedLocalFiles);
  EXPECT_TRUE(ModalRunner::Shown().empty()) << "no dialog while a publication is prepared";
  doc_->SetPreparingPublication(false);
}

TEST_F(LocalFileListViewTest, FilesOfTheCurrentProjectGoWithCommentsOnlyAndAllOrNothing) {
  std::ofstream(folder_ + "/huge.bin");
  std::filesystem::resize_file(folder_ + "/huge.bin", 0x80000000ull);  // 2 GiB cannot be sent
  view_->FillList();
  const auto comment = [](QDialog& shown) { shown.findChild<QPushButton*>("1070")->click(); };
  for (const std::vector<QString>& selected : {std::vector<QString>{"new.txt", "huge.bin"}, {"a.txt", "new.txt"}}) {
    Select(selected);
    ModalRunner::QueueDialog(comment, "CCommentsDlg");
    view_->RunCommand(CommandIds::kAddToLibrary);
  }
  ASSERT_EQ(notifier_->Received().size(), 1u);
  EXPECT_EQ(notifier_->Received()[0].text, LocalAddRules::kSendFailed);
  ASSERT_TRUE(PassUntil([&] { return platform::fs::IsReadOnly(folder_ + "/new.txt"); }));
  EXPECT_EQ(adds_, 1);
  EXPECT_FALSE(platform::fs::IsReadOnly(folder_ + "/a.txt")) << "a known document is not sent again";
  EXPECT_EQ(ModalRunner::Shown(), std::vector<std::string>(2, "CCommentsDlg"));
}

TEST_F(LocalFileListViewTest, FilesForTheRootAreRefused) {
  doc_->SetCurrentProject(kRootItem);
  view_->ShowFolder(doc_->GetProjectTree().GetRoot().GetLocalFolder());
  std::ofstream(view_->GetFolder() + "/loose.txt") << "x";
  view_->FillList();
  Select({"loose.txt"});
  view_->RunCommand(CommandIds::kAddToLibrary);
  ASSERT_EQ(notifier_->Received().size(), 1u);
  EXPECT_EQ(notifier_->Received()[0].text, LocalAddRules::kRootRefusal);
  EXPECT_TRUE(ModalRunner::Shown().empty());
}

TEST_F(LocalFileListViewTest, FoldersAndNewFilesGoThroughTheDialogIntoTheChosenParent) {
  std::ofstream(folder_ + "/sub/inner.txt") << "inner";
  Select({"a.txt", "new.txt", "sub"});
  std::string preset;
  ModalRunner::QueueDialog(
      [&](QDialog& shown) {
        preset = shown.findChild<QTreeWidget*>("1004")->currentItem()->text(0).toStdString();
        shown.findChild<QPlainTextEdit*>("1066")->setPlainText("tree");
        for (int type : {0, 2}) {  // "All folders", "All documents"
          shown.findChild<QComboBox*>("1005")->setCurrentIndex(type);
          shown.findChild<QPushButton*>("1008")->click();
        }
        shown.accept();
      },
      "CAddToLibraryDlg");
  view_->RunCommand(CommandIds::kAddToLibrary);
  EXPECT_EQ(preset, "Alpha");
  EXPECT_EQ(doc_->GetBatches().size(), 1u);
  ASSERT_TRUE(PassUntil([&] { return doc_->GetBatches().empty() && adds_ == 2; }));
  ASSERT_TRUE(PassUntil([&] { return platform::fs::IsReadOnly(folder_ + "/sub/inner.txt"); }));
  EXPECT_TRUE(platform::fs::IsReadOnly(folder_ + "/new.txt"));
  EXPECT_FALSE(platform::fs::IsReadOnly(folder_ + "/a.txt"));
  std::shared_lock latch(server_.Document().GetProjectTreeLatch());
  const ServerProject& alpha = *server_.Document().GetProjects().GetAt(0);
  ASSERT_EQ(alpha.GetSubProjects().GetSize(), 1);
  EXPECT_EQ(alpha.GetSubProjects().GetAt(0)->GetName(), "sub");
}

}  // namespace
