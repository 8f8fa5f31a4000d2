#pragma once
// Window placement and sizes shared by the programs.
#include <QSize>
#include <QString>

class QLineEdit;
class QWidget;

namespace platform::ui {

// Three quarters of `window`'s screen's free area, or its size hint when larger, at
// most the free area; the size hint alone without a screen.
QSize DefaultSize(const QWidget& window);

// Shows `window` maximised, with a restored size of DefaultSize, so that
// un-maximising leaves a window that still shows its contents.
void ShowMaximized(QWidget& window);

// Room in a title bar besides the caption: icon and buttons.
inline constexpr int kTitleBarExtra = 120;
// How much larger than the window's font a title bar's font may be.
inline constexpr double kTitleFontScale = 1.2;

// The width `window`'s title bar needs to show its whole title: window managers draw
// titles in a bolder, larger font than the window's own.
int TitleBarWidth(const QWidget& window);

// Makes `window`'s layout at least as wide as its title bar needs to show the whole
// title, so that its size hint and minimum size never cut the title.
void FitTitle(QWidget& window);

// The last step of making a dialog: its title fits (FitTitle), Tab follows its layout
// (FollowLayoutTabOrder), and the control with the focus shows it from the first
// showing, not only after a Tab.
void FinishDialog(QWidget& dialog);

// Makes `field` at least wide enough to show `text` whole.
void WidenToShow(QLineEdit& field, const QString& text);

// Saves `window` as a PNG at `path`. A window asked to be maximised that a missing
// window manager left smaller is first given its screen's whole free area. False
// when the file was not written.
bool GrabWindow(QWidget& window, const QString& path);

}  // namespace platform::ui
