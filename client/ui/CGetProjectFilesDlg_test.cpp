#include "client/ui/CGetProjectFilesDlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "client/library/ServerTreeText.h"
#include "platform/ui/QtTestApplication.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

constexpr int kWaitMs = 5000;
constexpr TreeItem kEditionItem = 7;

SupplementRecord Supplement(const std::string& name) {
  SupplementRecord supplement;
  supplement.SetName(name);
  return supplement;
}

// A library document (not opened) whose tree holds an edition with two supplements
// and a plain project between them; the edition is the tree's current project.
class CGetProjectFilesDlgTest : public ClientLibraryTest {
 protected:
  void SetUp() override {
    ClientLibraryTest::SetUp();
    document_ = std::make_unique<CBrannockDoc>(*app_);
    EditionRecord edition;
    edition.SetName("Edition 1");
    ASSERT_TRUE(document_->GetProjectTree().ApplyServerTree(ServerTreeText()
                                                                .Node("Root", "Root", 1)
                                                                .Node("Edition 1", "E1", 3, edition)
                                                                .Node("S1", "S1", 0, {}, Supplement("Supp 1"))
                                                                .Node("Plans", "P1", 0)
                                                                .Node("S2", "S2", 0, {}, Supplement("Supp 2"))
                                                                .Text()));
    ProjectNode* node = document_->GetProjectTree().FindProjectByPath("E1");
    ASSERT_NE(node, nullptr);
    document_->GetProjectTree().SetTreeItem(*node, kEditionItem);
    document_->SetCurrentProject(kEditionItem);
    CGetProjectFilesDlg::SetFolderChooser(nullptr);
  }
  void TearDown() override {
    CGetProjectFilesDlg::SetFolderChooser(nullptr);
    document_.reset();
    ClientLibraryTest::TearDown();
  }
  template <typename Control>
  Control* Find(QWidget& dialog, int id) {
    auto* control = dialog.findChild<Control*>(QString::number(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
  }
  std::string UserBackupRoot() {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    return app_->GetCurrentUser()->GetBackupRoot();
  }

  std::unique_ptr<CBrannockDoc> document_;
};

TEST_F(CGetProjectFilesDlgTest, WithoutAProjectTheDialogSaysSoAndCancelsFromItsOwnLoop) {
  document_->SetCurrentProject(0);
  CGetProjectFilesDlg dialog(*document_);
  dialog.show();
  EXPECT_EQ(Shown(), std::vector<std::string>{CGetProjectFilesDlg::kProjectNotFound});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, kWaitMs));
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(CGetProjectFilesDlgTest, SetUpPresetsTheChecksAndAnEditionCollectsItsSupplements) {
  CGetProjectFilesDlg dialog(*document_);
  dialog.show();
  for (int checked : {1030, 1085, 1057, 1055}) EXPECT_TRUE(Find<QAbstractButton>(dialog, checked)->isChecked());
  EXPECT_FALSE(Find<QLineEdit>(dialog, 1024)->isEnabled());
  Find<QCheckBox>(dialog, 1085)->click();
  EXPECT_TRUE(Find<QLineEdit>(dialog, 1024)->isEnabled());

  Find<QPushButton>(dialog, 1078)->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  ASSERT_EQ(dialog.GetSupplements().GetCount(), 2);
  EXPECT_EQ(dialog.GetSupplements().GetAt(0).GetName(), "Supp 1");
  EXPECT_EQ(dialog.GetSupplements().GetAt(1).GetName(), "Supp 2");
  EXPECT_FALSE(dialog.GetUseMappedFolders());
}

TEST_F(CGetProjectFilesDlgTest, OnlyABackupChoiceChecksTheBackupRoot) {
  struct Case {
    int backupButton;   // 0: none chosen
    std::string root;
    bool accepted;
  };
  const std::string creatable = work_ + "/backups/deep";
  const std::string uncreatable = work_ + "/file.txt/below";
  folder_.Put("file.txt", "x");
  for (const Case& c : {Case{0, uncreatable, true}, Case{1026, uncreatable, true}, Case{1080, uncreatable, false},
                        Case{1082, "relative/backups", false}, Case{1081, creatable, true}}) {
    shown_.clear();
    CGetProjectFilesDlg dialog(*document_);
    dialog.show();
    if (c.backupButton != 0) Find<QRadioButton>(dialog, c.backupButton)->click();
    Find<QLineEdit>(dialog, 1058)->setText(QString::fromStdString(c.root));
    Find<QPushButton>(dialog, 1078)->click();
    EXPECT_EQ(dialog.isVisible(), !c.accepted) << c.backupButton;
    EXPECT_EQ(Shown().empty(), c.accepted) << c.backupButton;
    if (!c.accepted) {
      EXPECT_EQ(Shown().front(), CGetProjectFilesDlg::kInvalidBackupRoot);
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory(creatable));
}

TEST_F(CGetProjectFilesDlgTest, ABrowsedBackupRootIsKeptInTheProfileAfterARestart) {
  const std::string root = work_ + "/kept";
  const std::string before = UserBackupRoot();
  std::string startedAt = "unset";
  CGetProjectFilesDlg::SetFolderChooser([&](QWidget*, const std::string& start) {
    startedAt = start;
    return std::optional<std::string>(root);
  });
  {
    CGetProjectFilesDlg dialog(*document_);
    dialog.show();
    Find<QPushButton>(dialog, 1059)->click();
    EXPECT_EQ(startedAt, before);
    EXPECT_EQ(Find<QLineEdit>(dialog, 1058)->text().toStdString(), root);
    Find<QPushButton>(dialog, 1078)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
  document_.reset();
  app_.reset();
  app_ = std::make_unique<CBrannockApp>(work_, "login");
  ASSERT_TRUE(app_->InitInstance());
  EXPECT_EQ(UserBackupRoot(), root);
}

}  // namespace
