#include "client/ui/CListViewEx.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>

#include "platform/ui/QtTestApplication.h"

namespace {

// Ten pixels per character (code point), so a surrogate pair counts once.
int TenPerCharacter(const QString& text) { return static_cast<int>(text.toUcs4().size()) * 10; }

TEST(CListViewExTest, ShortenToFitKeepsWholeCharactersAndAtLeastOne) {
  struct Case {
    QString text;
    int width;
    QString shown;
  };
  const std::vector<Case> cases = {
      {"", 0, ""},
      {"abcdef", 64, "abcdef"},                 // 60 + offset 4 fits exactly
      {"abcdef", 63, "ab..."},                  // 20 + 4 + 30 fits, 30 + 4 + 30 does not
      {"abcdef", 10, "a..."},                   // nothing fits: the first character stays
      {"ÄÖÜäöü", 63, "ÄÖ..."},
      {"𝄞𝄞𝄞𝄞𝄞𝄞", 63, "𝄞𝄞..."},
      {"𝄞𝄞𝄞𝄞𝄞𝄞", 5, "𝄞..."},                  // never half a surrogate pair
      {"e\u0301e\u0301e\u0301", 40, "e\u0301..."},   // nor an accent without its letter
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CListViewEx::ShortenToFit(c.text, c.width, 4, TenPerCharacter), c.shown) << c.text.toStdString();
  }
}

class CListViewExPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list_.AddColumn("Name", Qt::AlignLeft, 100);
    list_.AddColumn("Size", Qt::AlignRight, 120);
    list_.resize(260, 120);
    for (const char* size : {"123456789012345678901234567890", "12"}) {
      new QTreeWidgetItem(&list_, {"file", size});
    }
    list_.show();
  }

  QImage Viewport() { return list_.viewport()->grab().toImage(); }
  QRect Cell(int row, int column) { return list_.visualRect(list_.model()->index(row, column)); }
  // Whether any pixel of `area` differs from the list's base colour.
  bool HasInk(const QImage& image, const QRect& area) {
    const QRgb base = list_.palette().color(QPalette::Base).rgb();
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        if (image.pixel(x, y) != base) return true;
      }
    }
    return false;
  }
  void SendFocus(QEvent::Type type) {
    QFocusEvent event(type, Qt::OtherFocusReason);
    QApplication::sendEvent(&list_, &event);
  }

  CListViewEx list_;
};

TEST_F(CListViewExPaintTest, AShortenedRightAlignedCellIsDrawnFromTheLeft) {
  const QImage image = Viewport();
  const QRect longCell = Cell(0, 1);
  const QRect shortCell = Cell(1, 1);
  const auto leftHalf = [](const QRect& cell) { return cell.adjusted(0, 0, -cell.width() / 2, 0); };
  const auto rightHalf = [](const QRect& cell) { return cell.adjusted(cell.width() / 2, 0, 0, 0); };
  EXPECT_TRUE(HasInk(image, leftHalf(longCell)));
  EXPECT_FALSE(HasInk(image, leftHalf(shortCell)));
  EXPECT_TRUE(HasInk(image, rightHalf(shortCell)));
}

TEST_F(CListViewExPaintTest, ASelectedRowIsFilledAcrossAllColumnsInTheFocusColours) {
  list_.topLevelItem(1)->setSelected(true);
  const QColor highlight = list_.palette().color(QPalette::Active, QPalette::Highlight);
  const QColor menu = QApplication::palette("QMenu").color(QPalette::Active, QPalette::Window);
  ASSERT_NE(highlight, menu);
  ASSERT_NE(menu, list_.palette().color(QPalette::Base));
  struct Case {
    QEvent::Type focus;
    QColor band;
  };
  for (const Case& c : {Case{QEvent::FocusIn, highlight}, Case{QEvent::FocusOut, menu}}) {
    SendFocus(c.focus);
    const QImage image = Viewport();
    for (int column : {0, 1}) {
      const QRect cell = Cell(1, column);
      EXPECT_EQ(QColor(image.pixel(cell.right() - 1, cell.center().y())), c.band) << column;
      EXPECT_EQ(QColor(image.pixel(cell.right() - 1, Cell(0, column).center().y())),
                list_.palette().color(QPalette::Base));
    }
  }
}

TEST_F(CListViewExPaintTest, TheSortHeaderDrawsItsTriangleOnTheMarkedColumnOnly) {
  CSortHeaderCtrl& header = list_.GetSortHeader();
  EXPECT_EQ(header.SetSortMark(-1, true), -1);
  const QImage unmarked = header.grab().toImage();
  const auto section = [&](const QImage& image, int column) {
    return image.copy(header.sectionViewportPosition(column), 0, header.sectionSize(column), header.height());
  };
  for (bool ascending : {true, false}) {
    EXPECT_EQ(header.SetSortMark(1, ascending), ascending ? -1 : 1);
    const QImage marked = header.grab().toImage();
    EXPECT_EQ(section(marked, 0), section(unmarked, 0));
    EXPECT_NE(section(marked, 1), section(unmarked, 1));
  }
  EXPECT_FALSE(header.isSortIndicatorShown());
}

}  // namespace
