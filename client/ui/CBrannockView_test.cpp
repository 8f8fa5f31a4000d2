#include "client/ui/CBrannockView.h"

#include <QCheckBox>
#include <QLineEdit>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "client/document/ClientHints.h"
#include "client/library/ProjectInventory.h"
#include "client/ui/CBrannockViewFixture_test.h"
#include "client/ui/CommandIds.h"
#include "client/ui/DragMime.h"
#include "common/FileHelpers.h"
#include "common/MessageIds.h"
#include "platform/fs.h"

namespace {

using namespace tree_view_test;

int StateOf(const CBrannockView& view, const ProjectNode* node) {
  const LibraryTreeItems::Item* item = node == nullptr ? nullptr : view.GetItems().Find(node->GetTreeItem());
  return item == nullptr ? -1 : item->state;
}

std::vector<int> Kinds(const InstructionBatch& batch) {
  std::vector<int> kinds;
  for (int i = 1; i < batch.GetCount(); ++i) kinds.push_back(batch.GetInstruction(i)->GetKind());
  return kinds;
}

std::vector<std::string> ChildTexts(const QTreeWidgetItem* item) {
  std::vector<std::string> texts;
  for (int i = 0; item != nullptr && i < item->childCount(); ++i) texts.push_back(item->child(i)->text(0).toStdString());
  return texts;
}

int FileCount(const std::string& folder) {
  std::error_code ignored;
  return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder, ignored),
                                        std::filesystem::directory_iterator()));
}

class CBrannockViewDropTest : public CBrannockViewTest {
 protected:
  std::string DragFile() { return document_->GetLibraryFolder() + "/DragDropFiles"; }
  // The document list's drag: its list file rewritten with one document.
  std::unique_ptr<QMimeData> DocumentsDrag(const std::string& name) {
    EXPECT_TRUE(OneDocument(alpha_, name, name + "@1", 1).WriteFile(DragFile()));
    return std::unique_ptr<QMimeData>(
        DragMime::Make({DragMime::What::kDocuments, document_->GetLibraryFolder(), DragFile()}));
  }
  std::string TemporaryFolder() { return work_ + "/TemporaryFiles"; }
};

TEST_F(CBrannockViewTest, ItemsAreSortedAndAnAddedProjectInsertsOnlyItsOwnItem) {
  QTreeWidgetItem* root = view_->topLevelItem(0);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->text(0).toStdString(), document_->GetDisplayName());
  EXPECT_EQ(ChildTexts(root), (std::vector<std::string>{"Alpha", "delta"}));
  QTreeWidgetItem* alpha = Widget(alpha_);
  QTreeWidgetItem* beta = Widget(beta_);

  ASSERT_TRUE(document_->SendAddProject(alpha_, "apple"));
  ASSERT_TRUE(PassUntil([&] { return ChildTexts(alpha).size() == 2; }));
  EXPECT_EQ(ChildTexts(alpha), (std::vector<std::string>{"apple", "Beta"}));
  EXPECT_EQ(Widget(alpha_), alpha);
  EXPECT_EQ(Widget(beta_), beta);
  EXPECT_EQ(view_->topLevelItemCount(), 1);
}

TEST_F(CBrannockViewTest, PublicationBoxesReactToClicksExceptGreyOnesAndSurviveATreeReply) {
  document_->SetPreparingPublication(true);
  document_->SetPublicationSelection(PublicationSelection::OfProject(alpha_, 0), "First", "notes");
  ASSERT_TRUE(view_->IsCheckBoxMode());
  view_->expandAll();
  const auto click = [&](const std::string& index) {
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, Qt::NoModifier, view_->CheckBoxRect(Widget(index)).center());
  };
  EXPECT_EQ(StateOf(*view_, Node(alpha_)), 2);
  EXPECT_EQ(StateOf(*view_, Node(delta_)), 3);
  EXPECT_TRUE(view_->CheckBoxRect(view_->topLevelItem(0)).isEmpty());   // the root has no box

  click(delta_);
  EXPECT_EQ(StateOf(*view_, Node(delta_)), 3);
  click(alpha_);
  EXPECT_EQ(StateOf(*view_, Node(alpha_)), 1);
  EXPECT_EQ(StateOf(*view_, Node(beta_)), 4);
  EXPECT_FALSE(document_->AreDocumentCheckBoxesEnabled());
  EXPECT_EQ(document_->GetCurrentProjectItem(), Node(alpha_)->GetTreeItem());
  click(alpha_);
  EXPECT_EQ(StateOf(*view_, Node(beta_)), 2);
  EXPECT_TRUE(document_->AreDocumentCheckBoxesEnabled());

  // A tree reply while preparing keeps the boxes; the walk then takes only ticked items.
  const UpdateHint tree(UpdateHint::kTreeView);
  view_->Update(ClientHints::kProjectTree, &tree);
  EXPECT_TRUE(view_->IsCheckBoxMode());
  EXPECT_EQ(StateOf(*view_, Node(delta_)), 3);
}

