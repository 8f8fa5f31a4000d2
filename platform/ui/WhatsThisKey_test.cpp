#include "platform/ui/WhatsThisKey.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWhatsThis>

#include "platform/ScratchFolder.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/QtTestApplication.h"

namespace platform::ui {
namespace {

TEST(WhatsThisKey, F1OpensTheDialogsPageAndShiftF1TheControlTexts) {
  ScratchFolder scratch;
  const std::string page = scratch.Put("help.html", "<html><body><a name=\"topic5\"></a>Five</body></html>");
  HelpWindow::SetPage(QUrl::fromLocalFile(QString::fromStdString(page)));
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* described = new QLineEdit(&dialog);
  auto* plain = new QLineEdit(&dialog);
  layout->addWidget(described);
  layout->addWidget(plain);
  described->setWhatsThis("The user's name");
  WhatsThisKey::Install(&dialog, 5);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

  plain->setFocus();
  EXPECT_EQ(QString(), WhatsThisKey::TextForFocus(&dialog));
  described->setFocus();
  EXPECT_EQ("The user's name", WhatsThisKey::TextForFocus(&dialog));

  QTest::keyClick(described, Qt::Key_F1);
  HelpWindow* help = HelpWindow::Find(&dialog);
  ASSERT_NE(nullptr, help);
  EXPECT_EQ(5, help->Topic());
  EXPECT_TRUE(help->isVisible());

  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QTest::keyClick(described, Qt::Key_F1, Qt::ShiftModifier);
  EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
  QWhatsThis::leaveWhatsThisMode();
  HelpWindow::SetPage(QUrl());
}

}  // namespace
}  // namespace platform::ui
