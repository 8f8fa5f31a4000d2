#pragma once
// The report list under the client's two list views: flat rows of text cells, drawn
// by its own delegate so that a selected row is highlighted across all columns
// (Highlight on HighlightedText while the view has the focus, window-frame text on
// the menu colour while it has not), cell texts that do not fit are shortened with
// "...", and each row may carry a state image (the tick boxes 1-4) before its icon.
// The header is a CSortHeaderCtrl that paints the sort triangle itself.
#include <QHeaderView>
#include <QPixmap>
#include <QString>
#include <QTreeWidget>
#include <functional>
#include <vector>

class CSortHeaderCtrl : public QHeaderView {
  Q_OBJECT

 public:
  explicit CSortHeaderCtrl(QWidget* parent = nullptr);
  // Marks `column` (-1: none) as the sort column; returns the column marked before.
  int SetSortMark(int column, bool ascending);
  int GetSortColumn() const { return sortColumn_; }
  // The section width that shows `heading` whole, with room for the sort triangle.
  int WidthToShow(const QString& heading) const;
  bool IsAscending() const { return ascending_; }

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

 private:
  // The sort triangle at the right end of `rect`, `offset` being twice a blank's width.
  void PaintTriangle(QPainter* painter, const QRect& rect, int offset) const;

  int sortColumn_ = -1;
  bool ascending_ = true;
};

class CListViewEx : public QTreeWidget {
  Q_OBJECT

 public:
  // Item data roles: the row's state image (0 none, 1 empty box, 2 ticked box,
  // 3 greyed empty box, 4 greyed ticked box) and the caller's own row data.
  static constexpr int kStateImageRole = Qt::UserRole + 1;
  static constexpr int kItemDataRole = Qt::UserRole;
  // Width of the state image in front of the first column.
  static constexpr int kStateImageWidth = 16;

  explicit CListViewEx(QWidget* parent = nullptr);

  // Adds a column at the end with its header text, cell alignment and least width
  // (0: none), widened when needed so that the heading and `widest` (the widest value
  // the column can hold, such as a date) show whole.
  void AddColumn(const QString& text, Qt::Alignment alignment, int width, const QString& widest = QString());
  // The column width that shows `text` whole in a cell of `column`.
  int CellWidthToShow(int column, const QString& text) const;
  // Widens each column to show its cells whole, up to kMaxFittedCharacters average
  // characters (longer texts are shortened with "..."); a column the user sized keeps
  // the user's width. Columns never narrow here.
  void FitColumnsToContents();
  static constexpr int kMaxFittedCharacters = 48;
  // The list's width that shows every column whole beside a vertical scroll bar.
  int WidthToShowColumns() const;
  // The list's height that shows the header and `rows` rows.
  int HeightToShowRows(int rows) const;
  // WidthToShowColumns, at most what its screen's free area leaves beside a dialog's margins.
  QSize sizeHint() const override;
  // Widens the list's window, within its screen's free area, by what the list lacks to
  // show every column whole. Left alone: a window not shown, maximised or full screen,
  // or one the user sized since the list first looked at it.
  void WidenWindowToShowColumns();
  // A text as wide as any date and time the lists show, a 12-hour clock's "PM" included.
  static QString DateTimeWidthSample();
  // The size text of the largest document the library holds, in the user's locale.
  static QString FileSizeWidthSample();
  Qt::Alignment ColumnAlignment(int column) const;

  CSortHeaderCtrl& GetSortHeader() const { return *sortHeader_; }

  // The pictures of state images 1..N (index 0 of the vector is state image 1).
  void SetStateImages(std::vector<QPixmap> images);
  static int GetStateImage(const QTreeWidgetItem& item);
  static void SetStateImage(QTreeWidgetItem& item, int state);

  // True between gaining and losing the keyboard focus (not to the view's own editor).
  bool HasFocusFlag() const { return hasFocus_; }

  // `text` as drawn in `width` pixels less `offset`: unchanged when it fits, else as
  // many leading characters (at least one, never part of one) as fit with "..."
  // appended. `measure` gives a text's width in pixels.
  static QString ShortenToFit(const QString& text, int width, int offset,
                              const std::function<int(const QString&)>& measure);

 signals:
  // A left click on a row's state image; the selection is not changed by it.
  void stateImageClicked(QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers);

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  friend class CListViewExDelegate;
  CSortHeaderCtrl* sortHeader_;
  std::vector<QPixmap> stateImages_;
  std::vector<Qt::Alignment> alignments_;
  std::vector<bool> userSized_;   // per column: the user dragged its width
  bool sizing_ = false;           // the list itself is sizing its columns
  bool hasFocus_ = false;
};
