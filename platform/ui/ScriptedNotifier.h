#pragma once
// A Notifier handler for tests: it shows nothing and never blocks. It records
// every Notification it receives and answers with the answers queued in advance,
// in order; with none queued it answers like the standard-error default (Yes for
// a Yes/No box, else Ok).
#include <deque>
#include <mutex>
#include <vector>

#include "platform/Notifier.h"

namespace platform::ui {

class ScriptedNotifier {
 public:
  // Installs itself as the process's handler; the destructor restores the default.
  ScriptedNotifier();
  ~ScriptedNotifier();
  ScriptedNotifier(const ScriptedNotifier&) = delete;
  ScriptedNotifier& operator=(const ScriptedNotifier&) = delete;

  // The answer to give to the next message that finds no earlier answer queued.
  void QueueAnswer(NotifyAnswer answer);
  // Every message received so far, oldest first.
  std::vector<Notification> Received() const;

  // The handler itself; safe to call from several threads.
  NotifyAnswer Answer(const Notification& notification);

 private:
  mutable std::mutex mutex_;
  std::deque<NotifyAnswer> answers_;
  std::vector<Notification> received_;
};

}  // namespace platform::ui
