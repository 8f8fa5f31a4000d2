#include "client/ui/CCompareProgramDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CCompareProgramDlg::CCompareProgramDlg(const std::string& setting, const std::string& found, QWidget* parent)
    : ClientDialog("CCompareProgramDlg", kDialogId, "Compare program", parent),
      edit_(new QLineEdit(QString::fromStdString(setting), this)),
      found_(new QLabel(this)),
      setting_(setting) {
  auto* label = new QLabel("&Program that compares documents which are not text (the two files follow):", this);
  label->setBuddy(edit_);
  SetControlHelp(edit_, 1001,
                 "A program and any arguments of its own, such as /usr/bin/meld. Leave it blank to use a compare "
                 "program found on this computer.");
  edit_->setMinimumWidth(fontMetrics().averageCharWidth() * 60);
  found_->setObjectName("FoundProgram");
  found_->setText(found.empty() ? QString("No compare program was found on this computer; type the one to use.")
                                : QString("Left blank, this one is used: %1").arg(QString::fromStdString(found)));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(edit_);
  layout->addWidget(found_);
  layout->addWidget(MakeButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
}

void CCompareProgramDlg::accept() {
  setting_ = edit_->text().trimmed().toStdString();
  ClientDialog::accept();
}

bool CCompareProgramDlg::HasTypedInput() const { return edit_->text().trimmed().toStdString() != setting_; }
