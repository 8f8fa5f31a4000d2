#include "client/rules/ComparePlan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ComparePlanTest, TheSidesAreTheSelectedVersionsOlderFirstOrAVersionAndTheLocalCopy) {
  const std::string local = "/work/Plans/notes.txt";
  const struct {
    const char* what;
    std::vector<std::int32_t> selected;
    bool withLocal;
    bool localExists;
    std::string refusal;
    std::vector<std::int32_t> fetched;
    std::int32_t right;
  } cases[] = {
      {"two versions, newer picked first", {5, 2}, false, false, "", {2, 5}, 5},
      {"one version", {3}, false, false, ComparePlan::kChooseTwoVersions, {}, 0},
      {"three versions", {1, 2, 3}, false, false, ComparePlan::kChooseTwoVersions, {}, 0},
      {"one version picked twice", {2, 2}, false, false, ComparePlan::kChooseTwoVersions, {}, 0},
      {"a version with the local copy", {4}, true, true, "", {4}, ComparePlan::kLocalCopy},
      {"two versions with the local copy", {1, 4}, true, true, ComparePlan::kChooseOneVersion, {}, 0},
      {"no version with the local copy", {}, true, true, ComparePlan::kChooseOneVersion, {}, 0},
      {"no local copy", {4}, true, false, ComparePlan::kNoLocalCopy + local, {}, 0},
  };
  for (const auto& c : cases) {
    const ComparePlan plan(c.selected, c.withLocal, local, c.localExists);
    EXPECT_EQ(plan.GetRefusal(), c.refusal) << c.what;
    EXPECT_EQ(plan.IsRefused(), !c.refusal.empty()) << c.what;
    EXPECT_EQ(plan.VersionsToFetch(), c.fetched) << c.what;
    EXPECT_EQ(plan.IsRefused() ? 0 : plan.GetRightVersion(), c.right) << c.what;
  }
}

}  // namespace
