#include "platform/ui/QtNotifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QString>
#include <QThread>

namespace platform::ui {
namespace {

QMessageBox::Icon ToQtIcon(NotifyIcon icon) {
  switch (icon) {
    case NotifyIcon::Information: return QMessageBox::Information;
    case NotifyIcon::Warning: return QMessageBox::Warning;
    case NotifyIcon::Error: return QMessageBox::Critical;
    case NotifyIcon::Question: return QMessageBox::Question;
    case NotifyIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(NotifyButtons buttons) {
  switch (buttons) {
    case NotifyButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case NotifyButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case NotifyButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case NotifyButtons::SaveDiscardCancel: return QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
    case NotifyButtons::Ok: break;
  }
  return QMessageBox::Ok;
}

// The answer of a box that is closed without pressing a button.
NotifyAnswer EscapeAnswer(NotifyButtons buttons) {
  switch (buttons) {
    case NotifyButtons::OkCancel:
    case NotifyButtons::YesNoCancel:
    case NotifyButtons::SaveDiscardCancel: return NotifyAnswer::Cancel;
    case NotifyButtons::YesNo: return NotifyAnswer::No;
    case NotifyButtons::Ok: break;
  }
  return NotifyAnswer::Ok;
}

QMessageBox::StandardButton ToQtButton(NotifyAnswer answer) {
  switch (answer) {
    case NotifyAnswer::Cancel: return QMessageBox::Cancel;
    case NotifyAnswer::Yes: return QMessageBox::Yes;
    case NotifyAnswer::No: return QMessageBox::No;
    case NotifyAnswer::Ok: break;
  }
  return QMessageBox::Ok;
}

NotifyAnswer FromQtButton(QAbstractButton* pressed, const QMessageBox& box, NotifyButtons buttons) {
  switch (box.standardButton(pressed)) {
    case QMessageBox::Ok: return NotifyAnswer::Ok;
    case QMessageBox::Cancel: return NotifyAnswer::Cancel;
    case QMessageBox::Yes:
    case QMessageBox::Save: return NotifyAnswer::Yes;
    case QMessageBox::No:
    case QMessageBox::Discard: return NotifyAnswer::No;
    default: return EscapeAnswer(buttons);
  }
}

NotifyAnswer ShowOnThisThread(const Notification& notification) {
  const std::unique_ptr<QMessageBox> box = MakeMessageBox(notification, QApplication::activeWindow());
  box->exec();
  return FromQtButton(box->clickedButton(), *box, notification.buttons);
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(const Notification& notification, QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(ToQtIcon(notification.icon), QString::fromStdString(notification.caption),
                                           QString::fromStdString(notification.text),
                                           ToQtButtons(notification.buttons), parent);
  box->setEscapeButton(ToQtButton(EscapeAnswer(notification.buttons)));
  // A question is answered by Enter as by Escape: with No (or Cancel), never by accident with Yes.
  if (notification.buttons == NotifyButtons::YesNo || notification.buttons == NotifyButtons::YesNoCancel) {
    box->setDefaultButton(ToQtButton(EscapeAnswer(notification.buttons)));
  } else if (notification.buttons == NotifyButtons::SaveDiscardCancel) {
    box->setDefaultButton(QMessageBox::Save);  // keeps the typed work
  }
  return box;
}

NotifyAnswer ShowMessageBox(const Notification& notification) {
  QCoreApplication* application = QCoreApplication::instance();
  if (qobject_cast<QApplication*>(application) == nullptr) return EscapeAnswer(notification.buttons);
  if (QThread::currentThread() == application->thread()) return ShowOnThisThread(notification);

  NotifyAnswer answer = EscapeAnswer(notification.buttons);
  QMetaObject::invokeMethod(
      application, [&] { answer = ShowOnThisThread(notification); }, Qt::BlockingQueuedConnection);
  return answer;
}

void InstallQtNotifier() { SetNotifyHandler(ShowMessageBox); }

}  // namespace platform::ui
