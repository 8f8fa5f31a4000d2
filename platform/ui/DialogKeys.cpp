#include "platform/ui/DialogKeys.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

namespace platform::ui {
namespace {

void CollectInLayoutOrder(const QLayout& layout, std::vector<QWidget*>& controls);

void CollectWidget(QWidget& widget, std::vector<QWidget*>& controls) {
  if ((widget.focusPolicy() & Qt::TabFocus) != 0) controls.push_back(&widget);
  // A group's controls follow the group.
  if (const QLayout* inner = widget.layout()) CollectInLayoutOrder(*inner, controls);
}

using Place = std::tuple<int, int, int>;

// Where each item of `grid` stands: rows joined by an item that spans them form one
// band, read column by column (a tall group on the left comes before what stands
// beside it); the bands are read from the top.
std::vector<Place> GridPlaces(const QGridLayout& grid) {
  struct Cell {
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
  };
  std::vector<Cell> cells(static_cast<std::size_t>(grid.count()));
  for (int i = 0; i < grid.count(); ++i) {
    Cell& cell = cells[static_cast<std::size_t>(i)];
    grid.getItemPosition(i, &cell.row, &cell.column, &cell.rowSpan, &cell.columnSpan);
  }
  std::vector<int> bandOf(static_cast<std::size_t>(grid.rowCount()), 0);
  int start = 0;
  int end = -1;
  for (int row = 0; row < grid.rowCount(); ++row) {
    if (row > end) start = row;
    bandOf[static_cast<std::size_t>(row)] = start;
    end = std::max(end, row);
    for (const Cell& cell : cells) {
      if (cell.row == row) end = std::max(end, row + std::max(cell.rowSpan, 1) - 1);
    }
  }
  std::vector<Place> places;
  for (const Cell& cell : cells) places.emplace_back(bandOf[static_cast<std::size_t>(cell.row)], cell.column, cell.row);
  return places;
}

// Where each item of `layout` stands: grids by bands, forms row by row, other layouts in turn.
std::vector<Place> Places(const QLayout& layout) {
  if (const auto* grid = qobject_cast<const QGridLayout*>(&layout)) return GridPlaces(*grid);
  std::vector<Place> places;
  for (int i = 0; i < layout.count(); ++i) {
    if (const auto* form = qobject_cast<const QFormLayout*>(&layout)) {
      int row = 0;
      QFormLayout::ItemRole role = QFormLayout::LabelRole;
      form->getItemPosition(i, &row, &role);
      places.emplace_back(row, static_cast<int>(role), 0);
    } else {
      places.emplace_back(0, i, 0);
    }
  }
  return places;
}

void CollectInLayoutOrder(const QLayout& layout, std::vector<QWidget*>& controls) {
  const std::vector<Place> places = Places(layout);
  std::vector<std::pair<Place, QLayoutItem*>> items;
  for (int i = 0; i < layout.count(); ++i) items.emplace_back(places[static_cast<std::size_t>(i)], layout.itemAt(i));
  std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [place, item] : items) {
    if (QWidget* widget = item->widget()) {
      CollectWidget(*widget, controls);
    } else if (const QLayout* inner = item->layout()) {
      CollectInLayoutOrder(*inner, controls);
    }
  }
}

}  // namespace

void FollowLayoutTabOrder(QWidget& window) {
  const QLayout* layout = window.layout();
  if (layout == nullptr) return;
  std::vector<QWidget*> controls;
  CollectInLayoutOrder(*layout, controls);
  for (std::size_t i = 1; i < controls.size(); ++i) QWidget::setTabOrder(controls[i - 1], controls[i]);
}

bool PressFocusedButton(QWidget& window, const QKeyEvent& event) {
  if (event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter) return false;
  auto* button = qobject_cast<QPushButton*>(window.focusWidget());
  if (button == nullptr || !button->isEnabled() || !button->isVisible()) return false;
  button->click();
  return true;
}

}  // namespace platform::ui
