#pragma once
// Help keys inside a dialog: F1 opens the help page of the dialog, Shift+F1 starts
// what's-this mode, in which a click shows the clicked control's text instead of
// acting on it. The text of the focused control is also offered for dialogs that
// show it themselves.
#include <QString>

class QWidget;

namespace platform::ui {

class WhatsThisKey {
 public:
  // F1 in `dialog`'s window: the help window at `helpTopic`; Shift+F1: what's-this mode.
  static void Install(QWidget* dialog, int helpTopic);
  // The text of the focused control, or of its nearest ancestor below the dialog
  // that has one; empty when none has.
  static QString TextForFocus(QWidget* dialog);
};

}  // namespace platform::ui
