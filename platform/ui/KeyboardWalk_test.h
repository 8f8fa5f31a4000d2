#pragma once
// What a keyboard user meets in a window, for the programs' window tests: the order
// Tab visits a dialog's controls, and the menu items that lack an access key or share
// one within their menu.
#include <QAbstractButton>
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

namespace platform::ui {

// `window`'s controls in the order Tab visits them (disabled and hidden ones too,
// where they stand), each by its object name, else a button by its text, else by its
// class; a compound control counts once, as the control that takes its focus.
inline std::vector<std::string> TabChain(QWidget& window) {
  std::vector<std::string> names;
  for (QWidget* widget = window.nextInFocusChain(); widget != &window; widget = widget->nextInFocusChain()) {
    if (!window.isAncestorOf(widget) || (widget->focusPolicy() & Qt::TabFocus) == 0 ||
        widget->focusProxy() != nullptr) {
      continue;
    }
    QString name = widget->objectName();
    if (const auto* button = qobject_cast<QAbstractButton*>(widget); name.isEmpty() && button != nullptr) {
      name = button->text();
    }
    names.push_back((name.isEmpty() ? QString(widget->metaObject()->className()) : name).toStdString());
  }
  return names;
}

// "menu: item" for every item of `bar`'s menus (and for every menu title) without an
// access key or with one another item of its menu already has.
inline std::vector<std::string> AccessKeyFaults(const QMenuBar& bar) {
  std::vector<std::string> faults;
  const auto check = [&faults](const QList<QAction*>& actions, const QString& where) {
    std::map<int, QString> taken;
    for (const QAction* action : actions) {
      if (action->isSeparator() || !action->isVisible()) continue;
      const QKeySequence key = QKeySequence::mnemonic(action->text());
      const QString name = where + ": " + action->text();
      if (key.isEmpty()) {
        faults.push_back((name + " has no access key").toStdString());
      } else if (!taken.emplace(key[0].toCombined(), action->text()).second) {
        faults.push_back((name + " shares its key with " + taken[key[0].toCombined()]).toStdString());
      }
    }
  };
  check(bar.actions(), "menu bar");
  for (const QAction* title : bar.actions()) {
    if (title->menu() != nullptr) check(title->menu()->actions(), title->text());
  }
  return faults;
}

}  // namespace platform::ui
