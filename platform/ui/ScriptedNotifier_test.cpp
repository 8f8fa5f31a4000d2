#include "platform/ui/ScriptedNotifier.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace platform::ui {
namespace {

Notification Message(const std::string& text, NotifyButtons buttons) {
  Notification notification;
  notification.text = text;
  notification.caption = "Brannock";
  notification.buttons = buttons;
  return notification;
}

TEST(ScriptedNotifierTest, RecordsEveryMessageAndGivesQueuedAnswersInOrder) {
  ScriptedNotifier notifier;
  notifier.QueueAnswer(NotifyAnswer::No);
  notifier.QueueAnswer(NotifyAnswer::Cancel);
  EXPECT_EQ(Notify(Message("first", NotifyButtons::YesNo)), NotifyAnswer::No);
  EXPECT_EQ(Notify(Message("second", NotifyButtons::YesNoCancel)), NotifyAnswer::Cancel);
  NotifyText("third", NotifyIcon::Warning);

  const std::vector<Notification> received = notifier.Received();
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].text, "first");
  EXPECT_EQ(received[0].caption, "Brannock");
  EXPECT_EQ(received[1].buttons, NotifyButtons::YesNoCancel);
  EXPECT_EQ(received[2].text, "third");
  EXPECT_EQ(received[2].icon, NotifyIcon::Warning);
}

TEST(ScriptedNotifierTest, WithoutQueuedAnswersGivesYesOrOk) {
  ScriptedNotifier notifier;
  EXPECT_EQ(Notify(Message("a", NotifyButtons::YesNo)), NotifyAnswer::Yes);
  EXPECT_EQ(Notify(Message("b", NotifyButtons::YesNoCancel)), NotifyAnswer::Yes);
  EXPECT_EQ(Notify(Message("c", NotifyButtons::OkCancel)), NotifyAnswer::Ok);
  EXPECT_EQ(Notify(Message("d", NotifyButtons::Ok)), NotifyAnswer::Ok);
}

TEST(ScriptedNotifierTest, DestructionRestoresTheDefaultHandler) {
  {
    ScriptedNotifier notifier;
    notifier.QueueAnswer(NotifyAnswer::No);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(Notify(Message("after", NotifyButtons::YesNo)), NotifyAnswer::Yes);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Brannock: after\n");
}

TEST(ScriptedNotifierTest, AnswersFromSeveralThreadsAreEachGivenOnce) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 50;
  ScriptedNotifier notifier;
  for (int i = 0; i < kThreads * kPerThread / 2; ++i) notifier.QueueAnswer(NotifyAnswer::No);
  std::vector<int> noAnswers(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&noAnswers, t] {
      for (int i = 0; i < kPerThread; ++i) {
        if (Notify(Message("q", NotifyButtons::YesNo)) == NotifyAnswer::No) ++noAnswers[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  int total = 0;
  for (int n : noAnswers) total += n;
  EXPECT_EQ(total, kThreads * kPerThread / 2);
  EXPECT_EQ(notifier.Received().size(), static_cast<size_t>(kThreads * kPerThread));
}

}  // namespace
}  // namespace platform::ui
