#include "server/ui/CCheckOutControlDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "platform/Notifier.h"
#include "platform/ui/WindowPlacement.h"
#include "server/store/CWexmoorDoc.h"

CCheckOutControlDlg::CCheckOutControlDlg(CWexmoorDoc& document, QWidget* parent)
    : QDialog(parent), document_(document) {
  setWindowTitle("Check-out Control");
  onlyLatest_ = new QCheckBox("Only allow latest version check-out", this);
  onlyLatest_->setObjectName("onlyLatest");
  onlyLatest_->setWhatsThis("When ticked, only the latest version of a document can be checked out.");
  onlyLatest_->setChecked(document_.IsOnlyLatestCheckOut());
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CCheckOutControlDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CCheckOutControlDlg::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(onlyLatest_);
  layout->addWidget(buttons);
  platform::ui::FinishDialog(*this);
}

void CCheckOutControlDlg::accept() {
  const bool before = document_.IsOnlyLatestCheckOut();
  document_.SetOnlyLatestCheckOut(onlyLatest_->isChecked());
  if (!document_.SaveRootPath()) {
    document_.SetOnlyLatestCheckOut(before);
    platform::NotifyText("Failed to save the check-out setting to disk", platform::NotifyIcon::Error);
    return;
  }
  QDialog::accept();
}
