// Runs the screenshots script into a scratch folder: each program's picture, and
// each notice's, is a real grab of its maximised main window.
#include <gtest/gtest.h>

#include <QImage>
#include <string>

#include "platform/ScratchFolder.h"
#include "testsupport/ChildProcess.h"

namespace {

TEST(ScreenshotsTest, EachProgramGrabsItsWholeMaximisedWindow) {
  platform::ScratchFolder scratch;
  ChildProcess script("/bin/bash", {SCREENSHOTS_SCRIPT, BUILD_FOLDER, scratch / "shots"}, {});
  ASSERT_EQ(0, script.Finish()) << script.Output() << script.Errors();
  for (const char* program :
       {"wexmoor", "brannock", "brannockpublisher", "notice-server-gone", "notice-failed-visit",
        "notice-wrong-fingerprint"}) {
    const QImage image(QString::fromStdString(scratch / ("shots/" + std::string(program) + ".png")));
    ASSERT_FALSE(image.isNull()) << program;
    // The virtual screen the script makes.
    EXPECT_EQ(image.size(), QSize(1280, 800)) << program;
    bool uniform = true;
    for (int y = 0; y < image.height() && uniform; y += 7) {
      for (int x = 0; x < image.width() && uniform; x += 7) uniform = image.pixel(x, y) == image.pixel(0, 0);
    }
    EXPECT_FALSE(uniform) << program;
  }
}

}  // namespace
