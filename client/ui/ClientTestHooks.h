#pragma once
// The client's --test-hooks: commands on standard input that drive the program as
// a user would, for end-to-end tests and the screenshots. Every box is answered
// from the answers queued with "answer", and every dialog runs the script queued
// with "dialog" (ModalRunner in scripted mode); nothing waits for a person.
//
//   import PATH                  imports a certificate file
//   visit INDEX                  Visit Library, choosing the INDEXth library
//   answer ok|cancel|yes|no      the answer to the next message box
//   dialog NAME STEP...          the script of the next dialog (object name NAME);
//                                steps: set ID TEXT, check ID 0|1, row ID N, click ID,
//                                also ID N (row N joins the selection), await NAME (until a
//                                dialog NAME has run), wait SECONDS (until the dialog closes
//                                itself), wait-enabled ID SECONDS (until the control is
//                                enabled), grab PATH (the dialog over the main window, as a PNG)
//                                (ID: the control's object name, or a button's text)
//   focus tree|documents|local   gives a pane of the active library window the focus
//   select-project NAME          makes the tree's project NAME current
//   select-document NAME         makes the document list's row NAME current
//   tick-project NAME            clicks the tick box of a tree item (publication mode)
//   local-folder PATH            shows PATH in the local file list
//   tick NAME [VERSION]          clicks the tick box of a document row (or its version row)
//   select-local NAME...         selects rows of the local file list
//   command ID                   runs a command as its menu item would (error when disabled)
//   wait-idle [SECONDS]          waits until every library is logged on and has no
//                                queued batch, unanswered request or dialog
//   wait-closed [SECONDS]        waits until no library window is open
//   dump                         prints windows, commands, tree, rows, boxes, then "ok"
//   grab PATH                    maximises the main window and saves it as a PNG
//   grab-box PATH                saves the last box over the main window as a PNG
//   quit                         closes the main window in order
#include <QObject>
#include <QString>
#include <functional>
#include <ostream>
#include <string>

#include "platform/ui/LineCommands.h"
#include "platform/ui/ScriptedNotifier.h"

class CBrannockApp;
class CMainFrame;
class QTreeWidget;
class QTreeWidgetItem;

class ClientTestHooks : public QObject {
  Q_OBJECT

 public:
  ClientTestHooks(CBrannockApp& app, CMainFrame& frame, int fd, std::ostream& out, QObject* parent = nullptr);
  ~ClientTestHooks() override;

  // Runs one line as if it was read (tests).
  void Feed(const std::string& line) { commands_.Feed(line); }

 private:
  using Words = platform::ui::LineCommands::Words;
  using Reply = platform::ui::LineCommands::Reply;

  void AddCommands();
  bool QueueDialogScript(const Words& words, std::string& error);
  // The tree, document list or local list of the active library window; null when none.
  QTreeWidget* Pane(int index) const;
  static QTreeWidgetItem* FindRow(QTreeWidget& list, const QString& text, int column = 0);
  bool IsIdle() const;
  // Replies once `done` holds, checked every few milliseconds, or with `failure` after `ticksLeft` checks.
  void WaitFor(const std::function<bool()>& done, const std::string& failure, Reply reply, int ticksLeft);
  void Dump();
  bool GrabLastBox(const QString& path);
  // Saves the main window, maximised, with `window` (shown) drawn over its middle
  // under a plain title bar of the window's title.
  bool GrabOverFrame(QWidget& window, const QString& path);
  void DumpList(const char* title, QTreeWidget* list);

  CBrannockApp& app_;
  CMainFrame& frame_;
  std::ostream& out_;
  platform::ui::ScriptedNotifier boxes_;
  platform::ui::LineCommands commands_;
};
