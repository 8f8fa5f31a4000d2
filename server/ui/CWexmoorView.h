#pragma once
// The server's status console: draws the texts of the last snapshot taken from the
// running server (status lines, up time, active users, user names) at the places
// ConsoleLayout gives, and takes a fresh snapshot every 2 seconds. Drawing only
// reads the kept snapshot, so the view never touches a server that has shut down.
// Its minimum size holds every text, so a scroll area around it scrolls.
#include <QTimer>
#include <QWidget>

#include "server/ui/ConsoleRuntime.h"
#include "server/ui/ConsoleSnapshot.h"

class CWexmoorView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kTimerPeriodMs = 2000;

  // `runtime` must outlive the timer (see StopTimer).
  explicit CWexmoorView(ConsoleRuntime& runtime, QWidget* parent = nullptr);

  // The first update: takes the current texts and starts the refresh timer.
  void OnInitialUpdate();
  // The refresh: a new snapshot, then a repaint.
  void OnTimer();
  // Stops the refresh for good; afterwards the runtime is not called again.
  void StopTimer();
  bool IsTimerActive() const { return timer_.isActive(); }

  const ConsoleSnapshot& Snapshot() const { return snapshot_; }

 signals:
  // A new snapshot was taken.
  void refreshed();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The minimum size from the texts of the snapshot.
  void UpdateExtent();

  ConsoleRuntime* runtime_;
  ConsoleSnapshot snapshot_;
  QTimer timer_;
};
