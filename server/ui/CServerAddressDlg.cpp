#include "server/ui/CServerAddressDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/Notifier.h"
#include "platform/ui/WindowPlacement.h"
#include "server/admin/RunningServer.h"
#include "server/admin/ServerValues.h"
#include "server/admin/TlsAdministration.h"
#include "server/store/TlsIdentityFiles.h"
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
  const std::optional<TlsSettings> tls = TlsSettings::Load(document_.GetRootPath());
  tlsMode_ = new QComboBox(this);
  tlsMode_->setObjectName("tlsMode");
  for (const TlsSettings::Mode mode : {TlsSettings::Mode::Off, TlsSettings::Mode::Optional, TlsSettings::Mode::Required}) {
    tlsMode_->addItem(TlsSettings::ModeText(mode));
  }
  tlsModeBefore_ = tls ? static_cast<int>(tls->GetMode()) : -1;
  tlsMode_->setCurrentIndex(std::max(0, tlsModeBefore_));
  tlsMode_->setWhatsThis("off: plain connections only. optional: plain on the server port and TLS on the TLS "
                         "port. required: TLS only; the server port refuses logons. A running server serves the change at once.");
  tlsPortBefore_ = tls && tls->GetPort() != 0 ? QString::number(tls->GetPort()) : QString();
  tlsPort_ = new QLineEdit(tlsPortBefore_, this);
  tlsPort_->setObjectName("tlsPort");
  tlsPort_->setPlaceholderText("server port + 1");
  tlsPort_->setWhatsThis("The port TLS connections come to, 1 to 65535; empty: the server port + 1.");
  auto* tlsNote = new QLabel(QString::fromStdString(TlsAdministration(document_).Summary()), this);
  tlsNote->setObjectName("tlsNote");
  tlsNote->setWordWrap(true);
  tlsNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* form = new QFormLayout;
  form->addRow("Server IP Address", address_);
  form->addRow("", addressNote);
  form->addRow("Server &Port", port_);
  form->addRow("&TLS", tlsMode_);
  form->addRow("TLS P&ort", tlsPort_);
  form->addRow("", tlsNote);
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
  if (tlsMode_->currentIndex() != tlsModeBefore_ || tlsPort_->text().trimmed() != tlsPortBefore_) {
    TlsAdministration tls(document_, recorder_);
    const bool on = tlsMode_->currentIndex() != static_cast<int>(TlsSettings::Mode::Off);
    if (on && !TlsIdentityFiles::Exists(document_.GetRootPath())) {
      const TlsAdministration::Outcome made = tls.MakeKey(false);
      if (!made.done) return Refuse(made.text);
      if (recorder_ != nullptr) recorder_->RecordChange(made.text);
    }
    const TlsAdministration::Outcome set =
        tls.SetMode(tlsMode_->currentText().toStdString(), tlsPort_->text().trimmed().toStdString());
    if (!set.done) return Refuse(set.text);
    if (recorder_ != nullptr) recorder_->RecordChange(set.text);
    platform::NotifyText(set.text);
    tlsModeBefore_ = tlsMode_->currentIndex();
    tlsPortBefore_ = tlsPort_->text().trimmed();
  }
  if (!ServerValues::SaveAddressAndPort(document_, address, port)) return;
  if (recorder_ != nullptr) recorder_->RecordChange("Server address " + address + ", port " + std::to_string(port));
  if (const std::string notice = ServerValues::PortNotice(port, listeningPort_, listeningPort_); !notice.empty()) {
    platform::NotifyText(notice);
  }
  QDialog::accept();
}
