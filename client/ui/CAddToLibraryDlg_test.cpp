#include "client/ui/CAddToLibraryDlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include "client/document/CBrannockApp.h"
#include "client/library/ServerTreeText.h"
#include "client/records/UserProfiles.h"
#include "client/rules/AddToLibraryChecks.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;
using Checks = AddToLibraryChecks;

class AddToLibraryDlgTest : public ClientLibraryTest {
 protected:
  void SetUp() override {
    ClientLibraryTest::SetUp();
    notifier_ = std::make_unique<platform::ui::ScriptedNotifier>();
    doc_ = OpenReady("0");
    ASSERT_NE(doc_, nullptr);
    ASSERT_TRUE(doc_->GetProjectTree().ApplyServerTree(
        ServerTreeText().Node("Root", "Root", 2).Node("beta", "PB", 0).Node("Alpha", "PA", 0).Text()));
  }
  void TearDown() override {
    dialog_.reset();
    notifier_.reset();
    ClientLibraryTest::TearDown();
  }
  CAddToLibraryDlg& Open(const std::string& preset, bool addsFolders = true) {
    dialog_ = std::make_unique<CAddToLibraryDlg>(*doc_, work_, preset, addsFolders);
    return *dialog_;
  }
  template <typename Control>
  Control* Find(int id) {
    return dialog_->findChild<Control*>(QString::number(id));
  }
  void AddRule(bool inclusion, int typeIndex, const QString& parameter) {
    Find<QComboBox>(inclusion ? 1005 : 1009)->setCurrentIndex(typeIndex);
    Find<QLineEdit>(inclusion ? 1006 : 1010)->setText(parameter);
    Find<QPushButton>(inclusion ? 1008 : 1011)->click();
  }
  std::vector<std::string> Told() {
    std::vector<std::string> texts;
    for (const platform::Notification& n : notifier_->Received()) texts.push_back(n.text);
    return texts;
  }
  const FolderRuleSet& ProfileSet(int i) { return *app_->GetCurrentUser()->GetFolderRuleSet(i); }

  std::unique_ptr<platform::ui::ScriptedNotifier> notifier_;
  CBrannockDoc* doc_ = nullptr;
  std::unique_ptr<CAddToLibraryDlg> dialog_;
};

TEST_F(AddToLibraryDlgTest, TheProfileGetsTenSavedRuleSetsAndTheTreeItsParent) {
  ASSERT_EQ(app_->GetCurrentUser()->GetFolderRuleSetCount(), 0);
  Open("PA");
  EXPECT_EQ(app_->GetCurrentUser()->GetFolderRuleSetCount(), 10);
  UserProfiles written(work_);
  ASSERT_TRUE(written.LoadUsers("login"));
  EXPECT_EQ(written.GetCurrentUser()->GetFolderRuleSetCount(), 10) << "saved at once";
  QTreeWidget* tree = Find<QTreeWidget>(1004);
  EXPECT_EQ(tree->currentItem()->text(0), "Alpha");
  EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), "Alpha") << "siblings in name order";
  Open("Root");
  EXPECT_EQ(Find<QTreeWidget>(1004)->currentItem(), Find<QTreeWidget>(1004)->topLevelItem(0));
}

TEST_F(AddToLibraryDlgTest, RulesAreKeptPerSetAndDeletedOnRequest) {
  Open("");
  AddRule(false, 1, "  ");  // "All sub-folders named:" without a name
  AddRule(false, 2, " *.bak ");
  AddRule(false, 2, "*.bak");  // a duplicate: listed once, the set still counts as changed
  QTreeWidget* exclusions = Find<QTreeWidget>(1012);
  ASSERT_EQ(exclusions->topLevelItemCount(), 1);
  EXPECT_EQ(exclusions->topLevelItem(0)->text(1), "*.bak");
  EXPECT_EQ(Told(), std::vector<std::string>{Checks::kNeedParameter});
  Find<QSpinBox>(1021)->stepBy(1);  // leaving set 1 saves it
  EXPECT_EQ(ProfileSet(0).GetExclusionCount(), 1);
  EXPECT_EQ(exclusions->topLevelItemCount(), 0);
  Find<QSpinBox>(1021)->stepBy(-1);
  exclusions->topLevelItem(0)->setSelected(true);
  notifier_->QueueAnswer(platform::NotifyAnswer::No);
  QTest::keyClick(exclusions, Qt::Key_Delete);
  EXPECT_EQ(exclusions->topLevelItemCount(), 1);
  QTest::keyClick(exclusions, Qt::Key_Delete);
  EXPECT_EQ(exclusions->topLevelItemCount(), 0);
  EXPECT_EQ(Told().back(), Checks::kDeleteExclusion);
}

TEST_F(AddToLibraryDlgTest, AddNowChecksTheFieldsAndGivesTheChoices) {
  CAddToLibraryDlg& dialog = Open("PB");
  dialog.accept();
  Find<QPlainTextEdit>(1066)->setPlainText("  ");  // blanks pass
  Find<QLineEdit>(1013)->setText(QString::fromStdString(work_ + "/missing"));
  dialog.accept();
  EXPECT_EQ(Told(), (std::vector<std::string>{Checks::kNeedComments, Checks::kInvalidFolder}));
  Find<QLineEdit>(1013)->setText(QString::fromStdString(work_));
  AddRule(true, 2, "");  // "All documents"
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.GetParentIndexName(), "PB");
  EXPECT_EQ(dialog.GetConfirmedFolder(), work_);
  EXPECT_EQ(dialog.GetComments(), "  ");
  EXPECT_EQ(dialog.GetRuleSet().GetInclusionCount(), 1);
  EXPECT_EQ(ProfileSet(0), dialog.GetRuleSet());
}

TEST_F(AddToLibraryDlgTest, ARuleSetThatTakesNothingIsRefusedBeforeFoldersAreAdded) {
  for (const bool addsFolders : {true, false}) {
    const std::size_t toldBefore = Told().size();
    CAddToLibraryDlg& dialog = Open("PB", addsFolders);
    Find<QPlainTextEdit>(1066)->setPlainText("new folders");
    AddRule(false, 0, "");  // "All sub-folders" left out: still nothing is taken
    dialog.accept();
    EXPECT_EQ(dialog.result(), addsFolders ? QDialog::Rejected : QDialog::Accepted) << addsFolders;
    std::vector<std::string> told = Told();
    told.erase(told.begin(), told.begin() + static_cast<std::ptrdiff_t>(toldBefore));
    EXPECT_EQ(told, addsFolders ? std::vector<std::string>{Checks::kRulesTakeNothing} : std::vector<std::string>())
        << addsFolders;
  }
}

}  // namespace
