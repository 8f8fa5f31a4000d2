#include "server/ui/CSetLibraryNameDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/Notifier.h"
#include "platform/ui/WindowPlacement.h"
#include "server/admin/RunningServer.h"
#include "server/admin/ServerValues.h"
#include "server/store/CWexmoorDoc.h"

namespace {

// Room for a name of this many average characters, whatever the current name.
constexpr int kShownCharacters = 40;

}  // namespace

CSetLibraryNameDlg::CSetLibraryNameDlg(CWexmoorDoc& document, QWidget* parent)
    : QDialog(parent), document_(document) {
  setWindowTitle("Set Library Name");
  name_ = new QLineEdit(QString::fromStdString(document_.GetSettings().GetLibraryName()), this);
  name_->setObjectName("libraryName");
  name_->setWhatsThis("The name of the library as every client shows it; clients make a folder of it.");
  auto* form = new QFormLayout;
  platform::ui::WidenToShow(*name_, name_->text());
  platform::ui::WidenToShow(*name_, QString(kShownCharacters, 'x'));
  name_->setCursorPosition(0);
  form->addRow("&Library name ", name_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSetLibraryNameDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CSetLibraryNameDlg::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  platform::ui::FinishDialog(*this);
}

void CSetLibraryNameDlg::accept() {
  const std::string name = name_->text().trimmed().toStdString();
  if (const std::string refusal = ServerValues::LibraryNameRefusal(name); !refusal.empty()) {
    platform::NotifyText(refusal, platform::NotifyIcon::Warning);
    return;
  }
  if (!ServerValues::SaveLibraryName(document_, name)) return;
  if (recorder_ != nullptr) recorder_->RecordChange("The library is named " + name);
  QDialog::accept();
}
