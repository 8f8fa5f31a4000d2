#include "client/ui/COpenLibraryDlg.h"

#include <gtest/gtest.h>

#include <QPushButton>

#include "client/ui/CListViewEx.h"
#include "platform/ui/QtTestApplication.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;

class COpenLibraryDlgTest : public ClientLibraryTest {
 protected:
  void AddConnectionsBeforeImport() override {
    LibraryConnection mail;
    mail.SetName("Mail library");
    mail.SetKind(LibraryConnection::kEmail);
    AddConnection(mail);
  }
};

TEST_F(COpenLibraryDlgTest, ListsNameAndKindSelectsTheFirstAndReturnsTheChosenIndex) {
  COpenLibraryDlg dialog(*app_);
  auto* list = dialog.findChild<CListViewEx*>("1001");
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(0)->text(0), "Mail library");
  EXPECT_EQ(list->topLevelItem(0)->text(1), "Email");
  EXPECT_EQ(list->topLevelItem(1)->text(0).toStdString(), library_);
  EXPECT_EQ(list->topLevelItem(1)->text(1), "TCP/IP");
  EXPECT_EQ(dialog.GetSelectedIndex(), 0);
  list->setCurrentItem(list->topLevelItem(1));
  dialog.findChild<QPushButton*>("1083")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.GetSelectedIndex(), 1);
}

TEST_F(COpenLibraryDlgTest, WithoutConnectionsOpenReturnsOkWithNoIndex) {
  platform::ScratchFolder empty;
  CBrannockApp app(empty.Path(), "login");
  ASSERT_TRUE(app.InitInstance());
  COpenLibraryDlg dialog(app);
  EXPECT_EQ(dialog.findChild<CListViewEx*>("1001")->topLevelItemCount(), 0);
  dialog.findChild<QPushButton*>("1083")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.GetSelectedIndex(), -1);
}

}  // namespace
