#include "client/ui/PaneSizeStore.h"

#include "client/document/CBrannockApp.h"
#include "client/rules/PaneLayout.h"

namespace PaneSizeStore {

void Store(CBrannockApp& app, const QSize& size, Setter setWidth, Setter setHeight) {
  if (size.width() == 0 || size.height() == 0 || !PaneLayout::MayStorePaneSizes()) return;
  platform::CriticalSection::Lock lock(app.GetProfileLock());
  if (UserProfile* user = app.GetCurrentUser()) {
    (user->*setWidth)(size.width());
    (user->*setHeight)(size.height());
  }
}

}  // namespace PaneSizeStore
