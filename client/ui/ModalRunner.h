#pragma once
// Every modal dialog and every drag of the client runs through here. A program runs
// them for real; a test queues scripts first. A dialog script is called once the
// dialog's own event loop runs and acts through the dialog's controls (types into
// its fields, clicks its buttons); a drag script stands in for the user's drag and
// returns the action the drop ended with. Message boxes go through platform::Notify.
#include <QString>
#include <Qt>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class QDialog;
class QDrag;

class ModalRunner {
 public:
  using DialogScript = std::function<void(QDialog& dialog)>;
  using DragScript = std::function<Qt::DropAction(QDrag& drag)>;

  // Runs `dialog` modally and returns its result code. With a script queued, the
  // script runs inside the dialog's loop; in scripted mode a dialog that finds no
  // script, or that its script left open, is rejected and its object name recorded.
  static int Exec(QDialog& dialog);
  // Runs the drag; in scripted mode the next drag script answers (none: IgnoreAction).
  static Qt::DropAction ExecDrag(QDrag& drag, Qt::DropActions supported, Qt::DropAction preferred);

  // Tests: scripted mode on (scripts are consumed in order) or off (all cleared).
  static void SetScripted(bool scripted);
  static bool IsScripted();
  // `expectedName`, when not empty, is the object name the dialog must have; a
  // mismatch rejects the dialog and is recorded.
  static void QueueDialog(DialogScript script, const QString& expectedName = QString());
  static void QueueDrag(DragScript script);
  static int PendingScripts();
  // Object names of dialogs rejected for want of a (matching) script, or left open.
  static std::vector<std::string> Unscripted();
  // The object names of every dialog run so far in scripted mode, in order.
  static std::vector<std::string> Shown();
};
