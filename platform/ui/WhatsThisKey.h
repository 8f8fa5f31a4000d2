#pragma once
// F1 inside a dialog: shows the what's-this text of the control that has the
// focus (or of its nearest ancestor that has one) beside that control.
#include <QString>

class QWidget;

namespace platform::ui {

class WhatsThisKey {
 public:
  // Makes F1 in `dialog`'s window show the focused control's text.
  static void Install(QWidget* dialog);
  // The text F1 shows now; empty when no focused control (or ancestor below the
  // dialog) has one.
  static QString TextForFocus(QWidget* dialog);
};

}  // namespace platform::ui
