#include "server/ui/CServerAddressDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/Notifier.h"
#include "platform/ui/WindowPlacement.h"
#include "server/store/CWexmoorDoc.h"
#include "server/ui/SettingsSave.h"

namespace {

constexpr int kNotANumber = -1;
constexpr int kTooLarge = -2;
constexpr int kMaxPort = 65535;

constexpr const char* kPortRule = "\n\nServer Port: a port is a whole number from 1 to 65535";

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

int CServerAddressDlg::ParsePort(const std::string& text) {
  if (text.empty()) return kNotANumber;
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return kNotANumber;
    value = value * 10 + (c - '0');
    if (value > kMaxPort) return kTooLarge;
  }
  return static_cast<int>(value);
}

void CServerAddressDlg::accept() {
  const int port = ParsePort(port_->text().trimmed().toStdString());
  const std::string address = address_->text().trimmed().toStdString();
  if (port == kNotANumber) return Refuse(std::string("Please enter a positive integer.") + kPortRule);
  if (address.empty()) return Refuse("You must specify an IP Address");
  if (port == 0) return Refuse(std::string("Server Port must have a value greater than zero") + kPortRule);
  if (port == kTooLarge) return Refuse(std::string("Server Port must have a value no greater than 65535") + kPortRule);
  const bool saved = SaveSettingsChange(document_, [&address, port](ServerSettings& settings) {
    const std::string oldAddress = settings.GetServerAddress();
    const int oldPort = settings.GetPort();
    settings.SetServerAddress(address);
    settings.SetPort(port);
    return [oldAddress, oldPort](ServerSettings& undo) {
      undo.SetServerAddress(oldAddress);
      undo.SetPort(oldPort);
    };
  });
  if (!saved) return;
  if (port != listeningPort_) {
    platform::NotifyText("Wexmoor listens on port " + std::to_string(port) +
                         " from its next start; until then it keeps port " + std::to_string(listeningPort_) +
                         ".\nCertificates written from now on carry port " + std::to_string(port) +
                         ": restart Wexmoor before handing them out.");
  }
  QDialog::accept();
}
