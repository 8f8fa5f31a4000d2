#include "common/ui/FolderPaths.h"

#include <gtest/gtest.h>

namespace {

using Chain = std::vector<std::string>;

TEST(FolderPaths, JoinNeverDoublesTheSeparator) {
  EXPECT_EQ(JoinFolderPath("/", "etc"), "/etc");
  EXPECT_EQ(JoinFolderPath("/mnt/data", "docs"), "/mnt/data/docs");
  EXPECT_EQ(JoinFolderPath("/mnt/data/", "docs"), "/mnt/data/docs");
  EXPECT_EQ(JoinFolderPath("", "docs"), "docs");
}

TEST(FolderPaths, ChainStartsAtTheMountRootWithOneNodePerComponent) {
  EXPECT_EQ(FolderChain("/", "/"), Chain{"/"});
  EXPECT_EQ(FolderChain("/etc/ssl", "/"), (Chain{"/", "etc", "ssl"}));
  EXPECT_EQ(FolderChain("/mnt/my data/a b", "/mnt/my data"), (Chain{"/mnt/my data", "a b"}));
  EXPECT_EQ(FolderChain("/mnt/my data", "/mnt/my data"), Chain{"/mnt/my data"});
}

TEST(FolderPaths, RootsMatchWholeComponentsOnly) {
  EXPECT_TRUE(IsFolderOnRoot("/srv/lib/x", "/srv/lib"));
  EXPECT_FALSE(IsFolderOnRoot("/srv/lib2", "/srv/lib"));
  EXPECT_FALSE(IsFolderOnRoot("/srv/Lib", "/srv/lib"));
  EXPECT_FALSE(IsFolderOnRoot("relative", "/"));
  // A folder off the given root is chained from "/".
  EXPECT_EQ(FolderChain("/srv/lib2", "/srv/lib"), (Chain{"/", "srv", "lib2"}));
}

TEST(FolderPaths, TypedPathsAreMadeAbsoluteAndTidy) {
  const std::pair<std::string, std::string> cases[] = {
      {"/srv//lib/", "/srv/lib"},       {"docs/../lib", "/base/lib"}, {"~", "/home/ann"},
      {"~/libs/./new", "/home/ann/libs/new"}, {"~ann", "/base/~ann"},   {"/", "/"}};
  for (const auto& [typed, expected] : cases) EXPECT_EQ(TypedFolderPath(typed, "/base", "/home/ann"), expected) << typed;
}

}  // namespace
