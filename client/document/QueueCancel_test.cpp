#include "client/document/QueueCancel.h"

#include <gtest/gtest.h>

namespace {

// The steps given up, done and awaited are counted in the notice, each in its number.
TEST(QueueCancel, TheNoticeSaysWhatWasGivenUpDoneAndAwaited) {
  struct Case {
    QueueCancel cancel;
    std::string text;
  };
  for (const Case& c : {Case{{1, 0, 2}, "Cancelled: 2 steps of the operation were not sent. 1 step was done and "
                                        "stays done."},
                        Case{{0, 1, 1}, "Cancelled: 1 step of the operation was not sent. 0 steps were done and "
                                        "stay done. 1 step already sent finishes as the library answers."}}) {
    EXPECT_EQ(c.cancel.Text(), c.text);
  }
}

}  // namespace
