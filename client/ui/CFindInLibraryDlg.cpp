#include "client/ui/CFindInLibraryDlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/ui/CListViewEx.h"

namespace {

constexpr int kFoundRole = CListViewEx::kItemDataRole;
constexpr int kShownRows = 12;
constexpr std::pair<const char*, Qt::Alignment> kResultColumns[] = {
    {"Document Name", Qt::AlignLeft}, {"Project", Qt::AlignLeft}, {"Revision", Qt::AlignRight},
    {"Checked Out To", Qt::AlignLeft}};

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

CFindInLibraryDlg::CFindInLibraryDlg(CBrannockDoc& document, QWidget* parent)
    : ClientDialog("CFindInLibraryDlg", kDialogId, Caption(" - Find in Library"), parent),
      document_(document),
      name_(new QLineEdit(this)),
      holder_(new QLineEdit(this)),
      progress_(new QProgressBar(this)),
      status_(new QLabel(this)),
      results_(new CListViewEx(this)) {
  SetControlHelp(name_, 1201, "Finds the documents whose name contains this text, in every project.");
  SetControlHelp(holder_, 1202, "Finds only the documents this user has checked out.");
  auto* fields = new QFormLayout;
  fields->addRow("Name &contains:", name_);
  fields->addRow("Checked out &by:", holder_);

  QDialogButtonBox* searchButtons = MakeButtonBox();
  findButton_ = searchButtons->addButton("&Find", QDialogButtonBox::ActionRole);
  SetControlHelp(findButton_, 1203, "Searches every project of the library with the fields above.");
  QPushButton* mine = searchButtons->addButton("&My Check-outs", QDialogButtonBox::ActionRole);
  SetControlHelp(mine, 1204, "Lists every document you have checked out in the library.");
  findButton_->setDefault(true);
  connect(findButton_, &QPushButton::clicked, this, &CFindInLibraryDlg::StartFind);
  connect(mine, &QPushButton::clicked, this, [this] {
    holder_->setText(QString::fromStdString(document_.GetUserText()));
    name_->clear();
    StartFind();
  });

  SetControlHelp(progress_, 1205, "How many of the library's projects have been searched.");
  SetControlHelp(results_, 1206, "The documents found; Enter or a double click goes to the one selected.");
  results_->setSelectionMode(QAbstractItemView::SingleSelection);
  // As wide as the headings at first; found rows widen the columns and the dialog.
  for (const auto& [heading, alignment] : kResultColumns) results_->AddColumn(heading, alignment, 0);
  results_->setMinimumHeight(results_->HeightToShowRows(kShownRows));
  connect(results_, &QTreeWidget::itemActivated, this, [this] { accept(); });

  QDialogButtonBox* buttons = MakeButtonBox();
  goTo_ = AddButton(*buttons, 1207, "&Go To", QDialogButtonBox::AcceptRole);
  goTo_->setEnabled(false);
  AddButton(*buttons, 1208, "Close", QDialogButtonBox::RejectRole);
  connect(results_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { goTo_->setEnabled(current != nullptr); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(searchButtons);
  layout->addWidget(progress_);
  layout->addWidget(status_);
  layout->addWidget(results_, 1);
  layout->addWidget(buttons);
  name_->setFocus();

  timer_.setInterval(0);
  connect(&timer_, &QTimer::timeout, this, &CFindInLibraryDlg::OnTick);
}

void CFindInLibraryDlg::StartWithMyCheckOuts() {
  holder_->setText(QString::fromStdString(document_.GetUserText()));
  startOnShow_ = true;
}

void CFindInLibraryDlg::showEvent(QShowEvent* event) {
  ClientDialog::showEvent(event);
  if (!startOnShow_) return;
  startOnShow_ = false;
  StartFind();
}

void CFindInLibraryDlg::StartFind() {
  if (IsSearching()) return;
  DocumentFilter filter;
  filter.SetNameContains(name_->text().trimmed().toStdString());
  const std::string holder = holder_->text().trimmed().toStdString();
  if (!holder.empty()) filter.SetHolder(DocumentFilter::Holder::kNamed, holder);
  results_->clear();
  found_.clear();
  goTo_->setEnabled(false);
  findButton_->setEnabled(false);
  progress_->setRange(0, 0);   // busy until the project tree is in
  status_->setText("Asking the server for the project tree...");
  find_ = std::make_unique<LibraryFind>(document_, filter);
  timer_.start();
}

void CFindInLibraryDlg::OnTick() {
  if (document_.IsClosePending()) {
    timer_.stop();
    find_.reset();
    Dismiss();
    return;
  }
  // The pass the main window's timer would run later, at once: one reply each.
  document_.GetApp().DoProcessing();
  if (document_.IsClosePending()) return;
  find_->Step();
  if (find_->GetPhase() != LibraryFind::Phase::kTree) {
    progress_->setRange(0, std::max(find_->GetProjectCount(), 1));
    progress_->setValue(find_->GetSearchedCount());
    status_->setText(QString::fromStdString("Searched " + std::to_string(find_->GetSearchedCount()) + " of " +
                                            Counted(static_cast<std::size_t>(find_->GetProjectCount()), "project",
                                                    "projects") + "..."));
  }
  ShowNewlyFound();
  if (find_->IsFinished()) Finish();
}

void CFindInLibraryDlg::ShowNewlyFound() {
  const std::vector<LibraryFind::Found>& all = find_->GetFound();
  if (found_.size() == all.size()) return;
  for (std::size_t i = found_.size(); i < all.size(); ++i) {
    const LibraryFind::Found& found = all[i];
    auto* item = new QTreeWidgetItem(results_);
    item->setText(0, QString::fromStdString(found.document.GetName()));
    item->setText(1, QString::fromStdString(found.projectPath));
    item->setText(2, QString::number(found.document.GetVersion()));
    item->setText(3, QString::fromStdString(found.document.GetCheckedOutTo()));
    item->setData(0, kFoundRole, static_cast<qulonglong>(i));
    found_.push_back(found);
  }
  results_->FitColumnsToContents();
  results_->WidenWindowToShowColumns();
  if (results_->currentItem() == nullptr && results_->topLevelItemCount() > 0) {
    results_->setCurrentItem(results_->topLevelItem(0));
  }
}

void CFindInLibraryDlg::Finish() {
  timer_.stop();
  std::string text;
  if (find_->GetPhase() == LibraryFind::Phase::kLinkEnded) {
    text = "The link to the library ended; the search is incomplete. ";
  }
  text += "Found " + Counted(found_.size(), "document", "documents") + " in " +
          Counted(static_cast<std::size_t>(find_->GetProjectCount()), "project", "projects") + ".";
  const std::vector<std::string>& unread = find_->GetUnread();
  if (!unread.empty()) {
    text += " Not searched (the list could not be had): ";
    for (std::size_t i = 0; i < unread.size(); ++i) text += (i == 0 ? "" : ", ") + unread[i];
    text += ".";
  }
  progress_->setRange(0, 1);
  progress_->setValue(1);
  status_->setText(QString::fromStdString(text));
  find_.reset();
  findButton_->setEnabled(true);
  if (results_->topLevelItemCount() > 0) results_->setFocus();
}

void CFindInLibraryDlg::accept() {
  const QTreeWidgetItem* current = results_->currentItem();
  if (current == nullptr) return;
  const auto index = static_cast<std::size_t>(current->data(0, kFoundRole).toULongLong());
  if (index >= found_.size()) return;
  chosen_ = found_[index];
  timer_.stop();
  find_.reset();
  ClientDialog::accept();
}
