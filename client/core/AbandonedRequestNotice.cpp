#include "client/core/AbandonedRequestNotice.h"

#include "platform/Notifier.h"

bool AbandonedRequestNotice::TellUser() {
  if (!noted_.exchange(false)) return false;
  platform::NotifyText(kText, platform::NotifyIcon::Warning);
  return true;
}
