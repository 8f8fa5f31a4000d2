#include "common/FileHelpers.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>
#include <vector>

#include "common/DateTime.h"
#include "common/ServerPathContext.h"
#include "common/TempFileCounter.h"
#include "platform/Process.h"

namespace {

namespace stdfs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : stdfs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

class FileHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/paths-files-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    top_ = pattern;
  }
  void TearDown() override {
    ServerPathContext::Uninstall();
    stdfs::permissions(top_, stdfs::perms::owner_all, stdfs::perm_options::add);
    for (const auto& entry : stdfs::recursive_directory_iterator(top_)) {
      if (entry.is_directory()) stdfs::permissions(entry.path(), stdfs::perms::owner_all, stdfs::perm_options::add);
    }
    stdfs::remove_all(top_);
  }

  // Server form with the library root <top>/Root (made here) and a counter that starts
  // after `last`.
  void InstallServer(std::int32_t last = 0) {
    stdfs::create_directory(top_ + "/Root");
    counter_ = std::make_unique<TempFileCounter>(last);
    ServerPathContext::Install({[this] { return top_ + "/Root"; }, [this] { return counter_->Next(); }});
  }

  // "<folder>/<filler>" where the filler makes the whole text exactly `length` bytes.
  static std::string PadTo(const std::string& folder, std::size_t length) {
    return folder + "/" + std::string(length - folder.size() - 1, 'f');
  }

  std::string top_;
  std::unique_ptr<TempFileCounter> counter_;
};

TEST_F(FileHelpersTest, WritableFolderGainsNoFile) {
  WriteAll(top_ + "/kept.txt", "kept");
  EXPECT_TRUE(IsFolderWritable(top_));
  EXPECT_EQ(Names(top_), std::set<std::string>{"kept.txt"});
  EXPECT_EQ(ReadAll(top_ + "/kept.txt"), "kept");
}

TEST_F(FileHelpersTest, NotWritableWhenNotAFolderWrittenPlainly) {
  WriteAll(top_ + "/file.txt", "x");
  EXPECT_FALSE(IsFolderWritable(top_ + "/"));  // ends in an empty name, as a file
  EXPECT_FALSE(IsFolderWritable(top_ + "/missing"));
  EXPECT_FALSE(IsFolderWritable(top_ + "/missing/deeper"));
  EXPECT_FALSE(IsFolderWritable(top_ + "/file.txt"));
}

TEST_F(FileHelpersTest, ProbeNeverTouchesFilesAlreadyThere) {
  // Files named like a time-stamped probe, for this second and the next few.
  DateTime now;
  now.SetNow();
  std::vector<std::string> decoys;
  for (int i = 0; i < 5; ++i) {
    decoys.push_back(top_ + "/" + std::to_string(std::stoll(now.Format()) + i) + ".tmp");
    WriteAll(decoys.back(), "precious");
  }
  EXPECT_TRUE(IsFolderWritable(top_));
  for (const auto& decoy : decoys) EXPECT_EQ(ReadAll(decoy), "precious") << decoy;
  EXPECT_EQ(Names(top_).size(), decoys.size());
}

// Root writes into any folder, so the check runs in a child that gives up root.
TEST_F(FileHelpersTest, ReadOnlyFolderIsNotWritable) {
  const std::string readOnly = top_ + "/ro";
  stdfs::create_directory(readOnly);
  stdfs::permissions(top_, stdfs::perms::owner_all | stdfs::perms::others_read | stdfs::perms::others_exec);
  stdfs::permissions(readOnly, stdfs::perms::owner_read | stdfs::perms::owner_exec |
                                   stdfs::perms::others_read | stdfs::perms::others_exec);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const uid_t nobody = 65534;
    if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) ::_exit(2);
    ::_exit(IsFolderWritable(readOnly) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported writable, 2: could not drop root";
  EXPECT_TRUE(Names(readOnly).empty());
}

