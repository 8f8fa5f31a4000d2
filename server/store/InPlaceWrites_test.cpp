#include "server/store/InPlaceWrites.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

TEST(InPlaceWritesTest, AWatchHoldsEachPathNotedWhileItLivedOnce) {
  InPlaceWrites::Note("/lib/before");
  std::optional<InPlaceWrites::Watch> first;
  first.emplace();
  InPlaceWrites::Note("/lib/a");
  InPlaceWrites::Watch second;
  InPlaceWrites::Note("/lib/b");
  InPlaceWrites::Note("/lib/a");
  EXPECT_EQ(first->Noted(), (Paths{"/lib/a", "/lib/b"}));
  EXPECT_EQ(second.Noted(), (Paths{"/lib/b", "/lib/a"}));
  first.reset();
  InPlaceWrites::Note("/lib/c");
  EXPECT_EQ(second.Noted(), (Paths{"/lib/b", "/lib/a", "/lib/c"}));
}

}  // namespace