TEST_F(CBrannockViewTest, ARightDoubleClickRefreshesAndKeepsTheTreeOnlyWhileItsItemsStillAnswer) {
  QTest::mouseDClick(view_->viewport(), Qt::RightButton, Qt::NoModifier, Center("Root"));
  ASSERT_EQ(document_->GetBatches().size(), 1u);
  EXPECT_EQ(Kinds(document_->GetBatches().back()), std::vector<int>{17});

  QTest::mouseDClick(view_->viewport(), Qt::RightButton, Qt::NoModifier, Center(beta_));
  ASSERT_EQ(document_->GetBatches().size(), 2u);
  EXPECT_EQ(Kinds(document_->GetBatches().back()), (std::vector<int>{11, 10}));
  EXPECT_EQ(document_->GetBatches().back().GetInstruction(1)->GetIndexName(), beta_);
  EXPECT_EQ(document_->GetCurrentProjectItem(), Node(beta_)->GetTreeItem());

  QTreeWidgetItem* beta = Widget(beta_);
  const UpdateHint tree(UpdateHint::kTreeView);
  view_->Update(ClientHints::kProjectTree, &tree);
  EXPECT_EQ(Widget(beta_), beta);   // skipped once
  QTest::mouseDClick(view_->viewport(), Qt::RightButton, Qt::NoModifier, Center(beta_));
  // A reply that replaced the tree leaves items that answer to no project: rebuilt.
  document_->GetProjectTree().ClearTreeItems();
  view_->Update(ClientHints::kProjectTree, &tree);
  ASSERT_NE(Widget(beta_), nullptr);
  EXPECT_EQ(view_->GetItems().GetCount(), 4);

  // While a publication is prepared a refresh queues nothing.
  document_->SetPreparingPublication(true);
  const std::size_t queued = document_->GetBatches().size();
  QTest::mouseDClick(view_->viewport(), Qt::RightButton, Qt::NoModifier, Center(alpha_));
  EXPECT_EQ(document_->GetBatches().size(), queued);
}

TEST_F(CBrannockViewTest, ARebuiltTreeKeepsWhatWasOpenedAndSelectedWhereItStillExists) {
  Widget(delta_)->setExpanded(false);   // the fixture opened every item
  Select(beta_);
  const UpdateHint tree(UpdateHint::kTreeView);
  document_->GetProjectTree().ClearTreeItems();   // a reply that replaced the tree
  view_->Update(ClientHints::kProjectTree, &tree);
  ASSERT_NE(Widget(beta_), nullptr);
  EXPECT_TRUE(Widget(alpha_)->isExpanded());
  EXPECT_FALSE(Widget(delta_)->isExpanded());
  EXPECT_EQ(view_->currentItem(), Widget(beta_));
  EXPECT_EQ(document_->GetCurrentProjectItem(), Node(beta_)->GetTreeItem());

  // The selected project deleted: the root is selected instead.
  ASSERT_TRUE(document_->SendDeleteProject(alpha_, beta_));
  EXPECT_TRUE(PassUntil([&] { return Node(beta_) == nullptr && view_->currentItem() == view_->topLevelItem(0); }));
}

