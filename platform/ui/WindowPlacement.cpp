#include "platform/ui/WindowPlacement.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLayout>
#include <QLineEdit>
#include <QMetaObject>
#include <QPixmap>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>
#include <QWidget>
#include <algorithm>

#include "platform/ui/DialogKeys.h"

namespace platform::ui {

QSize DefaultSize(const QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) return window.sizeHint();
  const QSize available = screen->availableGeometry().size();
  return (available * 3 / 4).expandedTo(window.sizeHint()).boundedTo(available);
}

void ShowMaximized(QWidget& window) {
  if (window.screen() != nullptr) window.resize(DefaultSize(window));
  window.showMaximized();
}

int TitleBarWidth(const QWidget& window) {
  QFont title = window.font();
  title.setBold(true);
  if (title.pointSizeF() > 0) {
    title.setPointSizeF(title.pointSizeF() * kTitleFontScale);
  } else {
    title.setPixelSize(static_cast<int>(title.pixelSize() * kTitleFontScale));
  }
  return QFontMetrics(title).horizontalAdvance(window.windowTitle()) + kTitleBarExtra;
}

void FitTitle(QWidget& window) {
  const int wanted = TitleBarWidth(window);
  if (QLayout* layout = window.layout()) {
    auto* spacer = new QSpacerItem(wanted - layout->contentsMargins().left() - layout->contentsMargins().right(), 0,
                                   QSizePolicy::Minimum, QSizePolicy::Fixed);
    // Across every column of a grid, so that no one column takes the width.
    if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
      grid->addItem(spacer, grid->rowCount(), 0, 1, grid->columnCount());
    } else {
      layout->addItem(spacer);
    }
  } else {
    window.setMinimumWidth(wanted);
  }
}

namespace {

// Qt draws focus only after a key moved it, and clears that mark when a window
// is shown or activated; the mark is set again once that has been handled.
class KeyboardFocusMark : public QObject {
 public:
  explicit KeyboardFocusMark(QWidget& window) : QObject(&window), window_(window) { window.installEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) {
      QMetaObject::invokeMethod(
          this, [this] { window_.setAttribute(Qt::WA_KeyboardFocusChange); }, Qt::QueuedConnection);
    }
    return false;
  }

 private:
  QWidget& window_;
};

}  // namespace

void FinishDialog(QWidget& dialog) {
  FitTitle(dialog);
  FollowLayoutTabOrder(dialog);
  new KeyboardFocusMark(dialog);
}

void WidenToShow(QLineEdit& field, const QString& text) {
  // The frame and the text margins on both sides, and room for the cursor.
  const int frame = 2 * field.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &field);
  const QMargins margins = field.textMargins();
  const int wanted = field.fontMetrics().horizontalAdvance(text) + frame + margins.left() + margins.right() +
                     2 * field.fontMetrics().averageCharWidth();
  field.setMinimumWidth(std::max(field.minimumWidth(), wanted));
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
