#include "server/ui/ServerNotifier.h"

#include <gtest/gtest.h>

#include <QTest>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ui/QtTestApplication.h"

namespace {

using platform::Notification;
using platform::NotifyAnswer;
using platform::NotifyButtons;

class ServerNotifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ServerNotifier::Install([this](const Notification& notification) {
      std::lock_guard<std::mutex> lock(mutex_);
      shown_.push_back({notification.text, std::this_thread::get_id(), notification.caption});
      return NotifyAnswer::Yes;
    });
  }
  void TearDown() override { platform::SetNotifyHandler(nullptr); }
  std::size_t ShownCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_.size();
  }

  struct Shown {
    std::string text;
    std::thread::id thread;
    std::string caption;
  };
  std::mutex mutex_;
  std::vector<Shown> shown_;
};

TEST_F(ServerNotifierTest, OnTheInterfaceThreadTheBoxIsShownAndAnswered) {
  EXPECT_EQ(NotifyAnswer::Yes, platform::Notify({"here", "", platform::NotifyIcon::Question, NotifyButtons::YesNo}));
  platform::Notify({"titled", "Certificate", platform::NotifyIcon::Information, NotifyButtons::Ok});
  ASSERT_EQ(2u, ShownCount());
  EXPECT_EQ(std::this_thread::get_id(), shown_[0].thread);
  EXPECT_EQ("Wexmoor", shown_[0].caption);  // never the lower-case program file name
  EXPECT_EQ("Certificate", shown_[1].caption);
}

TEST_F(ServerNotifierTest, AnotherThreadNeverWaitsAndTheInterfaceThreadShowsTheBox) {
  std::vector<NotifyAnswer> answers;
  // The worker is joined before any event is processed here: had it waited for
  // the box, the join would never return.
  std::thread worker([&] {
    for (const NotifyButtons buttons : {NotifyButtons::Ok, NotifyButtons::YesNo, NotifyButtons::YesNoCancel}) {
      answers.push_back(platform::Notify({"from a connection", "", platform::NotifyIcon::Error, buttons}));
    }
  });
  worker.join();
  EXPECT_EQ((std::vector<NotifyAnswer>{NotifyAnswer::Ok, NotifyAnswer::No, NotifyAnswer::Cancel}), answers);
  EXPECT_EQ(0u, ShownCount());
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownCount() == 3; }, 5000));
  for (const Shown& shown : shown_) {
    EXPECT_EQ("from a connection", shown.text);
    EXPECT_EQ(std::this_thread::get_id(), shown.thread);
  }
}

}  // namespace
