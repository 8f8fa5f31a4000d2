// Runs the screenshots script into a scratch folder: each program's picture, and
// each notice's, is a real grab of its maximised main window; each dialog's a grab
// of the dialog.
#include <gtest/gtest.h>

#include <QImage>
#include <string>

#include "platform/ScratchFolder.h"
#include "testsupport/ChildProcess.h"

namespace {

// Whether every sampled pixel has the colour of the first.
bool IsUniform(const QImage& image) {
  for (int y = 0; y < image.height(); y += 7) {
    for (int x = 0; x < image.width(); x += 7) {
      if (image.pixel(x, y) != image.pixel(0, 0)) return false;
    }
  }
  return true;
}

TEST(ScreenshotsTest, EachProgramGrabsItsWholeMaximisedWindowAndEachDialogItself) {
  platform::ScratchFolder scratch;
  ChildProcess script("/bin/bash", {SCREENSHOTS_SCRIPT, BUILD_FOLDER, scratch / "shots"}, {});
  ASSERT_EQ(0, script.Finish()) << script.Output() << script.Errors();
  for (const char* program :
       {"wexmoor", "brannock", "brannockpublisher", "notice-server-gone", "notice-failed-visit", "find-in-library",
        "notice-wrong-fingerprint"}) {
    const QImage image(QString::fromStdString(scratch / ("shots/" + std::string(program) + ".png")));
    ASSERT_FALSE(image.isNull()) << program;
    // The virtual screen the script makes.
    EXPECT_EQ(image.size(), QSize(1280, 800)) << program;
    EXPECT_FALSE(IsUniform(image)) << program;
  }
  for (const char* dialog : {"brannock-history", "brannock-compare"}) {
    const QImage image(QString::fromStdString(scratch / ("shots/" + std::string(dialog) + ".png")));
    ASSERT_FALSE(image.isNull()) << dialog;
    EXPECT_GT(image.width(), 400) << dialog;
    EXPECT_FALSE(IsUniform(image)) << dialog;
  }
}

}  // namespace