TEST_F(FileHelpersTest, CreateFolderPathMakesMissingLevelsOnly) {
  stdfs::create_directory(top_ + "/A");
  WriteAll(top_ + "/A/kept.txt", "kept");
  EXPECT_TRUE(CreateFolderPath(top_ + "/A/B/C"));
  EXPECT_TRUE(stdfs::is_directory(top_ + "/A/B/C"));
  EXPECT_TRUE(CreateFolderPath(top_ + "/A/B/C/"));  // again: nothing to do
  EXPECT_EQ(Names(top_ + "/A"), (std::set<std::string>{"B", "kept.txt"}));

  EXPECT_FALSE(CreateFolderPath("/"));
  EXPECT_FALSE(CreateFolderPath(""));
  EXPECT_FALSE(CreateFolderPath(top_ + "/A//D"));
  EXPECT_FALSE(stdfs::exists(top_ + "/A/D"));
}

TEST_F(FileHelpersTest, CreateFolderPathPassesExistingReadOnlyFolders) {
  stdfs::create_directories(top_ + "/A/B");
  stdfs::permissions(top_ + "/A", stdfs::perms::owner_read | stdfs::perms::owner_exec);
  EXPECT_TRUE(CreateFolderPath(top_ + "/A/B/C"));
  EXPECT_TRUE(stdfs::is_directory(top_ + "/A/B/C"));
}

TEST_F(FileHelpersTest, CreateFolderPathIsFalseWhenAFileIsInTheWay) {
  WriteAll(top_ + "/file", "x");
  EXPECT_FALSE(CreateFolderPath(top_ + "/file/B"));
  EXPECT_FALSE(CreateFolderPath(top_ + "/file"));
  EXPECT_EQ(ReadAll(top_ + "/file"), "x");
}

TEST_F(FileHelpersTest, ServerCreateFolderPathRedirectsPast200Bytes) {
  InstallServer();
  const std::string x200 = PadTo(top_, 198) + "/X";
  EXPECT_TRUE(CreateFolderPath(x200));
  EXPECT_TRUE(stdfs::is_directory(x200));
  EXPECT_FALSE(stdfs::exists(top_ + "/Root/MAX_PATH"));

  const std::string x201 = PadTo(top_, 199) + "/X";
  EXPECT_TRUE(CreateFolderPath(x201 + "/Y/Z"));
  EXPECT_TRUE(stdfs::is_directory(top_ + "/Root/MAX_PATH/X/Y/Z"));
  EXPECT_TRUE(stdfs::is_directory(PadTo(top_, 199)));
  EXPECT_FALSE(stdfs::exists(x201));
  EXPECT_TRUE(IsFolderWritable(x201 + "/Y/Z"));  // found again through the walk
}

TEST_F(FileHelpersTest, ServerCreateFolderPathFailsWithoutLibraryRoot) {
  InstallServer();
  stdfs::remove(top_ + "/Root");
  WriteAll(top_ + "/Root", "a file where the root should be");
  EXPECT_FALSE(CreateFolderPath(PadTo(top_, 199) + "/X"));
}

TEST_F(FileHelpersTest, ServerTempNamesFollowTheCounterAndSkipExistingFiles) {
  InstallServer(4);
  EXPECT_EQ(MakeTempFileName(), top_ + "/Root/TemporaryFiles/Temp_5.wxf");
  stdfs::create_directories(top_ + "/Root/TemporaryFiles");
  WriteAll(top_ + "/Root/TemporaryFiles/Temp_7.wxf", "in use");
  EXPECT_EQ(MakeTempFileName(), top_ + "/Root/TemporaryFiles/Temp_6.wxf");
  EXPECT_EQ(MakeTempFileName(), top_ + "/Root/TemporaryFiles/Temp_8.wxf");
  EXPECT_EQ(ReadAll(top_ + "/Root/TemporaryFiles/Temp_7.wxf"), "in use");
}

TEST_F(FileHelpersTest, ClientTempNamesLieInTheWorkingFolder) {
  const std::string base = platform::WorkingFolder() == "/" ? "/TemporaryFiles/Temp_"
                                                            : platform::WorkingFolder() + "/TemporaryFiles/Temp_";
  const std::string first = MakeTempFileName();
  ASSERT_EQ(first.rfind(base, 0), 0u) << first;
  const std::int32_t number = std::stoi(first.substr(base.size()));
  EXPECT_EQ(first, base + std::to_string(number) + ".wxf");
  EXPECT_GT(TempFileCounter::Client().Next(), number);  // the client's own names share the counter
}

