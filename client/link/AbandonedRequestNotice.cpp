#include "client/link/AbandonedRequestNotice.h"

#include "platform/Notifier.h"

bool AbandonedRequestNotice::TellUser(const std::vector<std::string>& lost) {
  if (!restored_.exchange(false)) return false;
  std::string text = kText;
  for (const std::string& line : lost) text += "\n- " + line;
  platform::NotifyText(text, platform::NotifyIcon::Warning);
  return true;
}
