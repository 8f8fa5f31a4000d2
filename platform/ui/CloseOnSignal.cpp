#include "platform/ui/CloseOnSignal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <cerrno>

namespace platform::ui {

namespace {

int pipeEnds[2] = {-1, -1};

void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already holds a request: dropping this one loses nothing.
  [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
  errno = saved;
}

}  // namespace

bool CloseOnSignal::Install() {
  if (pipeEnds[0] < 0 && pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigset_t termination;
  sigemptyset(&termination);
  sigaddset(&termination, SIGINT);
  sigaddset(&termination, SIGTERM);
  pthread_sigmask(SIG_UNBLOCK, &termination, nullptr);
  return true;
}

CloseOnSignal::CloseOnSignal(QObject* parent)
    : QObject(parent), notifier_(new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this)) {
  connect(notifier_, &QSocketNotifier::activated, this, &CloseOnSignal::Drain);
}

void CloseOnSignal::Drain() {
  char bytes[64];
  while (read(pipeEnds[0], bytes, sizeof bytes) > 0) {
  }
  emit requested();
}

void CloseOnSignal::RejectModalWindows() {
  while (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
    dialog->done(QDialog::Rejected);
    if (QApplication::activeModalWidget() == dialog) break;
  }
}

}  // namespace platform::ui
