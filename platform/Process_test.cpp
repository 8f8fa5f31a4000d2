#include "platform/Process.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>

namespace platform {
namespace {

TEST(Process, WorkingFolderIsAbsoluteWithoutTrailingSlash) {
  const std::string folder = WorkingFolder();
  char current[PATH_MAX];
  ASSERT_NE(::getcwd(current, sizeof current), nullptr);
  std::string expected = current;
  if (expected.size() > 1 && expected.back() == '/') expected.pop_back();
  EXPECT_EQ(folder, expected);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  EXPECT_TRUE(folder == "/" || folder.back() != '/');
}

TEST(Process, UserAndHostHaveNames) {
  EXPECT_FALSE(LoginName().empty());
  EXPECT_FALSE(HostName().empty());
}

TEST(Process, ProgramFolderHoldsTheRunningProgram) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  EXPECT_EQ(::access((folder + "/wex_platform_tests").c_str(), X_OK), 0) << folder;
  EXPECT_EQ(InstalledDataFolder().rfind(folder + "/", 0), 0u) << InstalledDataFolder();
}

}  // namespace
}  // namespace platform
