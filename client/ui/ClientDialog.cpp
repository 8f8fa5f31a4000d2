#include "client/ui/ClientDialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QWhatsThis>

#include "platform/Notifier.h"
#include "platform/ui/DialogKeys.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/WhatsThisKey.h"
#include "platform/ui/WindowPlacement.h"

namespace {

// Help topics of dialogs follow the dialogs' ids, above the base of resource topics.
constexpr int kResourceHelpBase = 0x20000;
constexpr const char* kDiscardQuestion = "Discard what you have typed?";

}  // namespace

ClientDialog::ClientDialog(const QString& className, int dialogId, const QString& caption,
                           QWidget* parent)
    : QDialog(parent), dialogId_(dialogId) {
  setObjectName(className);
  setWindowTitle(caption);
  setWindowFlag(Qt::WindowContextHelpButtonHint, true);
  auto* key = new QShortcut(QKeySequence(Qt::Key_F1), this);
  key->setContext(Qt::WindowShortcut);
  connect(key, &QShortcut::activated, this, &ClientDialog::ShowHelp);
}

QString ClientDialog::Caption(const QString& rest) { return QApplication::applicationName() + rest; }

int ClientDialog::HelpTopic(int dialogId) { return kResourceHelpBase + dialogId; }

void ClientDialog::SetControlHelp(QWidget* control, int id, const QString& help) {
  control->setObjectName(QString::number(id));
  control->setWhatsThis(help);
}

QPushButton* ClientDialog::AddButton(QDialogButtonBox& buttons, int id, const QString& text,
                                     QDialogButtonBox::ButtonRole role) {
  QPushButton* button = buttons.addButton(text, role);
  button->setObjectName(QString::number(id));
  return button;
}

QDialogButtonBox* ClientDialog::MakeButtonBox(QDialogButtonBox::StandardButtons standard) {
  auto* buttons = new QDialogButtonBox(standard, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &ClientDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ClientDialog::reject);
  return buttons;
}

void ClientDialog::ShowHelp() {
  const QString text = platform::ui::WhatsThisKey::TextForFocus(this);
  if (text.isEmpty()) {
    platform::ui::HelpWindow::ShowTopic(this, GetHelpTopic());
    return;
  }
  QWidget* focus = focusWidget();
  QWhatsThis::showText(focus->mapToGlobal(focus->rect().center()), text, focus);
}

void ClientDialog::reject() {
  if (HasTypedInput()) {
    platform::Notification question;
    question.text = kDiscardQuestion;
    question.caption = QApplication::applicationDisplayName().toStdString();
    question.icon = platform::NotifyIcon::Question;
    question.buttons = platform::NotifyButtons::YesNo;
    // Only a plain No keeps the dialog (a box closed by Escape answers No).
    if (platform::Notify(question) == platform::NotifyAnswer::No) return;
  }
  QDialog::reject();
}

void ClientDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The layout is complete only once the dialog's own constructor is done.
  if (!shownOnce_) platform::ui::FollowLayoutTabOrder(*this);
  shownOnce_ = true;
  const int wanted = platform::ui::TitleBarWidth(*this);
  if (width() < wanted) resize(wanted, height());
}

void ClientDialog::keyPressEvent(QKeyEvent* event) {
  if (platform::ui::PressFocusedButton(*this, *event)) return;
  QDialog::keyPressEvent(event);
}
