#include "client/ui/DocumentFilterBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "client/ui/ClientDialog.h"

namespace {

// The holder choices in the order the box lists them.
constexpr DocumentFilter::Holder kHolders[] = {DocumentFilter::Holder::kAny, DocumentFilter::Holder::kMe,
                                               DocumentFilter::Holder::kAnyone};

}  // namespace

DocumentFilterBar::DocumentFilterBar(QWidget* parent)
    : QWidget(parent),
      name_(new QLineEdit(this)),
      holder_(new QComboBox(this)),
      changedSince_(new QCheckBox("Changed &since", this)),
      date_(new QDateEdit(QDate::currentDate(), this)) {
  setObjectName("DocumentFilterBar");
  auto* label = new QLabel("F&ilter:", this);
  label->setBuddy(name_);
  name_->setPlaceholderText("Name contains");
  name_->setClearButtonEnabled(true);
  ClientDialog::SetControlHelp(name_, 1301, "Shows only the documents whose name contains this text; Escape clears "
                                            "the filter.");
  holder_->addItems({"All documents", "Checked out by me", "Checked out by anyone"});
  ClientDialog::SetControlHelp(holder_, 1302, "Shows every document, or only those checked out.");
  ClientDialog::SetControlHelp(changedSince_, 1303, "Shows only the documents changed on or after the date.");
  date_->setCalendarPopup(true);
  date_->setEnabled(false);
  ClientDialog::SetControlHelp(date_, 1304, "The first day whose changes are shown.");

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(label);
  layout->addWidget(name_, 1);
  layout->addWidget(holder_);
  layout->addWidget(changedSince_);
  layout->addWidget(date_);

  connect(name_, &QLineEdit::textChanged, this, &DocumentFilterBar::filterChanged);
  connect(holder_, &QComboBox::currentIndexChanged, this, &DocumentFilterBar::filterChanged);
  connect(changedSince_, &QCheckBox::toggled, this, [this](bool on) {
    date_->setEnabled(on);
    emit filterChanged();
  });
  connect(date_, &QDateEdit::dateChanged, this, [this] {
    if (changedSince_->isChecked()) emit filterChanged();
  });
}

DocumentFilter DocumentFilterBar::GetFilter() const {
  DocumentFilter filter;
  filter.SetNameContains(name_->text().toStdString());
  filter.SetHolder(kHolders[std::max(holder_->currentIndex(), 0)]);
  if (changedSince_->isChecked()) {
    DateTime since;
    since.Parse(date_->date().toString("yyyyMMdd").toStdString() + "000000");
    filter.SetChangedSince(since);
  }
  return filter;
}

void DocumentFilterBar::Clear() {
  if (GetFilter().IsEmpty()) return;
  {
    const QSignalBlocker blockName(name_);
    const QSignalBlocker blockHolder(holder_);
    const QSignalBlocker blockDate(changedSince_);
    name_->clear();
    holder_->setCurrentIndex(0);
    changedSince_->setChecked(false);
    date_->setEnabled(false);
  }
  emit filterChanged();
}

void DocumentFilterBar::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && !GetFilter().IsEmpty()) {
    Clear();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}
