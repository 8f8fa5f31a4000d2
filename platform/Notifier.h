#pragma once
// Messages for the user (the message boxes of the programs). Headless programs
// print them on standard error, the Qt programs install a real box, tests install a
// recorder that answers without blocking.
#include <functional>
#include <string>

namespace platform {

enum class NotifyIcon { None, Information, Warning, Error, Question };
// SaveDiscardCancel answers Yes for Save and No for Discard.
enum class NotifyButtons { Ok, OkCancel, YesNo, YesNoCancel, SaveDiscardCancel };
enum class NotifyAnswer { Ok, Cancel, Yes, No };

// Whether the box asks a question that Yes answers (the answer of the default handlers).
inline bool IsAnsweredByYes(NotifyButtons buttons) {
  return buttons == NotifyButtons::YesNo || buttons == NotifyButtons::YesNoCancel ||
         buttons == NotifyButtons::SaveDiscardCancel;
}

struct Notification {
  std::string text;
  std::string caption;
  NotifyIcon icon = NotifyIcon::None;
  NotifyButtons buttons = NotifyButtons::Ok;
};

using NotifyHandler = std::function<NotifyAnswer(const Notification&)>;

// Shows (or logs) a message and returns the user's answer. The default handler
// writes "caption: text" to standard error and answers Ok / Yes.
NotifyAnswer Notify(const Notification& notification);
// Shorthand for an information box with an OK button.
void NotifyText(const std::string& text, NotifyIcon icon = NotifyIcon::Information);

// Installs a handler for the whole process; null restores the default.
void SetNotifyHandler(NotifyHandler handler);

}  // namespace platform
