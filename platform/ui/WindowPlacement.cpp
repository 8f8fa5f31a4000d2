#include "platform/ui/WindowPlacement.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace platform::ui {

void ShowMaximized(QWidget& window) {
  if (const QScreen* screen = window.screen()) window.resize(screen->availableGeometry().size() * 3 / 4);
  window.showMaximized();
}

bool GrabWindow(QWidget& window, const QString& path) {
  const QScreen* screen = window.screen();
  if (screen != nullptr && window.isMaximized() && window.size() != screen->availableGeometry().size()) {
    window.setGeometry(screen->availableGeometry());
    QCoreApplication::processEvents();
  }
  return window.grab().save(path, "PNG");
}

}  // namespace platform::ui
