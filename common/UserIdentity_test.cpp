#include "common/UserIdentity.h"

#include <gtest/gtest.h>

namespace {

TEST(UserIdentityTest, EqualityComparesBothWords) {
  UserIdentity a;
  UserIdentity b;
  EXPECT_EQ(a.GetUserId(), 0u);
  EXPECT_EQ(a.GetSecondWord(), 0u);
  EXPECT_TRUE(a == b);

  a.SetUserId(42);
  b.SetUserId(42);
  b.SetSecondWord(1);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a != b);

  UserIdentity c;
  c = b;
  EXPECT_TRUE(c == b);
  EXPECT_EQ(c.GetSecondWord(), 1u);
}

}  // namespace
