#include "client/ui/CCommentsDlg.h"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

CCommentsDlg::CCommentsDlg(QWidget* parent)
    : ClientDialog("CCommentsDlg", kDialogId, "Add / Check-in Comments", parent),
      edit_(new QPlainTextEdit(this)) {
  SetControlHelp(edit_, 1069,
                 "Your remarks on the documents; they are kept with the versions in the library. Tab goes on "
                 "to the buttons; Ctrl+Enter confirms.");
  auto* group = new QGroupBox("Your comments and remarks", this);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(edit_);

  QDialogButtonBox* buttons = MakeButtonBox();
  // Enter inside the text breaks the line; the edit takes the key before the default button.
  AddButton(*buttons, 1070, "OK", QDialogButtonBox::AcceptRole)->setDefault(true);
  AddButton(*buttons, 1071, "Cancel", QDialogButtonBox::RejectRole);
  // Tab leaves the text for the buttons, and Ctrl+Enter confirms from inside it.
  edit_->setTabChangesFocus(true);
  edit_->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(buttons);
  edit_->setFocus();
}

void CCommentsDlg::SetComments(const std::string& comments) {
  comments_ = comments;
  edit_->setPlainText(QString::fromStdString(comments));
}

bool CCommentsDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
      accept();
      return true;
    }
  }
  return ClientDialog::eventFilter(watched, event);
}

void CCommentsDlg::accept() {
  comments_ = edit_->toPlainText().toStdString();
  ClientDialog::accept();
}

bool CCommentsDlg::HasTypedInput() const {
  return edit_->toPlainText().toStdString() != comments_;
}
