#include "platform/ui/WhatsThisKey.h"

#include <QShortcut>
#include <QWhatsThis>
#include <QWidget>

#include "platform/ui/HelpWindow.h"

namespace platform::ui {
namespace {

// The focused control, or its nearest ancestor inside the dialog that has a text.
QWidget* WidgetWithText(QWidget* dialog) {
  for (QWidget* widget = dialog->focusWidget(); widget != nullptr; widget = widget->parentWidget()) {
    if (!widget->whatsThis().isEmpty()) return widget;
    if (widget == dialog) break;
  }
  return nullptr;
}

}  // namespace

QString WhatsThisKey::TextForFocus(QWidget* dialog) {
  QWidget* widget = WidgetWithText(dialog);
  return widget == nullptr ? QString() : widget->whatsThis();
}

void WhatsThisKey::Install(QWidget* dialog, int helpTopic) {
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), dialog);
  help->setContext(Qt::WindowShortcut);
  QObject::connect(help, &QShortcut::activated, dialog,
                   [dialog, helpTopic] { HelpWindow::ShowTopic(dialog, helpTopic); });
  auto* whatsThis = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), dialog);
  whatsThis->setContext(Qt::WindowShortcut);
  QObject::connect(whatsThis, &QShortcut::activated, dialog, [] { QWhatsThis::enterWhatsThisMode(); });
}

}  // namespace platform::ui
