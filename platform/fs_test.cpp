#include "platform/fs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/ScratchFolder.h"

namespace platform::fs {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<FolderEntry> entries;
  EXPECT_TRUE(ListFolder(folder, entries));
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  return names;
}

void SetModificationTime(const std::string& path, std::time_t time) {
  const struct timespec times[2] = {{time, 0}, {time, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class FsTest : public ::testing::Test {
 protected:
  ScratchFolder dir;
};

TEST_F(FsTest, MoveNeverOverwritesAnExistingTarget) {
  const auto source = dir.Put("source.txt", "new");
  const auto target = dir.Put("target.txt", "old");
  EXPECT_FALSE(MoveNoReplace(source, target));
  EXPECT_EQ(ScratchFolder::Read(source), "new");
  EXPECT_EQ(ScratchFolder::Read(target), "old");

  ASSERT_TRUE(CreateFolder(dir / "sub"));
  ASSERT_TRUE(CreateFolder(dir / "other"));
  EXPECT_FALSE(MoveNoReplace(dir / "sub", dir / "other"));   // rename(2) would replace an empty folder
  EXPECT_TRUE(IsFolder(dir / "sub"));
  EXPECT_FALSE(MoveNoReplace(dir / "missing", dir / "anything"));
  EXPECT_FALSE(Exists(dir / "anything"));
}

TEST_F(FsTest, MoveWorksAcrossTwoFoldersForFilesAndFolders) {
  ASSERT_TRUE(CreateFolder(dir / "a"));
  ASSERT_TRUE(CreateFolder(dir / "b"));
  const auto source = dir.Put("a/file.bin", std::string("x\0y", 3));
  ASSERT_TRUE(MoveNoReplace(source, dir / "b/moved.bin"));
  EXPECT_FALSE(Exists(source));
  EXPECT_EQ(ScratchFolder::Read(dir / "b/moved.bin"), std::string("x\0y", 3));

  ASSERT_TRUE(MoveNoReplace(dir / "a", dir / "b/a-moved"));
  EXPECT_FALSE(Exists(dir / "a"));
  EXPECT_TRUE(IsFolder(dir / "b/a-moved"));
}

TEST_F(FsTest, MoveAcrossDevicesCopiesAndKeepsModeAndTime) {
  struct stat here {}, shm {};
  if (::stat(dir.Path().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "no second file system at hand";
  }
  const auto source = dir.Put("cross.txt", "across");
  ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
  SetModificationTime(source, 1000000000);
  const std::string target = "/dev/shm/wex-fs-test-" + std::to_string(::getpid());
  ASSERT_TRUE(MoveNoReplace(source, target));
  EXPECT_FALSE(Exists(source));
  EXPECT_EQ(ScratchFolder::Read(target), "across");
  EXPECT_EQ(ModeOf(target), 0640u);
  std::time_t time = 0;
  EXPECT_TRUE(ModificationTime(target, time));
  EXPECT_EQ(time, 1000000000);

  const auto blocked = dir.Put("blocked.txt", "stays");
  EXPECT_FALSE(MoveNoReplace(blocked, target));
  EXPECT_EQ(ScratchFolder::Read(target), "across");
  EXPECT_EQ(ScratchFolder::Read(blocked), "stays");
  EXPECT_TRUE(DeleteFile(target));
}

TEST_F(FsTest, ReadOnlyIsSetAndClearedInTheModeBits) {
  const auto file = dir.Put("ro.txt", "x");
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  EXPECT_FALSE(IsReadOnly(file));

  ASSERT_TRUE(SetReadOnly(file, true));
  EXPECT_EQ(ModeOf(file), 0444u);
  EXPECT_TRUE(IsReadOnly(file));

  ASSERT_TRUE(SetReadOnly(file, false));
  EXPECT_NE(ModeOf(file) & S_IWUSR, 0u);
  EXPECT_EQ(ModeOf(file) & 0555, 0444u);
  EXPECT_FALSE(IsReadOnly(file));

  EXPECT_FALSE(SetReadOnly(dir / "missing", true));
  EXPECT_FALSE(IsReadOnly(dir / "missing"));
}

TEST_F(FsTest, CopyWithFailIfExistsLeavesTheDestinationAlone) {
  const auto source = dir.Put("source.txt", "new");
  const auto target = dir.Put("target.txt", "old");
  EXPECT_FALSE(CopyFile(source, target, CopyMode::FailIfExists));
  EXPECT_EQ(ScratchFolder::Read(target), "old");
  EXPECT_EQ(NamesIn(dir.Path()), (std::vector<std::string>{"source.txt", "target.txt"}));

  ASSERT_TRUE(CopyFile(source, dir / "fresh.txt", CopyMode::FailIfExists));
  EXPECT_EQ(ScratchFolder::Read(dir / "fresh.txt"), "new");
  EXPECT_EQ(ScratchFolder::Read(source), "new");
}

TEST_F(FsTest, CopyOverwriteKeepsModeAndModificationTime) {
  const std::string big(3 * 65536 + 17, 'q');
  const auto source = dir.Put("source.bin", big);
  const auto target = dir.Put("target.bin", "old");
  ASSERT_EQ(::chmod(source.c_str(), 0600), 0);
  SetModificationTime(source, 1234567890);

  ASSERT_TRUE(CopyFile(source, target, CopyMode::Overwrite));
  EXPECT_EQ(ScratchFolder::Read(target), big);
  EXPECT_EQ(ModeOf(target), 0600u);
  std::time_t time = 0;
  ASSERT_TRUE(ModificationTime(target, time));
  EXPECT_EQ(time, 1234567890);
  EXPECT_EQ(NamesIn(dir.Path()), (std::vector<std::string>{"source.bin", "target.bin"}));
}

TEST_F(FsTest, FailedCopiesLeaveNothingBehind) {
  ASSERT_TRUE(CreateFolder(dir / "folder"));
  EXPECT_FALSE(CopyFile(dir / "missing", dir / "copy", CopyMode::Overwrite));
  EXPECT_FALSE(CopyFile(dir / "folder", dir / "copy", CopyMode::Overwrite));
  const auto source = dir.Put("source.txt", "x");
  EXPECT_FALSE(CopyFile(source, dir / "no-such-folder/copy", CopyMode::Overwrite));
  EXPECT_EQ(NamesIn(dir.Path()), (std::vector<std::string>{"folder", "source.txt"}));
}

TEST_F(FsTest, SizesAreSixtyFourBit) {
  const auto path = dir / "sparse.bin";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  const std::int64_t fiveGiB = 5LL * 1024 * 1024 * 1024;
  ASSERT_EQ(::ftruncate(fd, fiveGiB), 0);
  ::close(fd);
  std::int64_t size = 0;
  ASSERT_TRUE(FileSize(path, size));
  EXPECT_EQ(size, fiveGiB);
  EXPECT_FALSE(FileSize(dir / "missing", size));
}

TEST_F(FsTest, ListFolderGivesSortedEntriesWithDetails) {
  dir.Put("b.txt", "12345");
  ASSERT_TRUE(CreateFolder(dir / "a"));
  dir.Put("c", "");
  ASSERT_EQ(::symlink("a", (dir / "d").c_str()), 0);
  SetModificationTime(dir / "b.txt", 1500000000);

  std::vector<FolderEntry> entries;
  ASSERT_TRUE(ListFolder(dir.Path(), entries));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, "a");
  EXPECT_TRUE(entries[0].isFolder);
  EXPECT_FALSE(entries[0].isLink);
  EXPECT_EQ(entries[1].name, "b.txt");
  EXPECT_FALSE(entries[1].isFolder);
  EXPECT_EQ(entries[1].size, 5);
  EXPECT_EQ(entries[1].modified, 1500000000);
  EXPECT_EQ(entries[2].name, "c");
  EXPECT_TRUE(entries[3].isFolder);
  EXPECT_TRUE(entries[3].isLink);

  EXPECT_FALSE(ListFolder(dir / "missing", entries));
  EXPECT_FALSE(ListFolder(dir / "b.txt", entries));
}

TEST_F(FsTest, CreateDeleteAndRemoveReportTheStateAfterwards) {
  EXPECT_TRUE(CreateFolder(dir / "f"));
  EXPECT_TRUE(CreateFolder(dir / "f"));          // already there
  const auto file = dir.Put("file", "x");
  EXPECT_FALSE(CreateFolder(file));              // a file stands there
  EXPECT_FALSE(CreateFolder(dir / "x/y"));       // one level only

  dir.Put("f/inside", "x");
  EXPECT_FALSE(RemoveFolder(dir / "f"));
  EXPECT_TRUE(DeleteFile(dir / "f/inside"));
  EXPECT_TRUE(DeleteFile(dir / "f/inside"));     // a missing file counts as gone
  EXPECT_TRUE(RemoveFolder(dir / "f"));
  EXPECT_FALSE(Exists(dir / "f"));

  std::uint64_t free = 0;
  EXPECT_TRUE(FreeBytes(dir.Path(), free));
  EXPECT_GT(free, 0u);
  EXPECT_FALSE(FreeBytes(dir / "missing", free));
}

TEST_F(FsTest, TemporaryFilesAreNewHiddenFilesBesideTheTarget) {
  EXPECT_EQ(ParentFolder("/a/b"), "/a");
  EXPECT_EQ(ParentFolder("/a"), "/");
  EXPECT_EQ(ParentFolder("a"), ".");

  std::string first, second;
  const int a = CreateTemporaryBeside(dir / "record.wxf", "tmp", 0600, first);
  const int b = CreateTemporaryBeside(dir / "record.wxf", "tmp", 0600, second);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  ::close(a);
  ::close(b);
  EXPECT_NE(first, second);
  EXPECT_EQ(ParentFolder(first), dir.Path());
  EXPECT_EQ(first.rfind(dir / ".record.wxf.tmp-", 0), 0u) << first;
  EXPECT_EQ(ModeOf(first), 0600u);
  EXPECT_EQ(CreateTemporaryBeside(dir / "missing/record.wxf", "tmp", 0600, first), -1);
}

TEST(FsVolumes, MountsAreFilteredClassifiedAndUnescaped) {
  const std::string mounts =
      "sysfs /sys sysfs rw 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sda2 /home ext4 rw 0 0\n"
      "overlay / overlay rw 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n"
      "tmpfs /run/user/1000 tmpfs rw 0 0\n"
      "tmpfs /dev/shm tmpfs rw 0 0\n"
      "tmpfs /scratch tmpfs rw 0 0\n"
      "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
      "server:/export /mnt/My\\040Share nfs4 rw 0 0\n"
      "//host/share /mnt/smb cifs rw 0 0\n"
      "me@host:/ /mnt/ssh fuse.sshfs rw 0 0\n"
      "devpts /dev/pts devpts rw 0 0\n"
      "mqueue /dev/mqueue mqueue rw 0 0\n";
  const auto volumes = ParseMounts(mounts);
  ASSERT_EQ(volumes.size(), 6u);
  EXPECT_EQ(volumes[0].root, "/");
  EXPECT_EQ(volumes[0].label, "overlay (overlay)");
  EXPECT_FALSE(volumes[0].remote);
  EXPECT_EQ(volumes[1].root, "/home");
  EXPECT_FALSE(volumes[1].remote);
  EXPECT_EQ(volumes[2].root, "/scratch");
  EXPECT_EQ(volumes[3].root, "/mnt/My Share");
  EXPECT_TRUE(volumes[3].remote);
  EXPECT_EQ(volumes[3].label, "server:/export (nfs4)");
  EXPECT_TRUE(volumes[4].remote);
  EXPECT_TRUE(volumes[5].remote);

  EXPECT_EQ(ParseMounts("").size(), 1u);   // "/" is always there
  EXPECT_EQ(MountedVolumes().front().root, "/");
}

}  // namespace
}  // namespace platform::fs
