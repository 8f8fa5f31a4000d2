#include "platform/ui/HelpWindow.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include "platform/ScratchFolder.h"
#include "platform/ui/QtTestApplication.h"

namespace platform::ui {
namespace {

TEST(HelpWindow, ShowsThePageAtTheTopicOncePerTopLevelWindow) {
  QWidget owner;
  HelpWindow::SetPage(QUrl());
  EXPECT_EQ(nullptr, HelpWindow::ShowTopic(&owner, 1));

  ScratchFolder scratch;
  const std::string page = scratch.Put("help.html", "<html><head><title>Help</title></head><body><a name=\"topic7\"></a>Seven</body></html>");
  HelpWindow::SetPage(QUrl::fromLocalFile(QString::fromStdString(page)));
  QWidget child(&owner);
  owner.setGeometry(20, 20, 300, 200);
  owner.show();
  HelpWindow* help = HelpWindow::ShowTopic(&child, 7);
  ASSERT_NE(nullptr, help);
  EXPECT_EQ(help, HelpWindow::Find(&owner));
  EXPECT_EQ(&owner, help->parentWidget());
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(7, help->Topic());
  EXPECT_EQ("topic7", help->source().fragment());
  EXPECT_EQ("Seven", help->toPlainText());
  EXPECT_EQ("Help", help->windowTitle());
  EXPECT_FALSE(help->frameGeometry().intersects(owner.frameGeometry()));

  EXPECT_EQ(help, HelpWindow::ShowTopic(&owner, 8));
  EXPECT_EQ(8, help->Topic());
  help->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(help));
  QTest::keyClick(help, Qt::Key_Escape);
  EXPECT_FALSE(help->isVisible());
  HelpWindow::SetPage(QUrl());
}

}  // namespace
}  // namespace platform::ui