// Names from `threads` threads at once; all must differ.
void ExpectUniqueNamesAcrossThreads() {
  constexpr int kThreads = 8, kEach = 300;
  std::vector<std::vector<std::string>> names(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&mine = names[t]] {
      for (int i = 0; i < kEach; ++i) mine.push_back(MakeTempFileName());
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<std::string> all;
  for (const auto& mine : names) all.insert(mine.begin(), mine.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
  EXPECT_EQ(all.count(""), 0u);
}

TEST_F(FileHelpersTest, TempNamesAreUniqueAcrossThreads) {
  ExpectUniqueNamesAcrossThreads();
  InstallServer();
  ExpectUniqueNamesAcrossThreads();
}

TEST_F(FileHelpersTest, MoveNeverOverwrites) {
  WriteAll(top_ + "/src.txt", "source");
  WriteAll(top_ + "/dst.txt", "destination");
  EXPECT_FALSE(MoveFileLongPath(top_ + "/src.txt", top_ + "/dst.txt"));
  EXPECT_EQ(ReadAll(top_ + "/src.txt"), "source");
  EXPECT_EQ(ReadAll(top_ + "/dst.txt"), "destination");

  stdfs::create_directory(top_ + "/sub");
  EXPECT_FALSE(MoveFileLongPath(top_ + "/src.txt", top_ + "/sub"));  // a folder is in the way
  EXPECT_TRUE(stdfs::is_empty(top_ + "/sub"));

  EXPECT_TRUE(MoveFileLongPath(top_ + "/src.txt", top_ + "/sub/moved.txt"));
  EXPECT_FALSE(stdfs::exists(top_ + "/src.txt"));
  EXPECT_EQ(ReadAll(top_ + "/sub/moved.txt"), "source");
}

TEST_F(FileHelpersTest, MoveFailsWithoutChangeOnMissingEnds) {
  WriteAll(top_ + "/src.txt", "source");
  EXPECT_FALSE(MoveFileLongPath(top_ + "/src.txt", top_ + "/missing/dst.txt"));
  EXPECT_FALSE(MoveFileLongPath(top_ + "/none.txt", top_ + "/dst.txt"));
  stdfs::create_directory(top_ + "/folder");
  EXPECT_FALSE(MoveFileLongPath(top_ + "/folder", top_ + "/moved"));  // files only
  EXPECT_EQ(Names(top_), (std::set<std::string>{"folder", "src.txt"}));
}

TEST_F(FileHelpersTest, ServerMoveUsesDeepFolderOnlyPast200Bytes) {
  InstallServer();
  const std::string x200 = PadTo(top_, 198) + "/X";
  const std::string x201 = PadTo(top_, 199) + "/X";
  ASSERT_TRUE(CreateFolderPath(x200));
  ASSERT_TRUE(CreateFolderPath(x201));
  WriteAll(top_ + "/a.txt", "a");

  EXPECT_TRUE(MoveFileLongPath(top_ + "/a.txt", x200 + "/a.txt"));  // folder part of 200 bytes
  EXPECT_EQ(ReadAll(x200 + "/a.txt"), "a");
  EXPECT_TRUE(MoveFileLongPath(x200 + "/a.txt", x201 + "/a.txt"));  // 201 bytes: under MAX_PATH
  EXPECT_EQ(ReadAll(top_ + "/Root/MAX_PATH/X/a.txt"), "a");
  EXPECT_TRUE(MoveFileLongPath(x201 + "/a.txt", top_ + "/back.txt"));
  EXPECT_EQ(ReadAll(top_ + "/back.txt"), "a");
  EXPECT_TRUE(stdfs::is_empty(top_ + "/Root/MAX_PATH/X"));
}

TEST_F(FileHelpersTest, CopyHonoursFailIfExistsAndLeavesNoTemporaryFile) {
  InstallServer();
  const std::string deep = PadTo(top_, 199) + "/X";
  ASSERT_TRUE(CreateFolderPath(deep));
  WriteAll(top_ + "/src.txt", "new");
  WriteAll(top_ + "/Root/MAX_PATH/X/dst.txt", "old");

  EXPECT_FALSE(CopyFileLongPath(true, top_ + "/src.txt", deep + "/dst.txt"));
  EXPECT_EQ(ReadAll(top_ + "/Root/MAX_PATH/X/dst.txt"), "old");
  EXPECT_TRUE(CopyFileLongPath(false, top_ + "/src.txt", deep + "/dst.txt"));
  EXPECT_EQ(ReadAll(top_ + "/Root/MAX_PATH/X/dst.txt"), "new");
  EXPECT_TRUE(CopyFileLongPath(true, deep + "/dst.txt", deep + "/copy.txt"));
  EXPECT_EQ(ReadAll(top_ + "/Root/MAX_PATH/X/copy.txt"), "new");
  EXPECT_EQ(ReadAll(top_ + "/src.txt"), "new");
  EXPECT_FALSE(CopyFileLongPath(false, top_ + "/none.txt", top_ + "/x.txt"));
  EXPECT_EQ(Names(top_ + "/Root"), std::set<std::string>{"MAX_PATH"});
}

TEST_F(FileHelpersTest, DeleteReportsWhetherTheFileIsGone) {
  WriteAll(top_ + "/f.txt", "x");
  EXPECT_TRUE(DeleteFileLongPath(top_ + "/f.txt"));
  EXPECT_FALSE(stdfs::exists(top_ + "/f.txt"));
  EXPECT_TRUE(DeleteFileLongPath(top_ + "/f.txt"));  // missing in an existing folder
  EXPECT_FALSE(DeleteFileLongPath(top_ + "/missing/f.txt"));
  stdfs::create_directory(top_ + "/sub");
  EXPECT_FALSE(DeleteFileLongPath(top_ + "/sub"));
  EXPECT_TRUE(stdfs::is_directory(top_ + "/sub"));
}

TEST_F(FileHelpersTest, RemoveFolderReportsWhetherTheFolderIsGone) {
  stdfs::create_directories(top_ + "/full/inner");
  stdfs::create_directory(top_ + "/empty");
  EXPECT_FALSE(RemoveFolderLongPath(top_ + "/full"));
  EXPECT_TRUE(stdfs::is_directory(top_ + "/full/inner"));
  EXPECT_TRUE(RemoveFolderLongPath(top_ + "/full/inner/"));
  EXPECT_TRUE(RemoveFolderLongPath(top_ + "/empty"));
  EXPECT_FALSE(stdfs::exists(top_ + "/empty"));
  EXPECT_TRUE(RemoveFolderLongPath(top_ + "/empty"));  // missing under an existing parent
  EXPECT_FALSE(RemoveFolderLongPath(top_ + "/missing/empty"));
  WriteAll(top_ + "/f.txt", "x");
  EXPECT_FALSE(RemoveFolderLongPath(top_ + "/f.txt"));
  EXPECT_TRUE(stdfs::exists(top_ + "/f.txt"));
}

TEST_F(FileHelpersTest, AttributesSwitchReadOnlyAndReportMissingFiles) {
  WriteAll(top_ + "/f.txt", "x");
  const auto writeBits = stdfs::perms::owner_write | stdfs::perms::group_write | stdfs::perms::others_write;
  EXPECT_TRUE(SetFileAttributesLongPath(top_ + "/f.txt", FileAttributes::ReadOnly));
  EXPECT_EQ(stdfs::status(top_ + "/f.txt").permissions() & writeBits, stdfs::perms::none);
  EXPECT_TRUE(SetFileAttributesLongPath(top_ + "/f.txt", FileAttributes::Normal));
  EXPECT_NE(stdfs::status(top_ + "/f.txt").permissions() & stdfs::perms::owner_write, stdfs::perms::none);
  EXPECT_FALSE(SetFileAttributesLongPath(top_ + "/none.txt", FileAttributes::ReadOnly));
  EXPECT_FALSE(SetFileAttributesLongPath(top_ + "/missing/f.txt", FileAttributes::Normal));
}

}  // namespace
