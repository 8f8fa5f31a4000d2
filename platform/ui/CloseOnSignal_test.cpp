#include "platform/ui/CloseOnSignal.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QTest>

#include "platform/ui/QtTestApplication.h"

namespace {

using platform::ui::CloseOnSignal;

TEST(CloseOnSignalTest, EachTerminationSignalIsRequestedOnTheEventLoop) {
  ASSERT_TRUE(CloseOnSignal::Install());
  CloseOnSignal watcher;
  int requests = 0;
  QObject::connect(&watcher, &CloseOnSignal::requested, [&] { ++requests; });
  for (int signal : {SIGTERM, SIGINT}) {
    const int before = requests;
    ASSERT_EQ(raise(signal), 0);
    EXPECT_EQ(requests, before) << "the handler itself calls nothing";
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests > before; }, 10000)) << signal;
  }
}

}  // namespace
