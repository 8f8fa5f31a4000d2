#pragma once
// The base of every dialog of the client: its caption, help for each control (F1
// and the title bar's what's-this button show a control's text; F1 where no control
// has one opens the dialog's help topic) and a button row whose extra buttons end
// the dialog through accept() or reject(), so that a dialog checks its fields in
// accept() alone. Labels get no help. Tab follows the layout; Enter presses the
// focused button.
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QString>

class ClientDialog : public QDialog {
  Q_OBJECT

 public:
  // `dialogId` names the dialog (its help topic derives from it); the object name
  // is the class name given, so tests can find the dialog.
  ClientDialog(const QString& className, int dialogId, const QString& caption, QWidget* parent);

  // A caption that begins with the program's title ("Brannock Publisher" or
  // "Brannock", the application's name), followed by `rest`.
  static QString Caption(const QString& rest);

  // The help topic of dialog `dialogId` in the program's help page.
  static int HelpTopic(int dialogId);
  int GetHelpTopic() const { return HelpTopic(dialogId_); }

  // Names `control` by its id and gives it the help text F1 and what's-this show.
  static void SetControlHelp(QWidget* control, int id, const QString& help);

  // Adds a push button with id `id` and `text` to `buttons`, ending the dialog
  // through accept() (role AcceptRole) or reject() (RejectRole).
  QPushButton* AddButton(QDialogButtonBox& buttons, int id, const QString& text,
                         QDialogButtonBox::ButtonRole role);
  // A button row whose accepted/rejected signals run accept()/reject().
  QDialogButtonBox* MakeButtonBox(QDialogButtonBox::StandardButtons standard = QDialogButtonBox::NoButton);

  // F1 now: the focused control's text, else the dialog's help topic.
  void ShowHelp();

  // Escape, Cancel or the close button: a dialog holding typed input asks first
  // and stays when the user answers No.
  void reject() override;
  // Ends the dialog with Rejected without asking (a close the program decided).
  void Dismiss() { QDialog::reject(); }

 protected:
  // Whether the user typed something that Cancel would lose.
  virtual bool HasTypedInput() const { return false; }
  // The first showing sets the Tab order to the layout's; every showing widens the
  // dialog, when needed, so that its whole caption shows.
  void showEvent(QShowEvent* event) override;
  // Enter on a focused button presses it, default button or not.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int dialogId_;
  bool shownOnce_ = false;
};
