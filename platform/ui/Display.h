#pragma once
// Whether a Qt window can be shown: a platform chosen in QT_QPA_PLATFORM, or an X11
// or Wayland display named in the environment. Asked before a QApplication exists.
namespace platform::ui {

bool HasDisplay();

}  // namespace platform::ui
