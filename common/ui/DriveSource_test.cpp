#include "common/ui/DriveSource.h"

#include <gtest/gtest.h>

#include "common/ui/FakeMounts.h"

namespace {

std::vector<std::string> Texts(const std::vector<Drive>& drives) {
  std::vector<std::string> texts;
  for (const Drive& drive : drives) texts.push_back(drive.text);
  return texts;
}

TEST(DriveSource, TextIsRootBlankLabelAndKind) {
  const DriveSource source = MakeFakeDrives(
      {{"/srv/data", "/dev/sda2"}, {"/mnt/share point", "server:/export", true}, {"/media/stick", "/dev/sdc1"}},
      {{"/dev/sda2", "Data"}}, {"/dev/sdc1"});
  EXPECT_EQ(Texts(source.Drives()), (std::vector<std::string>{"/  (Local Fixed Disk)",
                                                               "/mnt/share point  (Mapped Remote Disk)",
                                                               "/srv/data Data (Local Fixed Disk)"}));
  EXPECT_EQ(source.Drives()[1].root, "/mnt/share point");
}

TEST(DriveSource, SlashIsListedOnceEvenWhenMountedTwice) {
  const DriveSource source = MakeFakeDrives({{"/", "/dev/sda1"}});
  ASSERT_EQ(source.Drives().size(), 1u);
  EXPECT_EQ(source.Drives()[0].root, "/");
}

TEST(DriveSource, RootOfTakesTheLongestRootByWholeComponents) {
  const DriveSource source = MakeFakeDrives({{"/srv/lib", "/dev/sda2"}, {"/srv/lib/inner", "/dev/sdb1"}});
  EXPECT_EQ(source.RootOf("/srv/lib"), "/srv/lib");
  EXPECT_EQ(source.RootOf("/srv/lib/a/b"), "/srv/lib");
  EXPECT_EQ(source.RootOf("/srv/lib/inner/x"), "/srv/lib/inner");
  EXPECT_EQ(source.RootOf("/srv/lib2"), "/");
  EXPECT_EQ(source.RootOf("/etc"), "/");
}

}  // namespace
