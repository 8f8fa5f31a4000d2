#include "platform/CriticalSection.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

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

// Enters the sections named by index in turn, then leaves them in reverse.
[[maybe_unused]] void EnterInTurn(CriticalSection* sections, const std::vector<int>& order) {
  for (int index : order) sections[index].Enter();
  for (auto index = order.rbegin(); index != order.rend(); ++index) sections[*index].Leave();
}

TEST(CriticalSection, RankedSectionsAreEnteredInRisingRankOnly) {
#ifdef NDEBUG
  GTEST_SKIP() << "the order is checked in debug and sanitizer builds";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  CriticalSection sections[] = {{1, "tree"}, {2, "inventory"}, {2, "other"}, {0, "unranked"}};
  const struct {
    std::vector<int> order;
    bool aborts;
  } cases[] = {
      {{0, 1}, false},
      {{0, 1, 0, 1}, false},  // entering a held section again keeps no order
      {{0, 3, 1, 3}, false},  // unranked sections take part in no order
      {{1, 0}, true},
      {{1, 2}, true},  // equal ranks have no order between them
  };
  for (const auto& c : cases) {
    if (c.aborts) {
      EXPECT_DEATH(EnterInTurn(sections, c.order), "Lock order broken: entering the .* section \\(rank") << c.order[1];
    } else {
      EnterInTurn(sections, c.order);
      EXPECT_TRUE(OtherThreadCanEnter(sections[c.order[0]]));
    }
  }
#endif
}

}  // namespace
}  // namespace platform
