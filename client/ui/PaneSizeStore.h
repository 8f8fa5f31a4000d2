#pragma once
// Each pane of a library window stores its own size in the current user's profile
// whenever it is resized, so that the next library window (and the next start)
// splits the same way.
#include <QSize>

class CBrannockApp;
class UserProfile;

namespace PaneSizeStore {

using Setter = void (UserProfile::*)(int);

// Stores `size` through the profile's `setWidth` and `setHeight`; nothing for an
// empty size, or while sizes may not be stored (PaneLayout::MayStorePaneSizes).
void Store(CBrannockApp& app, const QSize& size, Setter setWidth, Setter setHeight);

}  // namespace PaneSizeStore
