#include "platform/ui/HelpWindow.h"

namespace platform::ui {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

QUrl& Page() {
  static QUrl page;
  return page;
}

}  // namespace

HelpWindow::HelpWindow(QWidget* topLevel) : QTextBrowser(topLevel) {
  setWindowFlag(Qt::Window);
  setObjectName("HelpWindow");
  resize(kWidth, kHeight);
}

void HelpWindow::SetPage(const QUrl& page) { Page() = page; }

HelpWindow* HelpWindow::Find(QWidget* owner) {
  if (owner == nullptr) return nullptr;
  return owner->window()->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
}

HelpWindow* HelpWindow::ShowTopic(QWidget* owner, int topic) {
  if (Page().isEmpty()) return nullptr;
  HelpWindow* help = Find(owner);
  if (help == nullptr) help = new HelpWindow(owner != nullptr ? owner->window() : nullptr);
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
