#include "common/PointerArray.h"

#include <gtest/gtest.h>

#include <array>

namespace {

class PointerArrayTest : public ::testing::Test {
 protected:
  // Fills the array with pointers to the first n items, in order.
  void Fill(PointerArray<int>& array, int n) {
    for (int i = 0; i < n; ++i) array.Add(&items_[i]);
  }
  void ExpectItems(const PointerArray<int>& array, int first, int n) {
    ASSERT_EQ(array.GetSize(), n);
    for (int i = 0; i < n; ++i) EXPECT_EQ(array.GetAt(i), &items_[first + i]) << "index " << i;
  }
  std::array<int, 100> items_{};
};

TEST_F(PointerArrayTest, AddGrowsByTenSlotsWhenFull) {
  PointerArray<int> array;
  EXPECT_EQ(array.GetCapacity(), 20);
  for (int i = 0; i < 31; ++i) {
    EXPECT_EQ(array.Add(&items_[i]), i);
    if (i == 20) {
      EXPECT_EQ(array.GetCapacity(), 30);
    }
  }
  EXPECT_EQ(array.GetCapacity(), 40);
  ExpectItems(array, 0, 31);
}

TEST_F(PointerArrayTest, CopySizesFromTheSourceCount) {
  PointerArray<int> twentyFive;
  Fill(twentyFive, 25);
  const PointerArray<int> big(twentyFive);
  EXPECT_EQ(big.GetCapacity(), 35);
  ExpectItems(big, 0, 25);

  PointerArray<int> twenty;
  Fill(twenty, 20);
  twenty.Add(&items_[20]);
  twenty.RemoveAt(20);  // capacity 30, count 20
  const PointerArray<int> small(twenty);
  EXPECT_EQ(small.GetCapacity(), 20);
  ExpectItems(small, 0, 20);

  PointerArray<int> assigned;
  assigned = twentyFive;
  EXPECT_EQ(assigned.GetCapacity(), 35);
  ExpectItems(assigned, 0, 25);
}

TEST_F(PointerArrayTest, OutOfRangeIndexesChangeAndReadNothing) {
  PointerArray<int> array;
  Fill(array, 3);
  EXPECT_EQ(array.GetAt(-1), nullptr);
  EXPECT_EQ(array.GetAt(3), nullptr);
  EXPECT_EQ(array.GetAt(19), nullptr);
  array.SetAt(-1, &items_[50]);
  array.SetAt(3, &items_[50]);
  array.RemoveAt(-1);
  array.RemoveAt(3);
  ExpectItems(array, 0, 3);
  array.SetAt(1, &items_[50]);
  EXPECT_EQ(array.GetAt(1), &items_[50]);
}

TEST_F(PointerArrayTest, RemoveAtMovesLaterValuesDown) {
  PointerArray<int> array;
  Fill(array, 3);
  array.RemoveAt(0);
  ExpectItems(array, 1, 2);
}

TEST_F(PointerArrayTest, AppendGrowsByTheOtherCount) {
  PointerArray<int> array;
  Fill(array, 10);
  PointerArray<int> other;
  for (int i = 10; i < 25; ++i) other.Add(&items_[i]);
  EXPECT_EQ(array.Append(other), 15);
  EXPECT_EQ(array.GetCapacity(), 35);
  ExpectItems(array, 0, 25);
  ExpectItems(other, 10, 15);
}

TEST_F(PointerArrayTest, SelfAssignmentAndSelfAppendKeepTheValues) {
  PointerArray<int> array;
  Fill(array, 15);
  PointerArray<int>& alias = array;
  array = alias;
  ExpectItems(array, 0, 15);

  EXPECT_EQ(array.Append(alias), 15);
  ASSERT_EQ(array.GetSize(), 30);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(array.GetAt(i), &items_[i % 15]);
}

TEST_F(PointerArrayTest, RemoveAllKeepsTheBlockAndCapacityNeverShrinks) {
  PointerArray<int> array;
  Fill(array, 25);
  array.RemoveAll();
  EXPECT_EQ(array.GetSize(), 0);
  EXPECT_EQ(array.GetAt(0), nullptr);
  EXPECT_EQ(array.Add(&items_[7]), 0);
  EXPECT_EQ(array.GetCapacity(), 30);
  array.Grow(-4);
  EXPECT_EQ(array.GetCapacity(), 30);
}

}  // namespace
