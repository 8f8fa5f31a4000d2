#include "client/ui/CCommentsDlg.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "client/ui/ModalRunner.h"
#include "platform/ui/QtTestApplication.h"

namespace {

TEST(CCommentsDlgTest, EnterBreaksTheLineAndOkKeepsTheText) {
  ModalRunner::SetScripted(true);
  ModalRunner::QueueDialog(
      [](QDialog& dialog) {
        auto* edit = dialog.findChild<QPlainTextEdit*>("1069");
        QTest::keyClicks(edit, "first");
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, "second");
        EXPECT_TRUE(dialog.isVisible());
        dialog.findChild<QPushButton*>("1070")->click();
      },
      "CCommentsDlg");
  CCommentsDlg dialog;
  EXPECT_EQ(ModalRunner::Exec(dialog), QDialog::Accepted);
  EXPECT_EQ(dialog.GetComments(), "first\nsecond");
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
  ModalRunner::SetScripted(false);
}

TEST(CCommentsDlgTest, TabLeavesTheTextAndCtrlEnterConfirmsIt) {
  ModalRunner::SetScripted(true);
  ModalRunner::QueueDialog(
      [](QDialog& dialog) {
        auto* edit = dialog.findChild<QPlainTextEdit*>("1069");
        edit->setFocus();
        QTest::keyClicks(edit, "why");
        QTest::keyClick(edit, Qt::Key_Tab);
        EXPECT_NE(dialog.focusWidget(), edit);
        EXPECT_TRUE(dialog.isVisible());
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
      },
      "CCommentsDlg");
  CCommentsDlg dialog;
  EXPECT_EQ(ModalRunner::Exec(dialog), QDialog::Accepted);
  EXPECT_EQ(dialog.GetComments(), "why");
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
  ModalRunner::SetScripted(false);
}

}  // namespace
