#include "common/ui/CDriveComboBox.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/ui/FakeMounts.h"
#include "platform/ScratchFolder.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"

namespace {

namespace stdfs = std::filesystem;

class DriveComboBoxTest : public ::testing::Test {
 protected:
  DriveComboBoxTest()
      : blankRoot_(mount_ / "my disk"),
        list_(nullptr, MakeFakeDrives({{mount_.Path(), "/dev/fake1"}, {blankRoot_, "server:/x", true}},
                                      {{"/dev/fake1", "Fake"}})) {
    stdfs::create_directories(blankRoot_);
    list_.FillDrives();
  }
  int ItemOf(const std::string& root) const {
    for (int i = 0; i < list_.count(); ++i) {
      if (list_.DriveAt(i) == root) return i;
    }
    return -1;
  }

  platform::ScratchFolder mount_;
  std::string blankRoot_;
  platform::ui::ScriptedNotifier notifier_;
  CDriveComboBox list_;
};

TEST_F(DriveComboBoxTest, ItemsShowTheirTextAndKeepTheirRoot) {
  ASSERT_EQ(list_.count(), 3);
  EXPECT_EQ(list_.itemText(ItemOf("/")).toStdString(), "/  (Local Fixed Disk)");
  EXPECT_EQ(list_.itemText(ItemOf(mount_.Path())).toStdString(), mount_.Path() + " Fake (Local Fixed Disk)");
  EXPECT_EQ(list_.itemText(ItemOf(blankRoot_)).toStdString(), blankRoot_ + "  (Mapped Remote Disk)");
  EXPECT_EQ(list_.DriveAt(3), "");
  // The working folder of the tests is not on a fake mount.
  EXPECT_EQ(list_.DriveAt(list_.currentIndex()), "/");
}

TEST_F(DriveComboBoxTest, SelectDriveMatchesTheWholeRootExactly) {
  list_.SelectDrive(blankRoot_);
  EXPECT_EQ(list_.DriveAt(list_.currentIndex()), blankRoot_);
  // A root that only begins like a drive, or differs in case, selects nothing.
  list_.SelectDrive(mount_.Path() + "/my");
  list_.SelectDrive(mount_ / "MY DISK");
  list_.SelectDrive("");
  EXPECT_EQ(list_.DriveAt(list_.currentIndex()), blankRoot_);
}

TEST_F(DriveComboBoxTest, DriveThatCannotBeListedIsNotReady) {
  EXPECT_TRUE(list_.IsDriveReady(ItemOf(blankRoot_)));
  stdfs::remove(blankRoot_);
  EXPECT_FALSE(list_.IsDriveReady(ItemOf(blankRoot_)));
  ASSERT_EQ(notifier_.Received().size(), 1u);
  EXPECT_EQ(notifier_.Received()[0].text, "Drive " + blankRoot_ + ": is not ready.");
  EXPECT_EQ(notifier_.Received()[0].caption, "Error");
  EXPECT_EQ(notifier_.Received()[0].icon, platform::NotifyIcon::Warning);
}

}  // namespace
