#include "client/ui/CListViewEx.h"

#include <QApplication>
#include <QFocusEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "client/rules/DocumentRowTexts.h"
#include "common/DateTime.h"
#include "platform/NumberLocale.h"

namespace {

constexpr int kIconSize = 16;
// Horizontal room kept around cell texts: the first column and the others.
constexpr int kFirstColumnOffset = 4;
constexpr int kFirstColumnMargin = 2;
constexpr int kCellOffset = 12;
constexpr int kCellMargin = 6;
const QString kEllipsis = QStringLiteral("...");
// Room a window manager's frame takes on either side, where the window cannot tell yet.
constexpr int kWindowFrameAllowance = 4;
// The window property holding the width WidenWindowToShowColumns left it at.
constexpr const char* kFittedWidthProperty = "listFittedWidth";

// Positions after each whole character of `text` (a character never cut in two).
std::vector<qsizetype> CharacterEnds(const QString& text) {
  std::vector<qsizetype> ends;
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  while (finder.toNextBoundary() > 0) ends.push_back(finder.position());
  return ends;
}

// A text-alignment role's value, stored either as flags or as a plain number.
Qt::Alignment AlignmentOf(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<Qt::Alignment>()) return value.value<Qt::Alignment>();
  return Qt::Alignment(value.toInt());
}

}  // namespace

// Paints one cell of a row: background band, state image and icon in the first column,
// the shortened text; the band is painted in every cell, so the whole row is highlighted.
class CListViewExDelegate : public QStyledItemDelegate {
 public:
  explicit CListViewExDelegate(CListViewEx& list) : QStyledItemDelegate(&list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    // The row's own font and text colour, when it sets them.
    QStyleOptionViewItem cellOption(option);
    initStyleOption(&cellOption, index);
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(option.rect, BandColour(selected));
    painter->setPen(TextColour(selected, cellOption));
    painter->setFont(cellOption.font);

    QRect cell = option.rect;
    if (index.column() == 0) cell.setLeft(PaintImages(painter, option, index, selected));
    if (!cellOption.text.isEmpty()) PaintText(painter, cell, index.column(), cellOption.text);
    painter->restore();
  }

  // Wide enough for what paint draws: the cell's whole text beside its images.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    return {list_.CellWidthToShow(index.column(), index.data(Qt::DisplayRole).toString()), base.height()};
  }

 private:
  QColor BandColour(bool selected) const {
    if (!selected) return list_.palette().color(QPalette::Base);
    if (list_.HasFocusFlag()) return list_.palette().color(QPalette::Active, QPalette::Highlight);
    return QApplication::palette("QMenu").color(QPalette::Active, QPalette::Window);
  }

  QColor TextColour(bool selected, const QStyleOptionViewItem& cellOption) const {
    if (!selected) return cellOption.palette.color(QPalette::Text);
    if (list_.HasFocusFlag()) {
      return list_.palette().color(QPalette::Active, QPalette::HighlightedText);
    }
    // The menu's own text colour, so the row stays readable under any theme.
    return QApplication::palette("QMenu").color(QPalette::Active, QPalette::WindowText);
  }

  // Draws the state image and the icon; returns where the label begins.
  int PaintImages(QPainter* painter, const QStyleOptionViewItem& option,
                  const QModelIndex& index, bool selected) const {
    int left = option.rect.left();
    const int state = index.data(CListViewEx::kStateImageRole).toInt();
    if (state > 0) {
      if (static_cast<std::size_t>(state) <= list_.stateImages_.size()) {
        const QPixmap& image = list_.stateImages_[static_cast<std::size_t>(state - 1)];
        painter->drawPixmap(left, option.rect.top() + (option.rect.height() - image.height()) / 2,
                            image);
      }
      left += CListViewEx::kStateImageWidth;
    }
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull() && option.rect.width() > 1) {
      const QRect iconRect(left, option.rect.top() + (option.rect.height() - kIconSize) / 2,
                           kIconSize, kIconSize);
      icon.paint(painter, iconRect, Qt::AlignCenter, selected ? QIcon::Selected : QIcon::Normal);
      left += kIconSize;
    }
    return left;
  }

  void PaintText(QPainter* painter, const QRect& cell, int column, const QString& text) const {
    const bool first = column == 0;
    const QFontMetrics metrics = painter->fontMetrics();
    const QString shown = CListViewEx::ShortenToFit(
        text, cell.width(), first ? kFirstColumnOffset : kCellOffset,
        [&metrics](const QString& part) { return metrics.horizontalAdvance(part); });
    Qt::Alignment alignment = Qt::AlignLeft;
    if (!first && shown == text) {
      const Qt::Alignment wanted = list_.ColumnAlignment(column) & Qt::AlignHorizontal_Mask;
      if (wanted & (Qt::AlignRight | Qt::AlignHCenter)) alignment = wanted;
    }
    const int margin = first ? kFirstColumnMargin : kCellMargin;
    painter->drawText(cell.adjusted(margin, 0, -margin, 0),
                      static_cast<int>(alignment | Qt::AlignVCenter | Qt::TextSingleLine |
                                       Qt::TextDontClip),
                      shown);
  }

  CListViewEx& list_;
};

