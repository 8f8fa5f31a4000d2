#pragma once
// The Notifier handler of the Qt programs: every message becomes a modal
// QMessageBox with the given caption, text, icon and buttons, and the button the
// user pressed becomes the answer.
#include <memory>

#include "platform/Notifier.h"

class QMessageBox;
class QWidget;

namespace platform::ui {

// The box ShowMessageBox shows for `notification`, not yet shown.
std::unique_ptr<QMessageBox> MakeMessageBox(const Notification& notification, QWidget* parent);

// Shows the box and waits for the user. Callable from any thread: a call from
// another thread blocks until the GUI thread has shown the box and been answered,
// so the GUI thread must not be waiting for the caller. Closing the box with
// Escape answers Cancel, or No for a Yes/No box, or Ok for an OK box; in a Yes/No
// (and Yes/No/Cancel) box that answer is also the default button. Without a
// QApplication nothing is shown and that same answer is given.
NotifyAnswer ShowMessageBox(const Notification& notification);

// Makes ShowMessageBox the handler of platform::Notify for the whole process.
void InstallQtNotifier();

}  // namespace platform::ui
