#include "client/ui/CCompareDlg.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "platform/Notifier.h"
#include "platform/fs.h"

namespace {

constexpr int kShownLines = 30;   // the height the dialog opens at, in lines
constexpr int kShownColumns = 48;   // the width of each side, in characters

QString NumberText(int number) { return number > 0 ? QString::number(number) : QString(); }

}  // namespace

CCompareDlg::CCompareDlg(const QString& documentName, const Side& left, const Side& right,
                         std::vector<std::unique_ptr<VersionCopyFolder>> copies, QWidget* parent)
    : ClientDialog("CCompareDlg", kDialogId, "Compare " + documentName, parent),
      rows_(new QTreeWidget(this)),
      summary_(new QLabel(this)),
      copies_(std::move(copies)) {
  SetControlHelp(rows_, 1001,
                 "The two files line by line: yellow lines differ, red lines are only on the left, green lines only "
                 "on the right.");
  rows_->setRootIsDecorated(false);
  rows_->setUniformRowHeights(true);
  rows_->setAlternatingRowColors(false);
  rows_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  rows_->setHeaderLabels({"Line", left.title, "Line", right.title});
  rows_->header()->setStretchLastSection(true);
  const int character = QFontMetrics(rows_->font()).horizontalAdvance('0');
  rows_->setColumnWidth(kLeftNumber, character * 7);
  rows_->setColumnWidth(kLeftText, character * kShownColumns);
  rows_->setColumnWidth(kRightNumber, character * 7);
  rows_->setMinimumSize(character * (2 * kShownColumns + 16), QFontMetrics(rows_->font()).height() * kShownLines);
  summary_->setObjectName("CompareSummary");

  const std::vector<SideBySideDiff::Row> rows = SideBySideDiff::Compare(ReadLines(left.path), ReadLines(right.path));
  differences_ = SideBySideDiff::CountDifferences(rows);
  ShowRows(rows);
  summary_->setText(differences_ == 0 ? QString("%1 and %2 hold the same lines.").arg(left.title, right.title)
                                      : QString("%1 lines differ.").arg(differences_));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(rows_);
  layout->addWidget(summary_);
  layout->addWidget(MakeButtonBox(QDialogButtonBox::Close));
}

CCompareDlg::~CCompareDlg() = default;

std::vector<std::string> CCompareDlg::ReadLines(const std::string& path) {
  std::string bytes;
  if (!platform::fs::ReadWholeFile(path, bytes)) {
    platform::NotifyText(kNotRead + path, platform::NotifyIcon::Warning);
    return {};
  }
  return SideBySideDiff::SplitLines(bytes);
}

QColor CCompareDlg::MarkOf(SideBySideDiff::Kind kind, bool leftSide) {
  switch (kind) {
    case SideBySideDiff::Kind::kChanged:
      return QColor(255, 236, 150);
    case SideBySideDiff::Kind::kRemoved:
      return leftSide ? QColor(255, 190, 190) : QColor(230, 230, 230);
    case SideBySideDiff::Kind::kAdded:
      return leftSide ? QColor(230, 230, 230) : QColor(190, 240, 190);
    case SideBySideDiff::Kind::kSame:
      break;
  }
  return QColor();
}

void CCompareDlg::ShowRows(const std::vector<SideBySideDiff::Row>& rows) {
  QList<QTreeWidgetItem*> items;
  for (const SideBySideDiff::Row& row : rows) {
    auto* item = new QTreeWidgetItem({NumberText(row.leftNumber), QString::fromStdString(row.left),
                                      NumberText(row.rightNumber), QString::fromStdString(row.right)});
    if (row.kind != SideBySideDiff::Kind::kSame) {
      for (int column = kLeftNumber; column <= kRightText; ++column) {
        item->setBackground(column, MarkOf(row.kind, column <= kLeftText));
      }
    }
    items.push_back(item);
  }
  rows_->addTopLevelItems(items);
}

void CCompareDlg::done(int result) {
  copies_.clear();
  ClientDialog::done(result);
}
