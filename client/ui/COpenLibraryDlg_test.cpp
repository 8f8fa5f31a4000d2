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
    mail.SetEmailAddress("library@example.org");
    mail.SetUserText("ann");
    AddConnection(mail);
  }
};

TEST_F(COpenLibraryDlgTest, ListsLibraryUserServerAndKindSelectsTheFirstAndReturnsTheChosenIndex) {
  COpenLibraryDlg dialog(*app_);
  auto* list = dialog.findChild<CListViewEx*>("1001");
  const auto row = [list](int i) {
    std::vector<std::string> texts;
    for (int column = 0; column < list->columnCount(); ++column) {
      texts.push_back(list->topLevelItem(i)->text(column).toStdString());
    }
    return texts;
  };
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(row(0), (std::vector<std::string>{"Mail library", "ann", "library@example.org", "Email"}));
  const LibraryConnection imported = Connection(1);
  EXPECT_EQ(row(1), (std::vector<std::string>{library_, "ann",
                                              imported.GetHost() + ":" + std::to_string(server_.Port()), "TCP/IP"}));
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
