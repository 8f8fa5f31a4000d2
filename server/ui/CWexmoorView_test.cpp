#include "server/ui/CWexmoorView.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "platform/ui/QtTestApplication.h"
#include "server/ui/FakeConsoleRuntime_test.h"

namespace {

// Whether any pixel of rows [top, bottom) differs from the background.
bool RowsHoldInk(const QImage& image, int top, int bottom) {
  const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
  for (int y = top; y < bottom && y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != background) return true;
    }
  }
  return false;
}

class CWexmoorViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runtime_.snapshot.upTimeText = "Up Time is 0 week(s), 0 day(s), 0 hour(s), 0 minute(s)";
    runtime_.snapshot.activeUserText = "Active user count is 0";
    view_.resize(640, 200);
  }

  FakeConsoleRuntime runtime_;
  CWexmoorView view_{runtime_};
};

TEST_F(CWexmoorViewTest, WithoutStatusLinesTheUpTimeIsDrawnFromYTen) {
  view_.OnInitialUpdate();
  const QImage image = view_.grab().toImage();
  EXPECT_FALSE(RowsHoldInk(image, 0, 10));
  EXPECT_TRUE(RowsHoldInk(image, 10, 30));    // up time
  EXPECT_TRUE(RowsHoldInk(image, 30, 50));    // active users
  EXPECT_FALSE(RowsHoldInk(image, 50, 200));  // no users
}

TEST_F(CWexmoorViewTest, TimerRefreshesUntilStoppedAndDrawingKeepsTheLastTexts) {
  view_.OnInitialUpdate();
  EXPECT_TRUE(view_.IsTimerActive());
  EXPECT_EQ(0, runtime_.refreshes);
  runtime_.snapshot.userLines = {"ann"};
  view_.OnTimer();
  EXPECT_EQ(1, runtime_.refreshes);
  EXPECT_EQ(std::vector<std::string>{"ann"}, view_.Snapshot().userLines);

  view_.StopTimer();
  EXPECT_FALSE(view_.IsTimerActive());
  view_.OnTimer();
  EXPECT_EQ(1, runtime_.refreshes);
  EXPECT_TRUE(RowsHoldInk(view_.grab().toImage(), 50, 68));   // "ann" still drawn
}

}  // namespace