TEST_F(CBrannockViewTest, TheRefreshCommandQueuesWhatARightDoubleClickOnTheCurrentItemQueues) {
  const struct {
    std::string select;   // "" leaves the rebuilt tree's own selection, the library
    std::vector<int> kinds;
  } cases[] = {{"", {17}}, {beta_, {11, 10}}, {"Root", {17}}};
  for (const auto& c : cases) {
    if (!c.select.empty()) Select(c.select);
    ASSERT_TRUE(view_->QueryCommand(CommandIds::kRefresh).enabled) << c.select;
    const std::size_t queued = document_->GetBatches().size();
    view_->RunCommand(CommandIds::kRefresh);
    ASSERT_EQ(document_->GetBatches().size(), queued + 1) << c.select;
    EXPECT_EQ(Kinds(document_->GetBatches().back()), c.kinds) << c.select;
  }
  document_->SetPreparingPublication(true);
  EXPECT_FALSE(view_->QueryCommand(CommandIds::kRefresh).enabled);
}

TEST_F(CBrannockViewTest, AProjectDropsOnlyAwayFromItselfAndItsParent) {
  Select(beta_);
  const std::unique_ptr<QMimeData> drag(DragMime::Make({DragMime::What::kProject, document_->GetLibraryFolder(), beta_}));
  struct Case {
    std::string target;
    bool taken;
  } cases[] = {{beta_, false}, {alpha_, false}, {delta_, true}, {"Root", true}};
  for (const Case& c : cases) EXPECT_EQ(DragOver(*drag, Center(c.target)), c.taken) << c.target;
  const std::unique_ptr<QMimeData> foreign(DragMime::Make({DragMime::What::kProject, "/elsewhere", beta_}));
  EXPECT_FALSE(DragOver(*foreign, Center(delta_)));

  // A real drag from the selected project onto the root asks for comments after the drag.
  bool droppedInDrag = false;
  ModalRunner::QueueDrag([&](QDrag& drag) {
    droppedInDrag = Drop(*drag.mimeData(), Center("Root"));
    EXPECT_TRUE(ModalRunner::Shown().empty());
    return Qt::CopyAction;
  });
  QueueComments("moved");
  SendMouse(QEvent::MouseButtonPress, Center(beta_), Qt::LeftButton, Qt::LeftButton);
  SendMouse(QEvent::MouseMove, Center(beta_) + QPoint(QApplication::startDragDistance() + 2, 0), Qt::NoButton,
            Qt::LeftButton);
  EXPECT_TRUE(droppedInDrag);
  ASSERT_EQ(document_->GetBatches().size(), 1u);
  const InstructionBatch& batch = document_->GetBatches().back();
  EXPECT_EQ(Kinds(batch), (std::vector<int>{11, 10, 2, 13}));
  EXPECT_EQ(batch.GetInstruction(0)->GetIndexName(), "Root");
  EXPECT_EQ(batch.GetComments(), "moved");
}

TEST_F(CBrannockViewTest, ADragStartsOnlyFromTheSelectedPlainProjectAndNeverDuringAPublication) {
  ModalRunner::QueueDrag([](QDrag&) { return Qt::IgnoreAction; });
  const auto dragFrom = [&](const std::string& index) {
    SendMouse(QEvent::MouseButtonPress, Center(index), Qt::LeftButton, Qt::LeftButton);
    SendMouse(QEvent::MouseMove, Center(index) + QPoint(0, QApplication::startDragDistance() + 2), Qt::NoButton,
              Qt::LeftButton);
    SendMouse(QEvent::MouseButtonRelease, Center(index), Qt::LeftButton, Qt::NoButton);
  };
  dragFrom("Root");
  EXPECT_EQ(ModalRunner::PendingScripts(), 1);
  document_->SetPreparingPublication(true);
  dragFrom(alpha_);
  EXPECT_EQ(ModalRunner::PendingScripts(), 1);
  EXPECT_FALSE(view_->QueryCommand(CommandIds::kRetrieve).enabled);
  EXPECT_TRUE(view_->QueryCommand(CommandIds::kConfirmPublication).enabled);
  view_->RunCommand(CommandIds::kRetrieve);
  EXPECT_TRUE(ModalRunner::Shown().empty());
  document_->SetPreparingPublication(false);
  dragFrom(alpha_);
  EXPECT_EQ(ModalRunner::PendingScripts(), 0);
}

