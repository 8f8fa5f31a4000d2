#pragma once
// The progress dialog's moving picture: a sheet travelling from the library to a
// folder, over and over, while the dialog works. Drawn here; no video file.
#include <QTimer>
#include <QWidget>

class ProgressAnimation : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kFrames = 12;

  explicit ProgressAnimation(QWidget* parent = nullptr);

  // Plays from the first frame, repeating without end.
  void Start();
  void Stop();
  bool IsPlaying() const { return timer_.isActive(); }
  int GetFrame() const { return frame_; }
  // The next frame, as the timer shows it.
  void Advance();

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QTimer timer_;
  int frame_ = 0;
};
