#include "common/ServerPathContext.h"

#include <gtest/gtest.h>

class ServerPathContextTest : public ::testing::Test {
 protected:
  void TearDown() override { ServerPathContext::Uninstall(); }
};

TEST_F(ServerPathContextTest, WithoutHooksGivesTheClientForm) {
  EXPECT_FALSE(ServerPathContext::IsInstalled());
  EXPECT_EQ(ServerPathContext::LibraryRoot(), "");
  EXPECT_EQ(ServerPathContext::NextTempNumber(), 0);
}

TEST_F(ServerPathContextTest, InstalledHooksAreAskedEachTime) {
  std::string root = "/srv/lib";
  std::int32_t counter = 4;
  ServerPathContext::Install({[&] { return root; }, [&] { return ++counter; }});
  EXPECT_TRUE(ServerPathContext::IsInstalled());
  EXPECT_EQ(ServerPathContext::LibraryRoot(), "/srv/lib");
  EXPECT_EQ(ServerPathContext::NextTempNumber(), 5);
  EXPECT_EQ(ServerPathContext::NextTempNumber(), 6);
  root = "/srv/moved";  // the root may move while the server runs
  EXPECT_EQ(ServerPathContext::LibraryRoot(), "/srv/moved");

  ServerPathContext::Uninstall();
  EXPECT_FALSE(ServerPathContext::IsInstalled());
  EXPECT_EQ(ServerPathContext::NextTempNumber(), 0);
}

TEST_F(ServerPathContextTest, IncompleteHooksUninstall) {
  ServerPathContext::Install({[] { return std::string("/srv/lib"); }, [] { return 1; }});
  ServerPathContext::Install({[] { return std::string("/srv/lib"); }, nullptr});
  EXPECT_FALSE(ServerPathContext::IsInstalled());
  EXPECT_EQ(ServerPathContext::LibraryRoot(), "");
}