TEST_F(CBrannockViewDropTest, EachDropReadsItsOwnCopyOfTheDraggedDocuments) {
  Select(alpha_);
  InstructionBatch waiting;
  waiting.AddInstruction(Instruction());
  document_->QueueBatch(waiting);   // a running batch the drops queue behind
  ASSERT_TRUE(Settle());

  QueueComments("first");
  ASSERT_TRUE(Drop(*DocumentsDrag("one.txt"), Center(beta_)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return document_->GetBatches().size() == 2; }, kWaitMs));
  ASSERT_TRUE(Settle());
  QueueComments("second");
  ASSERT_TRUE(Drop(*DocumentsDrag("two.txt"), Center(delta_)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return document_->GetBatches().size() == 3; }, kWaitMs));
  ASSERT_TRUE(Settle());

  std::vector<std::string> copies;
  for (const auto& [index, target, name] : {std::tuple{1, beta_, "one.txt"}, std::tuple{2, delta_, "two.txt"}}) {
    const InstructionBatch& batch = document_->GetBatches()[static_cast<std::size_t>(index)];
    EXPECT_EQ(Kinds(batch), (std::vector<int>{13, 11, 10}));
    EXPECT_EQ(batch.GetInstruction(1)->GetIndexName(), target);
    const std::string copy = batch.GetInstruction(1)->GetSourceFolder();
    EXPECT_NE(copy, DragFile());
    ProjectDocumentList list;
    ASSERT_TRUE(list.ReadFile(copy));
    EXPECT_EQ(list.GetAt(0)->GetName(), name);
    copies.push_back(copy);
  }
  // The copies go with their batches.
  ASSERT_TRUE(WaitForQueueEmpty());
  for (const std::string& copy : copies) EXPECT_FALSE(platform::fs::Exists(copy)) << copy;
}

TEST_F(CBrannockViewDropTest, RefusedTargetsCancelAndEmptyCommentsQueueNothingAndLeaveNoCopy) {
  Select(alpha_);
  const int files = FileCount(TemporaryFolder());
  for (const std::string& target : {std::string("Root"), alpha_}) {
    EXPECT_FALSE(DragOver(*DocumentsDrag("x.txt"), Center(target))) << target;
    EXPECT_FALSE(Drop(*DocumentsDrag("x.txt"), Center(target))) << target;
  }
  QueueComments("", false);
  ASSERT_TRUE(Drop(*DocumentsDrag("x.txt"), Center(beta_)));
  ASSERT_TRUE(Settle());
  QueueComments("   ");
  ASSERT_TRUE(Drop(*DocumentsDrag("x.txt"), Center(beta_)));
  ASSERT_TRUE(Settle());
  EXPECT_TRUE(document_->GetBatches().empty());
  EXPECT_EQ(FileCount(TemporaryFolder()), files);
  ASSERT_EQ(notifier_->Received().size(), 1u);
  EXPECT_EQ(notifier_->Received()[0].text, CBrannockView::kCommentsRequired);
  EXPECT_EQ(notifier_->Received()[0].icon, platform::NotifyIcon::Error);
}

// The commands against the running server; the deletion requests are recorded.
class CBrannockViewCommandsTest : public CBrannockViewTest {
 protected:
  void RegisterCounters() override {
    server_.Dispatcher().Register(MSGID_DELETE_PROJECT, [this](RTE& engine, const Msg& request) {
      {
        std::lock_guard lock(bodiesMutex_);
        deletions_.push_back(request.GetBody());
      }
      return standard_.Dispatch(engine, request);
    });
  }
  std::vector<std::string> Deletions() {
    std::lock_guard lock(bodiesMutex_);
    return deletions_;
  }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::mutex bodiesMutex_;
  std::vector<std::string> deletions_;
};

TEST_F(CBrannockViewCommandsTest, DeletingAsksFirstAndNamesTheParent) {
  Select(beta_);
  notifier_->QueueAnswer(platform::NotifyAnswer::No);
  view_->RunCommand(CommandIds::kDelete);
  ASSERT_EQ(notifier_->Received().size(), 1u);
  EXPECT_EQ(notifier_->Received()[0].text.rfind(std::string(CBrannockView::kDeleteQuestion) +
                                                    "\n\"Beta\" is deleted with 0 sub-projects and ",
                                                0),
            0u)
      << notifier_->Received()[0].text;
  EXPECT_EQ(notifier_->Received()[0].buttons, platform::NotifyButtons::YesNo);

  notifier_->QueueAnswer(platform::NotifyAnswer::Yes);
  view_->RunCommand(CommandIds::kDelete);
  ASSERT_TRUE(PassUntil([&] { return Node(beta_) == nullptr; }));
  EXPECT_EQ(Deletions(), std::vector<std::string>{"\"" + alpha_ + "\",\"" + beta_ + "\"\n"});
  EXPECT_TRUE(StoredChild(alpha_, "Beta").empty());
}

