#include "client/ui/CNewEditionDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include "client/document/ClientHints.h"
#include "client/rules/LibraryTreeFixture_test.h"
#include "client/rules/PublicationPreparation.h"
#include "client/ui/CBrannockViewFixture_test.h"
#include "client/ui/CommandIds.h"
#include "client/ui/CRenameDlg.h"
#include "client/ui/ItemDecoration.h"
#include "platform/fs.h"

namespace {

using namespace tree_view_test;

template <typename Control>
Control* Find(QDialog& dialog, int id) {
  Control* control = dialog.findChild<Control*>(QString::number(id));
  EXPECT_NE(control, nullptr) << id;
  return control;
}

void Fill(QDialog& dialog, const std::string& name, const std::string& comments) {
  Find<QLineEdit>(dialog, 1072)->setText(QString::fromStdString(name));
  Find<QPlainTextEdit>(dialog, 1015)->setPlainText(QString::fromStdString(comments));
}

void ShowDetails(QDialog& dialog) { Find<QPushButton>(dialog, 1075)->click(); }

class CNewEditionDlgTest : public CBrannockViewTest {
 protected:
  // Whether Publish and Confirm were off once the publication batch was queued.
  struct RunningWatch : DocumentView {
    explicit RunningWatch(CBrannockView*& view) : DocumentView(UpdateHint::kTreeView), view(view) {}
    void OnUpdate(int code) override {
      if (code != ClientHints::kPublicationQueued) return;
      publishOff = !view->QueryCommand(CommandIds::kPublish).enabled;
      confirmOff = !view->QueryCommand(CommandIds::kConfirmPublication).enabled;
    }
    CBrannockView*& view;
    bool publishOff = false;
    bool confirmOff = false;
  };
  CBrannockView* shown_ = nullptr;
  RunningWatch running_{shown_};
  void SetUp() override {
    CBrannockViewTest::SetUp();
    shown_ = view_.get();
  }

  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const platform::Notification& n : notifier_->Received()) texts.push_back(n.text);
    return texts;
  }
  int StateOf(const std::string& index) {
    const LibraryTreeItems::Item* item = view_->GetItems().Find(Node(index)->GetTreeItem());
    return item == nullptr ? -1 : item->state;
  }
  // Publish on the selected project, with the dialog filled in by `fillIn`.
  void Prepare(const std::function<void(QDialog&)>& fillIn) {
    ModalRunner::QueueDialog(fillIn, "CNewEditionDlg");
    QueueProgress();
    view_->RunCommand(CommandIds::kPublish);
  }
  // Confirm, then pass until the publication ended and the tree shows what it made.
  void Confirm(const std::string& parent, const std::string& name) {
    view_->RunCommand(CommandIds::kConfirmPublication);
    ASSERT_TRUE(PassUntil(
        [&] {
          const std::string made = StoredChild(parent, name);
          return !document_->IsPreparingPublication() && document_->GetBatches().empty() && !made.empty() &&
                 Widget(made) != nullptr;
        },
        std::chrono::milliseconds(kWaitMs)));
  }
  // Shows the small library of the tree rules' tests instead of the store's tree.
  void ShowLocalTree() {
    tree_test::TreeText text;
    text.Project("Main", "Root", 1)
        .Project("Alpha", "PA", 2)
        .Edition("<E> One", "E1", 2, "Alpha", "PA")
        .Project("Beta", "E1B", 0, {true, true, false})
        .Supplement("<S> May", "S1", "Alpha", "PA")
        .Edition("<E> Two", "E2", 0, "Alpha", "PA");
    ASSERT_TRUE(document_->GetProjectTree().ApplyServerTree(text.Text()));
    const UpdateHint tree(UpdateHint::kTreeView);
    view_->Update(ClientHints::kProjectTree, &tree);
    view_->expandAll();
  }
};

