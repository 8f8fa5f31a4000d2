#include "server/ui/CServerAddressDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/Notifier.h"
#include "platform/ui/WindowPlacement.h"
#include "server/admin/RunningServer.h"
#include "server/admin/ServerValues.h"
#include "server/store/CWexmoorDoc.h"

namespace {

void Refuse(const std::string& text) { platform::NotifyText(text, platform::NotifyIcon::Warning); }

}  // namespace

CServerAddressDlg::CServerAddressDlg(CWexmoorDoc& document, QWidget* parent) : QDialog(parent), document_(document) {
  setWindowTitle("Set IP Address");
  const ServerSettings& settings = document_.GetSettings();
  address_ = new QLineEdit(QString::fromStdString(settings.GetServerAddress()), this);
  address_->setObjectName("serverAddress");
  address_->setReadOnly(true);
  // Looks read-only and is skipped by Tab; a click still selects it for copying.
  address_->setFocusPolicy(Qt::ClickFocus);
  address_->setFrame(false);
  address_->setBackgroundRole(QPalette::Window);
  platform::ui::WidenToShow(*address_, address_->text());
  address_->setWhatsThis("The server's IP address, as the users' certificates carry it. It comes from this "
                         "machine's name and cannot be changed here.");
  auto* addressNote = new QLabel(
      "Taken from this machine's name. Clients on other machines set the server's address when they import "
      "a certificate.",
      this);
  addressNote->setObjectName("addressNote");
  addressNote->setWordWrap(true);
  port_ = new QLineEdit(QString::number(settings.GetPort()), this);
  port_->setObjectName("serverPort");
  port_->setWhatsThis("The port the server listens on from its next start, 1 to 65535.");
  listeningPort_ = settings.GetPort();
  auto* form = new QFormLayout;
  form->addRow("Server IP Address", address_);
  form->addRow("", addressNote);
  form->addRow("Server &Port", port_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CServerAddressDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CServerAddressDlg::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  port_->setFocus();
  platform::ui::FinishDialog(*this);
}

void CServerAddressDlg::accept() {
  const std::string address = address_->text().trimmed().toStdString();
  int port = 0;
  if (const std::string refusal = ServerValues::AddressRefusal(address, port_->text().trimmed().toStdString(), port);
      !refusal.empty()) {
    return Refuse(refusal);
  }
  if (!ServerValues::SaveAddressAndPort(document_, address, port)) return;
  if (recorder_ != nullptr) recorder_->RecordChange("Server address " + address + ", port " + std::to_string(port));
  if (const std::string notice = ServerValues::PortNotice(port, listeningPort_, listeningPort_); !notice.empty()) {
    platform::NotifyText(notice);
  }
  QDialog::accept();
}