TEST_F(CBrannockViewCommandsTest, MappingDerivesTheSubProjectsFoldersAndSavesTheInventory) {
  Select(alpha_);
  const std::string mapped = folder_.Path() + "/mapped";
  ASSERT_TRUE(CreateFolderPath(mapped));
  Node(alpha_)->SetLocalFolder(mapped, false);
  bool deriveOffered = false;
  ModalRunner::QueueDialog([&](QDialog& dialog) {
    const QCheckBox* derive = dialog.findChild<QCheckBox*>();
    deriveOffered = derive != nullptr && derive->isEnabled() && derive->isChecked();
    dialog.accept();
  });
  view_->RunCommand(CommandIds::kMapToFolder);
  EXPECT_TRUE(deriveOffered);
  EXPECT_EQ(Node(beta_)->GetLocalFolder(), mapped + "/Beta");
  EXPECT_NE(Read(document_->GetLibraryFolder() + "/" + ProjectInventory::kFileName).find(mapped + "/Beta"),
            std::string::npos);
}

TEST_F(CBrannockViewCommandsTest, RetrievingTwoLevelsKeepsTheAskedForBackupAndTheReadOnlyChoice) {
  // Into Alpha's own folder, the dialog's first offer.
  const std::string target = Node(alpha_)->GetLocalFolder();
  const std::string backups = folder_.Path() + "/backups";
  ASSERT_TRUE(CreateFolderPath(target));
  std::ofstream(target + "/a.txt") << "changed locally";
  const auto retrieve = [&](bool writeable) {
    Select(alpha_);
    ModalRunner::QueueDialog(
        [&, writeable](QDialog& dialog) {
          dialog.findChild<QLineEdit*>("1058")->setText(QString::fromStdString(backups));
          dialog.findChild<QAbstractButton*>("1080")->click();
          dialog.findChild<QCheckBox*>("1030")->setChecked(true);
          dialog.findChild<QCheckBox*>("1060")->setChecked(writeable);
          dialog.findChild<QPushButton*>("1078")->click();
        },
        "CGetProjectFilesDlg");
    view_->RunCommand(CommandIds::kRetrieve);
    ASSERT_EQ(document_->GetBatches().size(), 1u);
    EXPECT_EQ(document_->GetReplaceMode(), 1);
    ASSERT_TRUE(WaitForQueueEmpty());
  };
  retrieve(false);
  EXPECT_EQ(Read(target + "/a.txt"), "alpha");
  EXPECT_EQ(Read(target + "/Beta/b.txt"), "beta");
  EXPECT_TRUE(platform::fs::IsReadOnly(target + "/a.txt"));
  EXPECT_TRUE(platform::fs::IsReadOnly(target + "/Beta/b.txt"));
  bool backedUp = false;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(backups)) {
    backedUp = backedUp || (entry.path().filename() == "a.txt" && Read(entry.path()) == "changed locally");
  }
  EXPECT_TRUE(backedUp);

  retrieve(true);
  EXPECT_FALSE(platform::fs::IsReadOnly(target + "/Beta/b.txt"));
}

TEST_F(CBrannockViewCommandsTest, DroppingAProjectWhoseSubProjectWasNeverOpenedReferencesBoth) {
  Select(alpha_);
  const std::unique_ptr<QMimeData> drag(
      DragMime::Make({DragMime::What::kProject, document_->GetLibraryFolder(), alpha_}));
  QueueComments("copied");
  ASSERT_TRUE(Drop(*drag, Center(delta_)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !document_->GetBatches().empty(); }, kWaitMs));
  ASSERT_TRUE(WaitForQueueEmpty());
  const std::string copy = StoredChild(delta_, "Alpha");
  ASSERT_FALSE(copy.empty());
  EXPECT_EQ(StoredDocuments(copy), std::vector<std::string>{"a.txt"});
  const std::string subCopy = StoredChild(copy, "Beta");
  ASSERT_FALSE(subCopy.empty());
  EXPECT_EQ(StoredDocuments(subCopy), std::vector<std::string>{"b.txt"});
}

}  // namespace