TEST_F(CNewEditionDlgTest, AFreshEditionIsPreparedAfterTheWaitAndConfirmingPublishesItWithItsSubProject) {
  Select(alpha_);
  bool groupDisabled = false;
  Prepare([&](QDialog& dialog) {
    groupDisabled = !Find<QCheckBox>(dialog, 1035)->isEnabled() && !Find<QComboBox>(dialog, 1046)->isEnabled();
    Fill(dialog, "  First ", " notes ");
    ShowDetails(dialog);
  });
  EXPECT_TRUE(groupDisabled);
  EXPECT_EQ(ModalRunner::Shown(), (std::vector<std::string>{"CNewEditionDlg", "COperationProgressDlg"}));
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
  ASSERT_TRUE(document_->IsPreparingPublication());
  EXPECT_TRUE(document_->GetBatches().empty());
  EXPECT_EQ(document_->GetPublicationSelection().baseIndexName, alpha_);
  EXPECT_EQ(document_->GetPublicationName(), "First");
  EXPECT_EQ(document_->GetPublicationComments(), "notes");
  EXPECT_TRUE(view_->IsCheckBoxMode());
  EXPECT_EQ(StateOf(alpha_), 2);
  EXPECT_EQ(StateOf(beta_), 2);
  EXPECT_EQ(StateOf(delta_), 3);
  const std::string versions =
      DocumentListCache::VersionsFilePath(document_->GetLibraryFolder(), Node(beta_)->GetCacheFilePath());
  EXPECT_TRUE(platform::fs::Exists(versions + "_BPTemp"));
  VersionedDocumentList list;
  ASSERT_TRUE(list.ReadFile(versions));
  EXPECT_EQ(list.GetAt(0)->GetSelectedIndex(), 0);   // b.txt's latest version pre-ticked

  // Confirming: Publish and Confirm are off while the publication runs.
  document_->GetViews().Attach(running_);
  std::vector<std::string> notices;
  app_->SetStatusNoticeHook([&notices](const std::string& text) { notices.push_back(text); });
  Confirm(alpha_, "<E> First");
  app_->SetStatusNoticeHook(nullptr);
  document_->GetViews().Detach(running_);
  EXPECT_TRUE(running_.publishOff && running_.confirmOff);
  // One notice says what was published, counting the edition's documents and its sub-project's.
  EXPECT_EQ(notices, std::vector<std::string>{"Published \"First\" with 2 documents"});
  const std::string edition = StoredChild(alpha_, "<E> First");
  EXPECT_EQ(StoredDocuments(edition), std::vector<std::string>{"a.txt"});
  const std::string copy = StoredChild(edition, "Beta");
  ASSERT_FALSE(copy.empty());
  EXPECT_EQ(StoredDocuments(copy), std::vector<std::string>{"b.txt"});
  EXPECT_FALSE(platform::fs::Exists(versions + "_BPTemp"));
}

TEST_F(CNewEditionDlgTest, AnEditionBasedUponAnotherTakesTheVersionsOfThatEdition) {
  Select(alpha_);
  Prepare([](QDialog& dialog) {
    Fill(dialog, "First", "one");
    ShowDetails(dialog);
  });
  Confirm(alpha_, "<E> First");
  const std::string first = StoredChild(alpha_, "<E> First");

  Select(alpha_);
  Prepare([](QDialog& dialog) {
    Find<QCheckBox>(dialog, 1035)->setChecked(true);
    Fill(dialog, "Second", "two");
    ShowDetails(dialog);
  });
  ASSERT_TRUE(document_->IsPreparingPublication());
  EXPECT_EQ(document_->GetPublicationSelection().baseIndexName, first);
  EXPECT_EQ(StateOf(first), 2);
  EXPECT_EQ(StateOf(alpha_), 3);
  Confirm(alpha_, "<E> Second");
  EXPECT_EQ(StoredDocuments(StoredChild(alpha_, "<E> Second")), std::vector<std::string>{"a.txt"});
}

