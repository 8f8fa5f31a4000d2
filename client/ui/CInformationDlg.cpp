#include "client/ui/CInformationDlg.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QVBoxLayout>

#include "client/document/CBrannockApp.h"
#include "client/ui/ModalRunner.h"

namespace {

constexpr int kTextColumns = 70;
constexpr int kTextLines = 16;

}  // namespace

CInformationDlg::CInformationDlg(QWidget* parent)
    : ClientDialog("CInformationDlg", kDialogId, Caption(" Information"), parent),
      text_(new QPlainTextEdit(this)) {
  SetControlHelp(text_, 1003, "What the library reported for the last operation.");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setMinimumSize(fontMetrics().averageCharWidth() * kTextColumns, fontMetrics().lineSpacing() * kTextLines);
  QDialogButtonBox* buttons = MakeButtonBox();
  AddButton(*buttons, 1, "Close", QDialogButtonBox::AcceptRole)->setDefault(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(buttons);
}

void CInformationDlg::SetText(const std::string& text) { text_->setPlainText(QString::fromStdString(text)); }

std::string CInformationDlg::GetText() const { return text_->toPlainText().toStdString(); }

CBrannockDoc::InformationHook CInformationDlg::MakeHook(CBrannockDoc& document, QWidget* parent) {
  return [&document, owner = QPointer<QWidget>(parent)](const std::string& text) {
    OpenLibraries::Hold hold(document.GetApp().GetOpenLibraries(), document);
    CInformationDlg dialog(owner.data());
    dialog.SetText(text);
    ModalRunner::Exec(dialog);
  };
}
