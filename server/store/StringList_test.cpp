#include "server/store/StringList.h"

#include <gtest/gtest.h>

namespace {

StringList ThreeNames() {
  StringList list;
  list.Add("alpha");
  list.Add("beta");
  list.Add("gamma");
  return list;
}

}  // namespace

TEST(StringListTest, CopyIsIndependentOfSource) {
  StringList source = ThreeNames();
  StringList copy(source);
  copy.SetAt(1, "changed");
  copy.Add("delta");
  EXPECT_EQ(source.GetAt(1), "beta");
  EXPECT_EQ(source.GetSize(), 3);

  StringList assigned;
  assigned.Add("old");
  assigned = source;
  ASSERT_EQ(assigned.GetSize(), 3);
  EXPECT_EQ(assigned.GetAt(0), "alpha");
  EXPECT_EQ(assigned.GetAt(2), "gamma");
}

TEST(StringListTest, IndexOutOfRangeIsRefusedWithoutChange) {
  StringList list = ThreeNames();
  EXPECT_EQ(list.GetAt(-1), "");
  EXPECT_EQ(list.GetAt(3), "");
  EXPECT_FALSE(list.SetAt(3, "x"));
  EXPECT_FALSE(list.RemoveAt(-1));
  EXPECT_EQ(list.GetSize(), 3);
}
