#include "server/ui/CWexmoorView.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

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
  UpdateExtent();
  timer_.start();
  update();
  emit refreshed();
}

void CWexmoorView::OnTimer() {
  if (runtime_ == nullptr) return;
  snapshot_ = runtime_->Refresh();
  UpdateExtent();
  update();
  emit refreshed();
}

void CWexmoorView::StopTimer() {
  timer_.stop();
  runtime_ = nullptr;
}

void CWexmoorView::UpdateExtent() {
  const QFontMetrics metrics(font());
  int right = 0;
  int bottom = 0;
  for (const ConsoleTextPosition& text : ConsoleLayout::LayOut(snapshot_)) {
    right = std::max(right, text.x + metrics.horizontalAdvance(QString::fromStdString(text.text)));
    bottom = std::max(bottom, text.y + metrics.height());
  }
  setMinimumSize(right + ConsoleLayout::kLeft, bottom + ConsoleLayout::kTop);
}

void CWexmoorView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int ascent = QFontMetrics(font()).ascent();
  for (const ConsoleTextPosition& text : ConsoleLayout::LayOut(snapshot_)) {
    painter.drawText(text.x, text.y + ascent, QString::fromStdString(text.text));
  }
}