CSortHeaderCtrl::CSortHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setObjectName("CSortHeaderCtrl");
  setSortIndicatorShown(false);
  setSectionsClickable(true);
  setHighlightSections(false);
  setStretchLastSection(false);
}

int CSortHeaderCtrl::SetSortMark(int column, bool ascending) {
  const int previous = sortColumn_;
  sortColumn_ = column;
  ascending_ = ascending;
  viewport()->update();
  return previous;
}

int CSortHeaderCtrl::WidthToShow(const QString& heading) const {
  // paintSection's margins: an offset on either side, three more for the triangle.
  const int offset = 2 * fontMetrics().horizontalAdvance(QLatin1Char(' '));
  return fontMetrics().horizontalAdvance(heading) + 5 * offset + 1;
}

void CSortHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!rect.isValid()) return;
  painter->save();
  painter->setClipRect(rect);

  // The style's bare section (hover and pressed looks included), then our own text
  // and triangle over it.
  QStyleOptionHeader section;
  initStyleOption(&section);
  initStyleOptionForIndex(&section, logicalIndex);
  section.rect = rect;
  section.text.clear();
  section.icon = QIcon();
  section.sortIndicator = QStyleOptionHeader::None;
  style()->drawControl(QStyle::CE_Header, &section, painter, this);

  const int offset = 2 * fontMetrics().horizontalAdvance(QLatin1Char(' '));
  const bool marked = logicalIndex == sortColumn_;
  QRect label = rect;
  if (section.state & QStyle::State_Sunken) label.adjust(1, 2, 1, 0);
  if (marked) label.setRight(label.right() - 3 * offset);
  label.adjust(offset, 0, -offset, 0);
  if (label.left() < label.right()) {
    const QString text = model()->headerData(logicalIndex, orientation()).toString();
    const Qt::Alignment wanted =
        AlignmentOf(model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole));
    Qt::Alignment alignment = Qt::AlignLeft;
    if (wanted & Qt::AlignHCenter) {
      alignment = Qt::AlignHCenter;
    } else if (wanted & Qt::AlignRight) {
      alignment = Qt::AlignRight;
    }
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->drawText(label, static_cast<int>(alignment | Qt::AlignVCenter | Qt::TextSingleLine),
                      fontMetrics().elidedText(text, Qt::ElideRight, label.width()));
  }
  if (marked) PaintTriangle(painter, rect, offset);
  painter->restore();
}

