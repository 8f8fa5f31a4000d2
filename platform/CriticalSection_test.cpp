#include "platform/CriticalSection.h"

#include <gtest/gtest.h>

#include <thread>

namespace platform {
namespace {

bool OtherThreadCanEnter(CriticalSection& section) {
  bool entered = false;
  std::thread other([&] {
    entered = section.TryEnter();
    if (entered) section.Leave();
  });
  other.join();
  return entered;
}

TEST(CriticalSection, HolderMayEnterAgainAndOthersWaitUntilItLeavesFully) {
  CriticalSection section;
  {
    CriticalSection::Lock outer(section);
    {
      CriticalSection::Lock inner(section);   // would deadlock if not re-entrant
      EXPECT_FALSE(OtherThreadCanEnter(section));
    }
    EXPECT_FALSE(OtherThreadCanEnter(section));
  }
  EXPECT_TRUE(OtherThreadCanEnter(section));
}

}  // namespace
}  // namespace platform
