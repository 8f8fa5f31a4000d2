#include "platform/ui/WhatsThisKey.h"

#include <QShortcut>
#include <QWhatsThis>
#include <QWidget>

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

void WhatsThisKey::Install(QWidget* dialog) {
  auto* key = new QShortcut(QKeySequence(Qt::Key_F1), dialog);
  key->setContext(Qt::WindowShortcut);
  QObject::connect(key, &QShortcut::activated, dialog, [dialog] {
    if (QWidget* widget = WidgetWithText(dialog)) {
      QWhatsThis::showText(widget->mapToGlobal(widget->rect().center()), widget->whatsThis(), widget);
    }
  });
}

}  // namespace platform::ui
