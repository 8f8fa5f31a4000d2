#include "client/ui/CRenameDlg.h"

#include <QLineEdit>
#include <QVBoxLayout>

#include "common/NameValidation.h"
#include "platform/Notifier.h"

CRenameDlg::CRenameDlg(QWidget* parent)
    : ClientDialog("CRenameDlg", kDialogId, "Rename folder or document", parent), edit_(new QLineEdit(this)) {
  SetControlHelp(edit_, 1002, "The new name; it becomes a file or folder name on every client.");
  edit_->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(edit_);
  layout->addWidget(MakeButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
}

void CRenameDlg::SetName(const std::string& name) {
  name_ = name;
  edit_->setText(QString::fromStdString(name));
  edit_->selectAll();
}

void CRenameDlg::accept() {
  const std::string name = edit_->text().trimmed().toStdString();
  if (name.empty()) {
    platform::NotifyText(kBlankName, platform::NotifyIcon::Warning);
    return;
  }
  if (!IsValidStoredName(name)) {
    platform::NotifyText(UnusableNameText(name), platform::NotifyIcon::Warning);
    return;
  }
  name_ = name;
  ClientDialog::accept();
}

std::string CRenameDlg::UnusableNameText(const std::string& name) {
  return std::string(kUnusableName) + "\n" + StoredNameProblem(name);
}

bool CRenameDlg::HasTypedInput() const { return edit_->text().toStdString() != name_; }
