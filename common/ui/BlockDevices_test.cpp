#include "common/ui/BlockDevices.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ScratchFolder.h"

namespace {

namespace stdfs = std::filesystem;

TEST(BlockDevices, LabelComesFromTheLinkThatPointsAtTheDevice) {
  platform::ScratchFolder dev;
  stdfs::create_directories(dev / "disk/by-label");
  dev.Put("sda1", "");
  dev.Put("sda2", "");
  stdfs::create_symlink("../../sda1", dev / "disk/by-label/Other");
  stdfs::create_symlink("../../sda2", dev / "disk/by-label/My\\x20Disk");

  EXPECT_EQ(LabelOfDevice(dev / "sda2", dev / "disk/by-label"), "My Disk");
  EXPECT_EQ(LabelOfDevice(dev / "sda1", dev / "disk/by-label"), "Other");
}

TEST(BlockDevices, NoLabelForUnlabelledOrNonDeviceSources) {
  platform::ScratchFolder dev;
  stdfs::create_directories(dev / "disk/by-label");
  dev.Put("sdb1", "");
  EXPECT_EQ(LabelOfDevice(dev / "sdb1", dev / "disk/by-label"), "");
  EXPECT_EQ(LabelOfDevice("server:/export", dev / "disk/by-label"), "");
  EXPECT_EQ(LabelOfDevice("tmpfs", dev / "disk/by-label"), "");
  EXPECT_EQ(LabelOfDevice(dev / "sdb1", dev / "no-such-folder"), "");
}

TEST(BlockDevices, PartitionsTakeTheRemovableFlagOfTheirDisk) {
  platform::ScratchFolder root;
  stdfs::create_directories(root / "devices/sdb/sdb1");
  stdfs::create_directories(root / "devices/sda/sda1");
  stdfs::create_directories(root / "devices/sr0");
  root.Put("devices/sdb/removable", "1\n");
  root.Put("devices/sda/removable", "0\n");
  root.Put("devices/sr0/removable", "1\n");
  stdfs::create_directories(root / "class");
  stdfs::create_directories(root / "dev");
  for (const char* name : {"sdb1", "sda1", "sr0"}) root.Put(std::string("dev/") + name, "");
  stdfs::create_symlink("../devices/sdb/sdb1", root / "class/sdb1");
  stdfs::create_symlink("../devices/sda/sda1", root / "class/sda1");
  stdfs::create_symlink("../devices/sr0", root / "class/sr0");

  EXPECT_TRUE(IsRemovableDevice(root / "dev/sdb1", root / "class"));
  EXPECT_TRUE(IsRemovableDevice(root / "dev/sr0", root / "class"));
  EXPECT_FALSE(IsRemovableDevice(root / "dev/sda1", root / "class"));
  EXPECT_FALSE(IsRemovableDevice("server:/export", root / "class"));
  EXPECT_FALSE(IsRemovableDevice(root / "dev/missing", root / "class"));
}

}  // namespace
