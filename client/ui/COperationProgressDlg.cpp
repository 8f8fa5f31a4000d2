#include "client/ui/COperationProgressDlg.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/ui/CListViewEx.h"
#include "client/ui/ProgressAnimation.h"
#include "platform/NumberLocale.h"

namespace {

constexpr int kColumnWidth = 350;
// The dialog's size in dialog units (a quarter of the average character width, an
// eighth of the line height).
constexpr int kWidthUnits = 500;
constexpr int kHeightUnits = 250;
// The bar's range while it follows a file's bytes.
constexpr int kFileBarRange = 1000;

const QIcon& RowIcon(ProgressRows::Icon icon) {
  static const std::array<QIcon, 4> kIcons = {
      QIcon(":/progress/progress-notsent.xpm"), QIcon(":/progress/progress-sent.xpm"),
      QIcon(":/progress/progress-succeeded.xpm"), QIcon(":/progress/progress-failed.xpm")};
  return kIcons[static_cast<std::size_t>(icon)];
}

}  // namespace

COperationProgressDlg::COperationProgressDlg(CBrannockDoc& document, QWidget* parent)
    : ClientDialog("COperationProgressDlg", kDialogId, Caption(" - Operation progress"), parent),
      document_(document),
      list_(new CListViewEx(this)),
      progress_(new QProgressBar(this)),
      fileLine_(new QLabel(this)),
      animation_(new ProgressAnimation(this)) {
  // A title bar without a close button: the dialog closes by Escape or when done.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowContextHelpButtonHint);
  SetControlHelp(list_, 1064, "The steps of the operation under way and how far each got.");
  SetControlHelp(progress_, 1062, "How many steps of the operation are done, or how much of a file being received.");
  SetControlHelp(fileLine_, 1063, "How many bytes of the file being received have arrived.");
  animation_->setWhatsThis("Moves while the operation runs.");
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->header()->setSectionsClickable(false);
  list_->AddColumn("Batch Instructions", Qt::AlignLeft, kColumnWidth);
  progress_->setTextVisible(false);

  auto* right = new QVBoxLayout;
  right->addWidget(list_, 1);
  right->addWidget(fileLine_);
  right->addWidget(progress_);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(animation_, 0, Qt::AlignTop);
  layout->addLayout(right, 1);
  resize(kWidthUnits * fontMetrics().averageCharWidth() / 4, kHeightUnits * fontMetrics().height() / 8);

  FillInstructionList();
  timer_.setInterval(kTimerMs);
  connect(&timer_, &QTimer::timeout, this, &COperationProgressDlg::OnTimer);
  timer_.start();
}

void COperationProgressDlg::FillInstructionList() {
  animation_->Start();
  rows_.Fill(document_.GetBatches());
  list_->clear();
  for (const ProgressRows::Row& row : rows_.GetRows()) {
    auto* item = new QTreeWidgetItem(list_, {QString::fromStdString(row.text)});
    item->setIcon(0, RowIcon(row.icon));
  }
  ShowProgress();
}

void COperationProgressDlg::RefillWhenStale() {
  if (rows_.IsStale(document_.GetBatches())) FillInstructionList();
}

void COperationProgressDlg::MarkInstructionSent(int row) {
  RefillWhenStale();
  if (rows_.MarkSent(row)) ShowIcon(row);
}

void COperationProgressDlg::MarkInstructionDone(int row, bool succeeded) {
  RefillWhenStale();
  if (!rows_.MarkDone(row, succeeded)) return;
  ShowIcon(row);
  list_->scrollToItem(list_->topLevelItem(row), QAbstractItemView::EnsureVisible);
  ShowProgress();
}

void COperationProgressDlg::ShowIcon(int row) {
  list_->topLevelItem(row)->setIcon(0, RowIcon(rows_.GetRows()[static_cast<std::size_t>(row)].icon));
}

void COperationProgressDlg::ShowProgress() {
  if (showingFile_) return;
  progress_->setRange(0, rows_.GetRange());
  progress_->setValue(rows_.GetDoneCount());
}

void COperationProgressDlg::ShowFileProgress(const TransferProgress::Counts& counts) {
  if (counts.total <= 0) {
    if (!showingFile_) return;
    showingFile_ = false;
    fileLine_->clear();
    ShowProgress();
    return;
  }
  showingFile_ = true;
  const std::int64_t done = std::clamp<std::int64_t>(counts.done, 0, counts.total);
  fileLine_->setText(QString("Receiving a file: %1 of %2 bytes")
                         .arg(QString::fromStdString(platform::GroupDigits(done)),
                              QString::fromStdString(platform::GroupDigits(counts.total))));
  progress_->setRange(0, kFileBarRange);
  progress_->setValue(static_cast<int>(static_cast<double>(done) * kFileBarRange / static_cast<double>(counts.total)));
}

void COperationProgressDlg::OnTimer() {
  if (!timer_.isActive()) return;
  document_.GetApp().DoProcessing();
  ShowFileProgress(document_.GetFileProgress());
  if (++idleTicks_ == kIdleTicksLimit) reject();
}

void COperationProgressDlg::reject() {
  timer_.stop();
  animation_->Stop();
  Dismiss();
}
