#include "client/rules/PaneLayout.h"

#include <gtest/gtest.h>

namespace {

PaneLayout::StoredSizes Stored(int rowListHeight, int localHeight) { return {300, 100, 40, rowListHeight, 0, localHeight}; }

TEST(PaneLayoutTest, TheRestoredLayoutTakesTheStoredSizesAsTheyAre) {
  PaneLayout layout;
  layout.Compute(Stored(250, 250), true);
  const PaneLayout::SplitterSizes sizes = layout.Compute(Stored(245, 260), false);
  EXPECT_EQ(sizes.treeWidth, 300);
  EXPECT_EQ(sizes.rowListWidth, 40);
  EXPECT_EQ(sizes.rowListHeight, 245);
  EXPECT_EQ(sizes.localHeight, 260);
  EXPECT_EQ(layout.GetRememberedRowListHeight(), 250);   // the restored layout leaves them
}

TEST(PaneLayoutTest, TheMaximisedLayoutKeepsRowsOnlyAgainstSmallMovesInTheirDirection) {
  struct Case {
    int rowList;
    int local;
    int expectedRowList;
    int expectedLocal;
  };
  // Remembered: 250 and 250.
  const Case cases[] = {
      {230, 270, 250, 250},   // both moved within 20 px in their direction: kept
      {229, 271, 229, 271},   // one pixel further: replaced
      {251, 249, 251, 249},   // the other direction: replaced
      {250, 250, 250, 250},
  };
  for (const Case& c : cases) {
    PaneLayout layout;
    layout.Compute(Stored(250, 250), true);
    const PaneLayout::SplitterSizes sizes = layout.Compute(Stored(c.rowList, c.local), true);
    EXPECT_EQ(sizes.rowListHeight, c.expectedRowList) << c.rowList;
    EXPECT_EQ(sizes.localHeight, c.expectedLocal) << c.local;
    EXPECT_EQ(layout.GetRememberedLocalHeight(), c.expectedLocal);
  }
}

TEST(PaneLayoutTest, NothingRememberedTakesTheProfileEvenWithinTheTolerance) {
  PaneLayout layout;
  const PaneLayout::SplitterSizes sizes = layout.Compute(Stored(10, 5), true);
  EXPECT_EQ(sizes.rowListHeight, 10);
  EXPECT_EQ(sizes.localHeight, 5);
}

TEST(PaneLayoutTest, PanesStoreOnlyAfterTheFirstShowAndNeverWhileApplying) {
  PaneLayout::SetWindowShown(false);
  EXPECT_FALSE(PaneLayout::MayStorePaneSizes());
  PaneLayout::SetWindowShown(true);
  EXPECT_TRUE(PaneLayout::MayStorePaneSizes());
  {
    PaneLayout::ApplyingScope outer;
    EXPECT_TRUE(outer.Entered());
    {
      PaneLayout::ApplyingScope nested;
      EXPECT_FALSE(nested.Entered());
    }
    EXPECT_FALSE(PaneLayout::MayStorePaneSizes());   // the nested end keeps the outer one's flag
  }
  EXPECT_TRUE(PaneLayout::MayStorePaneSizes());
  PaneLayout::SetWindowShown(false);
}

}  // namespace
