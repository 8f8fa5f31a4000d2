#pragma once
// The keyboard in the programs' dialogs: Tab goes through the controls in the order
// their layout shows them, and Enter presses the focused push button, whether or
// not it is a default button.
class QKeyEvent;
class QWidget;

namespace platform::ui {

// Sets the Tab order of `window`'s controls to its layout's order: boxes in their
// direction, grids and forms row by row, each group's controls where the group stands.
// Controls outside any layout keep their place.
void FollowLayoutTabOrder(QWidget& window);

// Enter or Return while a push button of `window` has the focus: clicks it and returns
// true. A button that is not a default button would otherwise leave the key to the
// dialog, which pressed its default button or nothing.
bool PressFocusedButton(QWidget& window, const QKeyEvent& event);

}  // namespace platform::ui
