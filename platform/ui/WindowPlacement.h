#pragma once
// Main-window placement shared by the programs.
#include <QString>

class QWidget;

namespace platform::ui {

// Shows `window` maximised, with a restored size of three quarters of its screen's
// free area so that un-maximising leaves a window that still shows its contents.
void ShowMaximized(QWidget& window);

// Saves `window` as a PNG at `path`. A window asked to be maximised that a missing
// window manager left smaller is first given its screen's whole free area. False
// when the file was not written.
bool GrabWindow(QWidget& window, const QString& path);

}  // namespace platform::ui
