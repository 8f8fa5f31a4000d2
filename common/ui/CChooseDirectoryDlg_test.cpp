#include "common/ui/CChooseDirectoryDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "common/ui/CDirectoryTree.h"
#include "common/ui/CDriveComboBox.h"
#include "common/ui/FakeMounts.h"
#include "platform/Process.h"
#include "platform/ScratchFolder.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"

namespace {

namespace stdfs = std::filesystem;

// Two fake drives: first/{a/{deep},b} and second/{c}.
class ChooseDirectoryDlgTest : public ::testing::Test {
 protected:
  ChooseDirectoryDlgTest()
      : first_(scratch_ / "first"),
        second_(scratch_ / "second"),
        dialog_(nullptr, MakeFakeDrives({{first_, "/dev/fake1"}, {second_, "/dev/fake2"}})) {
    for (const char* folder : {"first/a/deep", "first/b", "second/c"}) stdfs::create_directories(scratch_ / folder);
  }

  // Runs the dialog modally; `steps` act on it once it shows, then the button
  // with `buttonText` (if any) ends it, unless it `staysOpen`: then the test
  // rejects it. Returns the dialog's result.
  int Run(const std::function<void()>& steps, const QString& buttonText, bool staysOpen = false) {
    QTimer::singleShot(0, &dialog_, [this, steps, buttonText, staysOpen] {
      steps();
      if (!buttonText.isEmpty()) Button(buttonText)->click();
      if (!dialog_.isVisible()) {
        if (staysOpen) ADD_FAILURE() << "the dialog closed";
        return;
      }
      if (!staysOpen) ADD_FAILURE() << "the dialog stayed open after " << buttonText.toStdString();
      dialog_.reject();
    });
    return dialog_.exec();
  }
  QPushButton* Button(const QString& text) {
    for (QPushButton* button : dialog_.findChildren<QPushButton*>()) {
      if (button->text() == text) return button;
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
  }
  // Types `text` into the path line as the user would, over what it shows.
  void TypePath(const std::string& text) {
    QLineEdit* edit = dialog_.findChild<QLineEdit*>("pathEdit");
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QString::fromStdString(text));
  }
  // Presses New Folder and answers its name question with `name`.
  void MakeNewFolder(const QString& name) {
    QTimer::singleShot(0, &dialog_, [this, name] {
      auto* ask = dialog_.findChild<QInputDialog*>("newFolderName");
      if (ask == nullptr) return ADD_FAILURE() << "no name question";
      ask->setTextValue(name);
      ask->accept();
    });
    if (QPushButton* button = Button("&New Folder...")) button->click();
  }

  CDirectoryTree* Tree() { return dialog_.findChild<CDirectoryTree*>(); }
  CDriveComboBox* Drives() { return dialog_.findChild<CDriveComboBox*>(); }
  QCheckBox* DeriveBox() { return dialog_.findChild<QCheckBox*>(); }
  std::string EditText() { return dialog_.findChild<QLineEdit*>("pathEdit")->text().toStdString(); }
  QTreeWidgetItem* SubFolder(const std::string& name) {
    QTreeWidgetItem* item = Tree()->currentItem();
    for (int i = 0; i < item->childCount(); ++i) {
      if (item->child(i)->text(0).toStdString() == name) return item->child(i);
    }
    return nullptr;
  }
  // Picks the drive with `root` in the list as the user would.
  void ChooseDrive(const std::string& root) {
    for (int i = 0; i < Drives()->count(); ++i) {
      if (Drives()->DriveAt(i) != root) continue;
      Drives()->setCurrentIndex(i);
      emit Drives()->activated(i);
    }
  }
  std::string SelectedDrive() { return Drives()->DriveAt(Drives()->currentIndex()); }

