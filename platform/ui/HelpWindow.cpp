#include "platform/ui/HelpWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <algorithm>

namespace platform::ui {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kMinWidth = 320;

QUrl& Page() {
  static QUrl page;
  return page;
}

// Beside `owner`, on the side with more room, narrowed to that room down to a
// readable width, so that the help does not cover the window it explains; over
// its right edge only on a screen too small for that.
void PlaceBeside(QWidget& help, const QWidget& owner) {
  const QScreen* screen = owner.screen() != nullptr ? owner.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect free = screen->availableGeometry();
  const QRect beside = owner.frameGeometry();
  const int top = std::clamp(beside.top(), free.top(), std::max(free.top(), free.bottom() - kHeight));
  const int right = free.right() - beside.right();
  const int left = beside.left() - free.left();
  const int width = std::min(kWidth, std::max(right, left));
  if (width < kMinWidth) {
    help.move(free.right() - kWidth, top);
    return;
  }
  help.resize(width, kHeight);
  help.move(right >= left ? beside.right() + 1 : beside.left() - width, top);
}

}  // namespace

HelpWindow::HelpWindow(QWidget* topLevel) : QTextBrowser(topLevel) {
  setWindowFlag(Qt::Window);
  setObjectName("HelpWindow");
  resize(kWidth, kHeight);
  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  close->setContext(Qt::WindowShortcut);
  connect(close, &QShortcut::activated, this, &QWidget::close);
}

void HelpWindow::SetPage(const QUrl& page) { Page() = page; }

HelpWindow* HelpWindow::Find(QWidget* owner) {
  if (owner == nullptr) return nullptr;
  return owner->window()->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
}

HelpWindow* HelpWindow::ShowTopic(QWidget* owner, int topic) {
  if (Page().isEmpty()) return nullptr;
  HelpWindow* help = Find(owner);
  if (help == nullptr) {
    help = new HelpWindow(owner != nullptr ? owner->window() : nullptr);
    if (owner != nullptr) PlaceBeside(*help, *owner->window());
  }
  QUrl url = Page();
  url.setFragment(QString("topic%1").arg(topic));
  help->topic_ = topic;
  help->setSource(url);
  help->setWindowTitle(help->documentTitle());
  help->show();
  help->raise();
  return help;
}

}  // namespace platform::ui
