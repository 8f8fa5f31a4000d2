#include "server/ui/ServerNotifier.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include "platform/ui/QtNotifier.h"

platform::NotifyAnswer ServerNotifier::EscapeAnswer(platform::NotifyButtons buttons) {
  switch (buttons) {
    case platform::NotifyButtons::OkCancel:
    case platform::NotifyButtons::YesNoCancel:
    case platform::NotifyButtons::SaveDiscardCancel: return platform::NotifyAnswer::Cancel;
    case platform::NotifyButtons::YesNo: return platform::NotifyAnswer::No;
    case platform::NotifyButtons::Ok: break;
  }
  return platform::NotifyAnswer::Ok;
}

void ServerNotifier::Install(ShowBox show) {
  if (!show) show = platform::ui::ShowMessageBox;
  platform::SetNotifyHandler([show](platform::Notification notification) {
    if (notification.caption.empty()) notification.caption = kCaption;
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return EscapeAnswer(notification.buttons);
    if (QThread::currentThread() == application->thread()) return show(notification);
    // The user-interface thread may itself be waiting for this thread (at shutdown),
    // so the asker must never wait for the box.
    QMetaObject::invokeMethod(application, [show, notification] { show(notification); }, Qt::QueuedConnection);
    return EscapeAnswer(notification.buttons);
  });
}
