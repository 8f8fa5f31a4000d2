#include "client/ui/ClientDialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/ScratchFolder.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/QtTestApplication.h"

namespace {

TEST(ClientDialogTest, HelpShowsAControlsTextOrElseTheDialogsTopic) {
  platform::ScratchFolder folder;
  platform::ui::HelpWindow::SetPage(QUrl::fromLocalFile(
      QString::fromStdString(folder.Put("help.html", "<a name=\"topic131206\"></a>Rename"))));
  ClientDialog dialog("TestDlg", 134, "Rename folder or document", nullptr);
  auto* edit = new QLineEdit(&dialog);
  ClientDialog::SetControlHelp(edit, 1002, "The new name.");
  auto* other = new QLineEdit(&dialog);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel("Name", &dialog));
  layout->addWidget(edit);
  layout->addWidget(other);
  EXPECT_EQ(edit->objectName(), "1002");

  edit->setFocus();
  dialog.ShowHelp();
  EXPECT_EQ(platform::ui::HelpWindow::Find(&dialog), nullptr);
  other->setFocus();
  dialog.ShowHelp();
  ASSERT_NE(platform::ui::HelpWindow::Find(&dialog), nullptr);
  EXPECT_EQ(platform::ui::HelpWindow::Find(&dialog)->Topic(), 131206);
  platform::ui::HelpWindow::SetPage(QUrl());
}

}  // namespace
