#include "server/admin/SettingsSave.h"

#include "platform/Notifier.h"
#include "server/admin/UserAdministration.h"
#include "server/store/CWexmoorDoc.h"

bool SaveSettingsChange(CWexmoorDoc& document,
                        const std::function<std::function<void(ServerSettings&)>(ServerSettings&)>& change,
                        bool tellUser) {
  bool saved = false;
  {
    platform::CriticalSection::Lock hold(document.GetUserTableSection());
    ServerSettings& settings = document.GetSettings();
    const std::function<void(ServerSettings&)> undo = change(settings);
    saved = settings.SaveUsers(document.GetRootPath());
    if (!saved) undo(settings);
  }
  if (!saved && tellUser) platform::NotifyText(UserAdministration::kSaveFailedText, platform::NotifyIcon::Error);
  return saved;
}
