#include "common/EditionList.h"

#include <gtest/gtest.h>

namespace {

EditionRecord Named(const std::string& name) {
  EditionRecord record;
  record.SetName(name);
  return record;
}

TEST(EditionListTest, AssignmentCopiesRecordsAndCurrentIndex) {
  EditionList source;
  source.Add(Named("<E> A"));
  source.Add(Named("<E> B"));
  source.SetCurrentIndex(1);
  EditionList target;
  target.Add(Named("<E> old"));
  target = source;
  ASSERT_EQ(target.GetCount(), 2);
  EXPECT_EQ(target.GetAt(0).GetName(), "<E> A");
  EXPECT_EQ(target.GetAt(1).GetName(), "<E> B");
  EXPECT_EQ(target.GetAt(2).GetName(), "");
  EXPECT_EQ(target.GetCurrentIndex(), 1);
  EXPECT_EQ(EditionList(source).GetCurrentIndex(), 1);
}

TEST(EditionListTest, AnEmptySourceOrRemoveAllResetsTheCurrentIndex) {
  EditionList target;
  target.Add(Named("<E> A"));
  target.SetCurrentIndex(2);
  EditionList emptyWithIndex;
  emptyWithIndex.SetCurrentIndex(2);
  target = emptyWithIndex;
  EXPECT_EQ(target.GetCount(), 0);
  EXPECT_EQ(target.GetCurrentIndex(), -1);
  EXPECT_EQ(EditionList(emptyWithIndex).GetCurrentIndex(), -1);

  target.Add(Named("<E> A"));
  target.SetCurrentIndex(0);
  target.RemoveAll();
  EXPECT_EQ(target.GetCount(), 0);
  EXPECT_EQ(target.GetCurrentIndex(), -1);
}

}  // namespace