  platform::ScratchFolder scratch_;
  std::string first_;
  std::string second_;
  platform::ui::ScriptedNotifier notifier_;
  CChooseDirectoryDlg dialog_;
};

TEST_F(ChooseDirectoryDlgTest, WithoutInitialPathStartsAtTheWorkingFolder) {
  const auto startFolder = stdfs::current_path();
  const std::string working = stdfs::canonical(platform::WorkingFolder()).string();
  std::string shown;
  ASSERT_EQ(Run([&] { shown = EditText(); }, "Accept"), QDialog::Accepted);
  EXPECT_EQ(shown, working);
  EXPECT_EQ(dialog_.GetPath(), working);
  EXPECT_EQ(dialog_.windowTitle(), QApplication::applicationName() + " - Choose Directory / Path");
  EXPECT_EQ(stdfs::current_path(), startFolder);
}

TEST_F(ChooseDirectoryDlgTest, InitialPathIsShownOnItsDriveAndDoubleClicksFollow) {
  dialog_.SetInitialPath(first_ + "/a/", false);
  std::string atStart, afterClick, driveAtStart;
  ASSERT_EQ(Run(
                [&] {
                  atStart = EditText();
                  driveAtStart = SelectedDrive();
                  Tree()->OnDblClick(SubFolder("deep"));
                  afterClick = EditText();
                },
                "Accept"),
            QDialog::Accepted);
  EXPECT_EQ(atStart, first_ + "/a");
  EXPECT_EQ(driveAtStart, first_);
  EXPECT_EQ(afterClick, first_ + "/a/deep");
  EXPECT_EQ(dialog_.GetPath(), first_ + "/a/deep");
}

TEST_F(ChooseDirectoryDlgTest, SwitchingDrivesReturnsToTheFolderLastShown) {
  dialog_.SetInitialPath(first_, false);
  std::string onSecond, backOnFirst, driveShown;
  Run(
      [&] {
        Tree()->OnDblClick(SubFolder("a"));
        Tree()->OnDblClick(SubFolder("deep"));
        ChooseDrive(second_);
        onSecond = EditText();
        ChooseDrive(first_);
        backOnFirst = EditText();
        driveShown = Tree()->GetCurrentDrive();
      },
      "Accept");
  EXPECT_EQ(onSecond, second_);  // never visited: its root
  EXPECT_EQ(backOnFirst, first_ + "/a/deep");
  EXPECT_EQ(driveShown, first_);
  EXPECT_EQ(dialog_.GetPath(), first_ + "/a/deep");
}

TEST_F(ChooseDirectoryDlgTest, DriveNotReadyKeepsTreeAndListWhereTheyWere) {
  dialog_.SetInitialPath(first_ + "/b", false);
  stdfs::remove_all(second_);
  std::string shown, selected;
  Run(
      [&] {
        ChooseDrive(second_);
        shown = EditText();
        selected = SelectedDrive();
      },
      "Accept");
  EXPECT_EQ(shown, first_ + "/b");
  EXPECT_EQ(selected, first_);
  EXPECT_EQ(dialog_.GetPath(), first_ + "/b");
  ASSERT_EQ(notifier_.Received().size(), 1u);
  EXPECT_EQ(notifier_.Received()[0].text, "Drive " + second_ + ": is not ready.");
}

TEST_F(ChooseDirectoryDlgTest, EmptyInitialPathChangesNothing) {
  dialog_.SetInitialPath(first_, true);
  dialog_.SetInitialPath("", false);
  bool ticked = false;
  std::string shown;
  Run(
      [&] {
        ticked = DeriveBox()->isChecked();
        shown = EditText();
      },
      "Accept");
  EXPECT_TRUE(ticked);
  EXPECT_EQ(shown, first_);
  EXPECT_TRUE(dialog_.GetDeriveSubMappings());
}

TEST_F(ChooseDirectoryDlgTest, DeriveBoxIsDisabledUnlessEnabled) {
  dialog_.SetInitialPath(first_, true);
  bool enabled = true;
  Run([&] { enabled = DeriveBox()->isEnabled(); }, "Accept");
  EXPECT_FALSE(enabled);
  EXPECT_EQ(DeriveBox()->text(), "Derive all sub-project mappings from this path");
  EXPECT_TRUE(dialog_.GetDeriveSubMappings());
}

TEST_F(ChooseDirectoryDlgTest, EnabledDeriveBoxUntickedGivesFalse) {
  dialog_.SetDeriveEnabled(true);
  dialog_.SetInitialPath(first_, true);
  bool enabled = false, ticked = false;
  ASSERT_EQ(Run(
                [&] {
                  enabled = DeriveBox()->isEnabled();
                  ticked = DeriveBox()->isChecked();
                  DeriveBox()->click();
                },
                "Accept"),
            QDialog::Accepted);
  EXPECT_TRUE(enabled);
  EXPECT_TRUE(ticked);
  EXPECT_FALSE(dialog_.GetDeriveSubMappings());
}

TEST_F(ChooseDirectoryDlgTest, CancelLeavesTheDeriveValueAsGiven) {
  dialog_.SetDeriveEnabled(true);
  dialog_.SetInitialPath(first_, true);
  EXPECT_EQ(Run([&] { DeriveBox()->click(); }, "Cancel"), QDialog::Rejected);
  EXPECT_TRUE(dialog_.GetDeriveSubMappings());
}

TEST_F(ChooseDirectoryDlgTest, EnterAndAcceptTakeTheFolderHighlightedByTheArrowKeys) {
  for (const QString& ending : {QString(), QString("Accept")}) {
    std::string shown;
    ASSERT_EQ(Run(
                  [&] {
                    Tree()->DisplayPath(first_);
                    QTest::keyClick(Tree(), Qt::Key_Down);  // from the shown folder to its first sub-folder
                    shown = EditText();
                    if (ending.isEmpty()) QTest::keyClick(Tree(), Qt::Key_Return);
                  },
                  ending),
              QDialog::Accepted)
        << ending.toStdString();
    EXPECT_EQ(shown, first_ + "/a");
    EXPECT_EQ(dialog_.GetPath(), first_ + "/a") << ending.toStdString();
  }
}

TEST_F(ChooseDirectoryDlgTest, ATypedFolderThatIsMissingIsMadeOnlyOnYes) {
  struct Case {
    platform::NotifyAnswer answer;
    bool made;
  };
  for (const Case& c : {Case{platform::NotifyAnswer::No, false}, Case{platform::NotifyAnswer::Yes, true}}) {
    const std::string wanted = second_ + "/new/lib";
    notifier_.QueueAnswer(c.answer);
    const int result = Run(
        [&] {
          Tree()->DisplayPath(first_);
          TypePath("../second/new/./lib/");
        },
        "Accept", !c.made);
    EXPECT_EQ(result, c.made ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_EQ(stdfs::is_directory(wanted), c.made);
    ASSERT_FALSE(notifier_.Received().empty());
    const platform::Notification asked = notifier_.Received().back();
    EXPECT_EQ(asked.text, "The folder " + wanted + " does not exist.\nDo you want to make it?");
    EXPECT_EQ(asked.buttons, platform::NotifyButtons::YesNo);
    EXPECT_EQ(asked.caption, QApplication::applicationDisplayName().toStdString());
    if (c.made) {
      EXPECT_EQ(dialog_.GetPath(), wanted);
    }
  }
}

TEST_F(ChooseDirectoryDlgTest, NewFolderMakesANamedFolderInTheHighlightedOneAndHighlightsIt) {
  dialog_.SetInitialPath(first_ + "/a", false);
  std::string shown;
  ASSERT_EQ(Run(
                [&] {
                  MakeNewFolder("  Library 2026 ");
                  shown = EditText();
                },
                "Accept"),
            QDialog::Accepted);
  EXPECT_TRUE(stdfs::is_directory(first_ + "/a/Library 2026"));
  EXPECT_EQ(shown, first_ + "/a/Library 2026");
  EXPECT_EQ(dialog_.GetPath(), first_ + "/a/Library 2026");
  EXPECT_TRUE(notifier_.Received().empty());
}

TEST_F(ChooseDirectoryDlgTest, NewFolderRefusesANameThatBreaksTheRuleOrIsTaken) {
  const std::pair<QString, std::string> refusals[] = {
      {"x/y", "The folder cannot be made with this name.\n\nFolder name: a name cannot be . or .., nor contain / "
              "or control characters"},
      {"..", "The folder cannot be made with this name.\n\nFolder name: a name cannot be . or .., nor contain / "
             "or control characters"},
      {QString(256, 'n'), "The folder cannot be made with this name.\n\nFolder name: a name can be at most 255 "
                          "bytes long"},
      {"deep", "There is already a file or folder named deep in " + first_ + "/a."}};
  dialog_.SetInitialPath(first_ + "/a", false);
  Run(
      [&] {
        for (const auto& [name, message] : refusals) {
          MakeNewFolder(name);
          ASSERT_FALSE(notifier_.Received().empty());
          EXPECT_EQ(notifier_.Received().back().text, message) << name.toStdString();
          EXPECT_EQ(EditText(), first_ + "/a");
        }
      },
      "Cancel");
  EXPECT_EQ(std::distance(stdfs::directory_iterator(first_ + "/a"), stdfs::directory_iterator()), 1);
}

}  // namespace
