#include "common/ui/DrivePathList.h"

#include <gtest/gtest.h>

namespace {

TEST(DrivePathList, KeepsOneEntryPerDriveInOrderOfFirstUse) {
  DrivePathList list;
  list.SetDrivePath("/", "/etc");
  list.SetDrivePath("/mnt/data", "/mnt/data/a");
  list.SetDrivePath("/", "/usr/lib");
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.GetAt(0).drive, "/");
  EXPECT_EQ(list.GetAt(0).path, "/usr/lib");
  EXPECT_EQ(list.GetAt(1).path, "/mnt/data/a");
  list.RemoveAll();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetDrivePath("/"), "");
}

TEST(DrivePathList, DrivesAreComparedExactly) {
  DrivePathList list;
  list.SetDrivePath("/mnt/Data", "/mnt/Data/x");
  EXPECT_EQ(list.GetDrivePath("/mnt/data"), "");
  EXPECT_EQ(list.GetDrivePath("/mnt/Data/"), "");
  EXPECT_EQ(list.GetDrivePath("/mnt/Data"), "/mnt/Data/x");
}

}  // namespace
