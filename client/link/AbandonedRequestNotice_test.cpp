#include "client/link/AbandonedRequestNotice.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/Notifier.h"

namespace {

TEST(AbandonedRequestNotice, HandBacksAreToldOnceEachAndOnlyAfterTheLinkIsRestored) {
  std::vector<std::string> shown;
  platform::SetNotifyHandler([&](const platform::Notification& n) {
    shown.push_back(n.text);
    return platform::NotifyAnswer::Ok;
  });
  AbandonedRequestNotice notice;
  notice.NoteRestored();
  EXPECT_FALSE(notice.TellUser({}));
  std::vector<std::thread> links;
  for (int i = 0; i < 4; ++i) links.emplace_back([&] { notice.Note(); });
  for (std::thread& link : links) link.join();
  EXPECT_FALSE(notice.TellUser({})) << "told while the link was still down";
  notice.NoteRestored();
  EXPECT_TRUE(notice.TellUser({"Check-out documents"}));
  EXPECT_FALSE(notice.TellUser({}));
  notice.Note();
  notice.NoteRestored();
  EXPECT_TRUE(notice.TellUser({}));
  platform::SetNotifyHandler(nullptr);
  EXPECT_EQ(shown, (std::vector<std::string>{std::string(AbandonedRequestNotice::kText) + "\n- Check-out documents",
                                             AbandonedRequestNotice::kText}));
}

}  // namespace
