#include "platform/ui/WhatsThisKey.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWhatsThis>

#include "platform/ui/QtTestApplication.h"

namespace platform::ui {
namespace {

bool WhatsThisPopupShown() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && QString(widget->metaObject()->className()) == "QWhatsThat") return true;
  }
  return false;
}

TEST(WhatsThisKey, F1ShowsTheFocusedControlsTextOrNothing) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* described = new QLineEdit(&dialog);
  auto* plain = new QLineEdit(&dialog);
  layout->addWidget(described);
  layout->addWidget(plain);
  described->setWhatsThis("The user's name");
  WhatsThisKey::Install(&dialog);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

  plain->setFocus();
  EXPECT_EQ(QString(), WhatsThisKey::TextForFocus(&dialog));
  QTest::keyClick(plain, Qt::Key_F1);
  EXPECT_FALSE(WhatsThisPopupShown());

  described->setFocus();
  EXPECT_EQ("The user's name", WhatsThisKey::TextForFocus(&dialog));
  QTest::keyClick(described, Qt::Key_F1);
  EXPECT_TRUE(WhatsThisPopupShown());
  QWhatsThis::hideText();
}

}  // namespace
}  // namespace platform::ui
