#include "platform/Notifier.h"

#include <gtest/gtest.h>

#include <vector>

namespace platform {
namespace {

TEST(Notifier, InstalledHandlerSeesEveryMessageAndGivesTheAnswer) {
  std::vector<Notification> seen;
  SetNotifyHandler([&seen](const Notification& n) {
    seen.push_back(n);
    return NotifyAnswer::No;
  });
  EXPECT_EQ(Notify({"Delete it?", "Wexmoor", NotifyIcon::Question, NotifyButtons::YesNo}), NotifyAnswer::No);
  NotifyText("Done.");
  SetNotifyHandler(nullptr);

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].caption, "Wexmoor");
  EXPECT_EQ(seen[0].buttons, NotifyButtons::YesNo);
  EXPECT_EQ(seen[1].text, "Done.");
  EXPECT_EQ(seen[1].icon, NotifyIcon::Information);
  EXPECT_EQ(seen[1].buttons, NotifyButtons::Ok);
}

TEST(Notifier, DefaultWritesToStandardErrorAndAgrees) {
  testing::internal::CaptureStderr();
  const NotifyAnswer yes = Notify({"Go on?", "Brannock", NotifyIcon::Question, NotifyButtons::YesNoCancel});
  const NotifyAnswer ok = Notify({"Saved.", "", NotifyIcon::None, NotifyButtons::OkCancel});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Brannock: Go on?\nSaved.\n");
  EXPECT_EQ(yes, NotifyAnswer::Yes);
  EXPECT_EQ(ok, NotifyAnswer::Ok);
}

}  // namespace
}  // namespace platform
