#include "platform/Notifier.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

std::mutex handlerMutex;
NotifyHandler installedHandler;

NotifyAnswer WriteToStandardError(const Notification& notification) {
  if (notification.caption.empty()) {
    std::fprintf(stderr, "%s\n", notification.text.c_str());
  } else {
    std::fprintf(stderr, "%s: %s\n", notification.caption.c_str(), notification.text.c_str());
  }
  std::fflush(stderr);
  return IsAnsweredByYes(notification.buttons) ? NotifyAnswer::Yes : NotifyAnswer::Ok;
}

}  // namespace

NotifyAnswer Notify(const Notification& notification) {
  NotifyHandler handler;
  {
    std::lock_guard<std::mutex> lock(handlerMutex);
    handler = installedHandler;
  }
  return handler ? handler(notification) : WriteToStandardError(notification);
}

void NotifyText(const std::string& text, NotifyIcon icon) {
  Notification notification;
  notification.text = text;
  notification.icon = icon;
  Notify(notification);
}

void SetNotifyHandler(NotifyHandler handler) {
  std::lock_guard<std::mutex> lock(handlerMutex);
  installedHandler = std::move(handler);
}

}  // namespace platform