TEST_F(CNewEditionDlgTest, NamesAreCheckedAndSupplementsToggleOnlyOnTheirIcon) {
  ShowLocalTree();
  Select("PA");
  std::vector<bool> included;
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        auto& self = static_cast<CNewEditionDlg&>(dialog);
        QComboBox* editions = Find<QComboBox>(dialog, 1046);
        EXPECT_EQ(editions->count(), 2);
        EXPECT_TRUE(editions->itemText(0).startsWith("<E> One ("));
        EXPECT_FALSE(self.GetSupplementsList().isEnabled());
        Find<QCheckBox>(dialog, 1035)->setChecked(true);
        EXPECT_TRUE(self.GetSupplementsList().isEnabled());
        QTreeWidget& list = self.GetSupplementsList();
        ASSERT_EQ(list.topLevelItemCount(), 1);
        QTreeWidgetItem* may = list.topLevelItem(0);
        EXPECT_EQ(may->text(0).toStdString(), "<S> May");
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, list.visualItemRect(may).center());
        included.push_back(self.IsIncluded(0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                          ItemDecoration::Rect(list, may, 16).center());
        included.push_back(self.IsIncluded(0));

        for (const char* name : {"", "One", "bad/name"}) {
          Fill(dialog, name, "why");
          ShowDetails(dialog);
          EXPECT_TRUE(dialog.isVisible()) << name;
        }
        Find<QPushButton>(dialog, 1076)->click();
      },
      "CNewEditionDlg");
  view_->RunCommand(CommandIds::kPublish);
  EXPECT_EQ(included, (std::vector<bool>{true, false}));
  EXPECT_EQ(Texts(), (std::vector<std::string>{PublicationPreparation::kNameAndComments,
                                               PublicationPreparation::kEditionNotUnique,
                                               CRenameDlg::UnusableNameText("bad/name"),
                                               "Discard what you have typed?"}));
  EXPECT_FALSE(document_->IsPreparingPublication());   // Cancel abandons it
  EXPECT_TRUE(document_->GetBatches().empty());

}

TEST_F(CNewEditionDlgTest, TheDialogSaysWhatItMakesAndOfWhat) {
  ShowLocalTree();
  const auto purpose = [&](const char* index) {
    document_->SetCurrentProject(document_->GetProjectTree().FindProjectByPath(index)->GetTreeItem());
    return CNewEditionDlg(*document_).findChild<QLabel*>("1078")->text().toStdString();
  };
  EXPECT_EQ(purpose("PA"), "Makes a new edition of the project \"Alpha\".");
  EXPECT_EQ(purpose("E1"), "Makes a new supplement of the edition \"<E> One\" of the project \"Alpha\".");
}

TEST_F(CNewEditionDlgTest, WithoutACurrentProjectShowDetailsPreparesNothing) {
  document_->SetCurrentProject(0);
  CNewEditionDlg dialog(*document_);
  ModalRunner::QueueDialog([](QDialog& shown) {
    Fill(shown, "First", "why");
    ShowDetails(shown);
  });
  EXPECT_EQ(ModalRunner::Exec(dialog), QDialog::Rejected);
  EXPECT_TRUE(document_->GetBatches().empty());
  EXPECT_TRUE(notifier_->Received().empty());
}

TEST_F(CNewEditionDlgTest, AServerGoneDuringTheWaitClosesTheDialogAndTheLibraryInBounds) {
  Select(alpha_);
  ModalRunner::QueueDialog(
      [](QDialog& dialog) {
        Fill(dialog, "First", "why");
        ShowDetails(dialog);
      },
      "CNewEditionDlg");
  ModalRunner::QueueDialog(
      [&](QDialog&) {
        server_.Stop();
        EXPECT_TRUE(QTest::qWaitFor([&] { return document_->IsLinkEnded(); }, kWaitMs));
      },
      "COperationProgressDlg");
  const auto start = Clock::now();
  view_->RunCommand(CommandIds::kPublish);
  EXPECT_LT(Clock::now() - start, seconds(10));
  EXPECT_FALSE(document_->IsPreparingPublication());
  document_->GetViews().Detach(*view_);
  view_.reset();
  EXPECT_TRUE(PassUntil([&] { return !IsOpen(); }));
}

}  // namespace
