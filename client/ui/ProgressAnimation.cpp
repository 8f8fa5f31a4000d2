#include "client/ui/ProgressAnimation.h"

#include <QPainter>

namespace {

constexpr int kFrameMs = 100;
constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr int kBoxWidth = 24;
constexpr int kSheetWidth = 12;
constexpr int kSheetHeight = 16;

}  // namespace

ProgressAnimation::ProgressAnimation(QWidget* parent) : QWidget(parent) {
  setObjectName("1061");
  timer_.setInterval(kFrameMs);
  connect(&timer_, &QTimer::timeout, this, &ProgressAnimation::Advance);
}

void ProgressAnimation::Start() {
  frame_ = 0;
  timer_.start();
  update();
}

void ProgressAnimation::Stop() { timer_.stop(); }

void ProgressAnimation::Advance() {
  frame_ = (frame_ + 1) % kFrames;
  update();
}

QSize ProgressAnimation::sizeHint() const { return {kWidth, kHeight}; }

void ProgressAnimation::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPalette& colours = palette();
  const int base = height() / 2 + kSheetHeight / 2;

  // The library on the left, the folder on the right.
  painter.setPen(colours.color(QPalette::Dark));
  painter.setBrush(colours.color(QPalette::Mid));
  painter.drawRect(2, base - 2 * kSheetHeight, kBoxWidth - 4, 2 * kSheetHeight);
  painter.setBrush(QColor(0xe8, 0xc0, 0x50));
  const int folderLeft = width() - kBoxWidth;
  painter.drawRect(folderLeft, base - kSheetHeight, kBoxWidth - 2, kSheetHeight);
  painter.drawRect(folderLeft, base - kSheetHeight - 4, kBoxWidth / 2, 4);

  // The sheet flies along an arc between them.
  const double t = static_cast<double>(frame_) / (kFrames - 1);
  const int travel = folderLeft - kBoxWidth;
  const int x = kBoxWidth + static_cast<int>(t * (travel - kSheetWidth));
  const int lift = static_cast<int>(4.0 * t * (1.0 - t) * kSheetHeight);
  painter.setBrush(colours.color(QPalette::Base));
  painter.drawRect(x, base - kSheetHeight - lift, kSheetWidth, kSheetHeight);
  painter.drawLine(x + 3, base - kSheetHeight - lift + 5, x + kSheetWidth - 3, base - kSheetHeight - lift + 5);
  painter.drawLine(x + 3, base - kSheetHeight - lift + 9, x + kSheetWidth - 3, base - kSheetHeight - lift + 9);
}
