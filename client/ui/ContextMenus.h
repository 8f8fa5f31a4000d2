#pragma once
// The context menus of the library window's three panes, built from one table: each
// line puts one command (or a separator) in one pane's menu, in order. An item shows
// only where the pane handles the command and the window names it; it is enabled,
// checked and named as the pane's own rules say at that moment, as the menu bar's is.
#include <QString>
#include <functional>

#include "client/rules/OperationTargets.h"

class CommandTarget;
class QMenu;

namespace ContextMenus {

using Pane = OperationTargets::Pane;

// Fills `menu` with the pane's items; `text` gives a command's menu text ("" when
// the window does not carry it) and choosing an item calls `run` with its command.
void Fill(QMenu& menu, Pane pane, CommandTarget& target, const std::function<QString(int)>& text,
          const std::function<void(int)>& run);

}  // namespace ContextMenus