void CSortHeaderCtrl::PaintTriangle(QPainter* painter, const QRect& rect, int o) const {
  const QPen light(palette().color(QPalette::Light), 1);
  const QPen shadow(palette().color(QPalette::Dark), 1);
  const int r = rect.right();
  const int b = rect.bottom();
  const int t = rect.top();
  if (ascending_) {
    painter->setPen(light);
    painter->drawLine(r - 2 * o, t + o - 1, r - 3 * o / 2, b - o);
    painter->drawLine(r - 3 * o / 2, b - o, r - 5 * o / 2 - 2, b - o);
    painter->setPen(shadow);
    painter->drawLine(r - 5 * o / 2 - 1, b - o - 1, r - 2 * o, t + o - 2);
  } else {
    painter->setPen(light);
    painter->drawLine(r - 3 * o / 2, t + o - 1, r - 2 * o - 1, b - o + 1);
    painter->setPen(shadow);
    painter->drawLine(r - 2 * o - 1, b - o, r - 5 * o / 2 - 1, t + o - 1);
    painter->drawLine(r - 5 * o / 2 - 1, t + o - 1, r - 3 * o / 2, t + o - 1);
  }
}

CListViewEx::CListViewEx(QWidget* parent)
    : QTreeWidget(parent), sortHeader_(new CSortHeaderCtrl(this)) {
  setObjectName("CListViewEx");
  setHeader(sortHeader_);
  setColumnCount(0);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setIndentation(0);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);
  // The views sort themselves on a column click: switching the list's own sorting
  // off also made the headings unclickable.
  sortHeader_->setSectionsClickable(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setIconSize(QSize(kIconSize, kIconSize));
  setItemDelegate(new CListViewExDelegate(*this));
  connect(sortHeader_, &QHeaderView::sectionResized, this, [this](int column, int, int) {
    if (!sizing_ && column >= 0 && static_cast<std::size_t>(column) < userSized_.size()) {
      userSized_[static_cast<std::size_t>(column)] = true;
    }
  });
}

void CListViewEx::AddColumn(const QString& text, Qt::Alignment alignment, int width, const QString& widest) {
  const int column = columnCount();
  setColumnCount(column + 1);
  headerItem()->setText(column, text);
  headerItem()->setTextAlignment(column, alignment | Qt::AlignVCenter);
  alignments_.push_back(alignment);
  userSized_.push_back(false);
  width = std::max(width, sortHeader_->WidthToShow(text));
  if (!widest.isEmpty()) width = std::max(width, CellWidthToShow(column, widest));
  const bool wasSizing = std::exchange(sizing_, true);
  sortHeader_->resizeSection(column, width);
  sizing_ = wasSizing;
}

void CListViewEx::FitColumnsToContents() {
  const int cap = kMaxFittedCharacters * fontMetrics().averageCharWidth();
  const bool wasSizing = std::exchange(sizing_, true);
  for (int column = 0; column < columnCount(); ++column) {
    if (userSized_[static_cast<std::size_t>(column)]) continue;
    const int wanted = std::min(sizeHintForColumn(column), std::max(cap, sortHeader_->sectionSize(column)));
    if (wanted > sortHeader_->sectionSize(column)) sortHeader_->resizeSection(column, wanted);
  }
  sizing_ = wasSizing;
}

int CListViewEx::WidthToShowColumns() const {
  return sortHeader_->length() + 2 * frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

int CListViewEx::HeightToShowRows(int rows) const {
  const int row = topLevelItemCount() > 0 ? sizeHintForRow(0)
                                          : std::max(fontMetrics().height(), iconSize().height()) + 2;
  return sortHeader_->sizeHint().height() + rows * row + 2 * frameWidth();
}

QSize CListViewEx::sizeHint() const {
  QSize hint = QTreeWidget::sizeHint();
  int width = WidthToShowColumns();
  if (const QScreen* shown = screen()) {
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_LayoutLeftMargin) + kWindowFrameAllowance);
    width = std::min(width, shown->availableGeometry().width() - margins);
  }
  hint.setWidth(std::max(hint.width(), width));
  return hint;
}

