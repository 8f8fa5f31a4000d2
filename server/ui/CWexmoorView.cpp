#include "server/ui/CWexmoorView.h"

#include <QFontMetrics>
#include <QPainter>

#include "server/ui/ConsoleLayout.h"

CWexmoorView::CWexmoorView(ConsoleRuntime& runtime, QWidget* parent) : QWidget(parent), runtime_(&runtime) {
  setObjectName("CWexmoorView");
  setAutoFillBackground(true);
  timer_.setInterval(kTimerPeriodMs);
  connect(&timer_, &QTimer::timeout, this, &CWexmoorView::OnTimer);
}

void CWexmoorView::OnInitialUpdate() {
  if (runtime_ == nullptr) return;
  snapshot_ = runtime_->Current();
  timer_.start();
  update();
}

void CWexmoorView::OnTimer() {
  if (runtime_ == nullptr) return;
  snapshot_ = runtime_->Refresh();
  update();
}

void CWexmoorView::StopTimer() {
  timer_.stop();
  runtime_ = nullptr;
}

void CWexmoorView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int ascent = QFontMetrics(font()).ascent();
  for (const ConsoleTextPosition& text : ConsoleLayout::LayOut(snapshot_)) {
    painter.drawText(text.x, text.y + ascent, QString::fromStdString(text.text));
  }
}
