#include "client/ui/CInformationDlg.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include "client/ui/ModalRunner.h"
#include "platform/ui/QtTestApplication.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

class CInformationDlgTest : public client_test::ClientLibraryTest {};

TEST_F(CInformationDlgTest, TheInformationHookShowsTheTextReadOnlyWhileHoldingTheDocument) {
  CBrannockDoc document(*app_);
  document.SetInformationHook(CInformationDlg::MakeHook(document, nullptr));
  ModalRunner::SetScripted(true);
  bool held = false;
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        const auto* text = dialog.findChild<QPlainTextEdit*>("1003");
        EXPECT_EQ(text->toPlainText(), "3 documents retrieved.\nDone.");
        EXPECT_TRUE(text->isReadOnly());
        held = app_->GetOpenLibraries().IsHeld(document);
        dialog.accept();
      },
      "CInformationDlg");
  document.ShowInformation("3 documents retrieved.\nDone.");
  EXPECT_TRUE(held);
  EXPECT_FALSE(app_->GetOpenLibraries().IsHeld(document));
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
  ModalRunner::SetScripted(false);
}

}  // namespace