void CListViewEx::WidenWindowToShowColumns() {
  QWidget* top = window();
  const QScreen* shown = top->screen();
  if (shown == nullptr || !top->isVisible() || top->isMaximized() || top->isFullScreen()) return;
  // The width the list left the window at: any other is the user's.
  const QVariant fitted = top->property(kFittedWidthProperty);
  if (fitted.isValid() && fitted.toInt() != top->width()) return;
  const int frame = std::max(top->frameGeometry().width() - top->width(), 2 * kWindowFrameAllowance);
  const int wanted =
      std::min(top->width() + WidthToShowColumns() - width(), shown->availableGeometry().width() - frame);
  if (wanted > top->width()) top->resize(wanted, top->height());
  top->setProperty(kFittedWidthProperty, top->width());
}

int CListViewEx::CellWidthToShow(int column, const QString& text) const {
  // PaintImages and PaintText's room besides the text.
  const int room = column == 0 ? kStateImageWidth + kIconSize + kFirstColumnOffset : kCellOffset;
  return fontMetrics().horizontalAdvance(text) + room + 1;
}

QString CListViewEx::DateTimeWidthSample() {
  DateTime widest;
  widest.Parse("20281228234858");
  return QString::fromStdString(widest.FormatForDisplay(4)) + " PM";
}

QString CListViewEx::FileSizeWidthSample() {
  return QString::fromStdString(
      DocumentRowTexts::FileSize(std::numeric_limits<std::int32_t>::max(), platform::UserNumberLocale()));
}

Qt::Alignment CListViewEx::ColumnAlignment(int column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= alignments_.size()) return Qt::AlignLeft;
  return alignments_[static_cast<std::size_t>(column)];
}

void CListViewEx::SetStateImages(std::vector<QPixmap> images) {
  stateImages_ = std::move(images);
  viewport()->update();
}

int CListViewEx::GetStateImage(const QTreeWidgetItem& item) {
  return item.data(0, kStateImageRole).toInt();
}

void CListViewEx::SetStateImage(QTreeWidgetItem& item, int state) {
  item.setData(0, kStateImageRole, state);
}

QString CListViewEx::ShortenToFit(const QString& text, int width, int offset,
                                  const std::function<int(const QString&)>& measure) {
  if (text.isEmpty() || measure(text) + offset <= width) return text;
  const std::vector<qsizetype> ends = CharacterEnds(text);
  const int room = width - offset - measure(kEllipsis);
  // Binary search for the longest prefix of whole characters (never fewer than one)
  // that fits with the ellipsis; the whole text is known not to fit.
  std::size_t low = 0;                 // ends[low] always kept
  std::size_t high = ends.size() - 1;  // ends[high] known too long (whole text)
  while (high - low > 1) {
    const std::size_t middle = low + (high - low) / 2;
    if (measure(text.left(ends[middle])) <= room) {
      low = middle;
    } else {
      high = middle;
    }
  }
  return text.left(ends[low]) + kEllipsis;
}

void CListViewEx::focusInEvent(QFocusEvent* event) {
  QTreeWidget::focusInEvent(event);
  hasFocus_ = true;
  viewport()->update();
}

void CListViewEx::focusOutEvent(QFocusEvent* event) {
  QTreeWidget::focusOutEvent(event);
  // The focus went to the view's own label editor: the view still counts as focused.
  const QWidget* now = QApplication::focusWidget();
  if (now != nullptr && now != this && isAncestorOf(now)) return;
  hasFocus_ = false;
  viewport()->update();
}

void CListViewEx::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const QPoint at = event->position().toPoint();
    const QModelIndex index = indexAt(at);
    QTreeWidgetItem* item = itemFromIndex(index);
    if (item != nullptr && GetStateImage(*item) > 0) {
      const int left = visualRect(index.siblingAtColumn(0)).left();
      if (at.x() >= left && at.x() < left + kStateImageWidth) {
        emit stateImageClicked(item, event->modifiers());
        event->accept();
        return;
      }
    }
  }
  QTreeWidget::mousePressEvent(event);
}
