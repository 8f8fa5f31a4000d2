#include "client/ui/CCheckoutOptionsDlg.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>

namespace {

struct OptionButton {
  int id;
  const char* text;
  const char* help;
};

constexpr OptionButton kOptions[] = {
    {1053,
     "This document only.\n\n(Only checkout this document.  Documents referenced by this document and also "
     "documents that reference this document will not be checked out.)",
     "Checks out the chosen document alone."},
    {1027,
     "This document and all documents referenced by it.\n\n(Checkout this document and the entire chain of "
     "documents referenced by it, including documents that reference those documents, but excluding documents "
     "that reference this document.)",
     "Checks out the document and every document it references, directly or through others."},
    {1028,
     "This document and all documents referencing it.\n\n(Checkout this document and the entire chain of "
     "documents that reference it.)",
     "Checks out the document and every document that references it, directly or through others."},
    {1029, "This document and all references to and references by this document.",
     "Checks out the document with every document it references and every document referencing it."},
};

// The widest a line of an option may be, in average characters: radio buttons do not
// wrap their texts, and the longest would make the dialog wider than a small screen.
constexpr int kLineCharacters = 80;

// `text` with each paragraph broken between words into lines at most `width` wide.
QString WrapToWidth(const QString& text, const QFontMetrics& metrics, int width) {
  QStringList lines;
  for (const QString& paragraph : text.split('\n')) {
    QString line;
    for (const QString& word : paragraph.split(' ')) {
      const QString longer = line.isEmpty() ? word : line + ' ' + word;
      if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
        lines << line;
        line = word;
      } else {
        line = longer;
      }
    }
    lines << line;
  }
  return lines.join('\n');
}

}  // namespace

CCheckoutOptionsDlg::CCheckoutOptionsDlg(QWidget* parent)
    : ClientDialog("CCheckoutOptionsDlg", kDialogId, Caption(" - Document checkout options"), parent),
      options_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  int value = 0;
  for (const OptionButton& option : kOptions) {
    auto* button = new QRadioButton(
        WrapToWidth(option.text, fontMetrics(), kLineCharacters * fontMetrics().averageCharWidth()), this);
    SetControlHelp(button, option.id, option.help);
    options_->addButton(button, value++);
    layout->addWidget(button);
  }
  layout->addWidget(MakeButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
}

void CCheckoutOptionsDlg::SetOption(int option) {
  option_ = option;
  if (QAbstractButton* button = options_->button(option)) button->setChecked(true);
}

void CCheckoutOptionsDlg::accept() {
  option_ = options_->checkedId();
  ClientDialog::accept();
}
