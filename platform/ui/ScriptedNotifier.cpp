#include "platform/ui/ScriptedNotifier.h"

namespace platform::ui {

ScriptedNotifier::ScriptedNotifier() {
  SetNotifyHandler([this](const Notification& notification) { return Answer(notification); });
}

ScriptedNotifier::~ScriptedNotifier() { SetNotifyHandler(nullptr); }

void ScriptedNotifier::QueueAnswer(NotifyAnswer answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(answer);
}

std::vector<Notification> ScriptedNotifier::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

NotifyAnswer ScriptedNotifier::Answer(const Notification& notification) {
  std::lock_guard<std::mutex> lock(mutex_);
  received_.push_back(notification);
  if (!answers_.empty()) {
    const NotifyAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  return IsAnsweredByYes(notification.buttons) ? NotifyAnswer::Yes : NotifyAnswer::Ok;
}

}  // namespace platform::ui
