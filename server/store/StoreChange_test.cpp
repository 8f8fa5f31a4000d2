#include "server/store/StoreChange.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/DiskChangeHook.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace {

class StoreChangeTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetDiskChangeHookForTesting(nullptr); }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  void Put(const std::string& name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
  }
  // Every file below the folder with its content, but the journal's and the hidden
  // temporaries of cut atomic writes (the store's start-up sweep takes those).
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_)) {
      const std::string path = entry.path().string();
      if (!entry.is_regular_file() || path.rfind(journal_, 0) == 0) continue;
      if (entry.path().filename().string().front() == '.') continue;
      std::ifstream in(path, std::ios::binary);
      std::ostringstream content;
      content << in.rdbuf();
      files[path.substr(folder_.size() + 1)] = content.str();
    }
    return files;
  }
  // Five kinds of step over the files "a" (rewritten), "f" (a line appended), "b"
  // (new), "c" (moved to "sub/d") and "e" (removed).
  StoreChange FiveSteps() const {
    StoreChange change(journal_);
    change.WriteFile(Path("a"), "new a");
    EXPECT_TRUE(change.AppendFile(Path("f"), "more f\n"));
    change.WriteFile(Path("b"), "new b");
    change.CreateFolder(Path("sub"));
    change.MoveFile(Path("c"), Path("sub/d"), true);
    change.RemoveFile(Path("e"));
    return change;
  }
  void PutOldFiles() const {
    Put("a", "old a");
    Put("c", "content c");
    Put("e", "old e");
    Put("f", "old f\n");
  }
  // The change killed at the first disk change after its record is in place, the
  // record taken out of the journal: what start-up finds after such a crash.
  std::string RecordOfKilledChange() const {
    const pid_t child = ::fork();
    if (child == 0) {
      platform::SetDiskChangeHookForTesting([this] {
        if (StoreChange::HasRecords(journal_)) ::_exit(9);
      });
      ::_exit(FiveSteps().Commit() ? 0 : 3);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
    std::vector<platform::fs::FolderEntry> records;
    EXPECT_TRUE(platform::fs::ListFolder(journal_, records));
    EXPECT_EQ(records.size(), 1U);
    if (records.size() != 1) return "";
    const std::string record = journal_ + "/" + records[0].name;
    std::string text;
    EXPECT_TRUE(platform::fs::ReadWholeFile(record, text));
    platform::fs::DeleteFile(record);
    return text;
  }
  void PutRecord(const std::string& text) const { std::ofstream(journal_ + "/1.wxj", std::ios::binary) << text; }
  const std::map<std::string, std::string> before_{
      {"a", "old a"}, {"c", "content c"}, {"e", "old e"}, {"f", "old f\n"}};
  const std::map<std::string, std::string> after_{
      {"a", "new a"}, {"b", "new b"}, {"sub/d", "content c"}, {"f", "old f\nmore f\n"}};

  platform::ScratchFolder scratch_;
  const std::string folder_ = scratch_ / "lib";
  const std::string journal_ = folder_ + "/Journal";
};

TEST_F(StoreChangeTest, ACommitMakesEveryStepOrUndoesTheOnesMade) {
  struct Case {
    const char* name;
    bool blockTheMove;  // a file already at the move's destination makes the move fail
  };
  for (const Case& c : {Case{"every step made", false}, Case{"a failed move", true}}) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(folder_);
    ASSERT_TRUE(platform::fs::CreateFolder(folder_));
    PutOldFiles();
    auto expected = c.blockTheMove ? before_ : after_;
    if (c.blockTheMove) {
      ASSERT_TRUE(platform::fs::CreateFolder(Path("sub")));
      Put("sub/d", "in the way");
      expected["sub/d"] = "in the way";
    }
    EXPECT_EQ(FiveSteps().Commit(), !c.blockTheMove);
    EXPECT_EQ(Files(), expected);
    EXPECT_FALSE(StoreChange::HasRecords(journal_));
  }
}

// The change killed at each of its disk changes in turn, then recovered.
TEST_F(StoreChangeTest, AChangeKilledAnywhereIsRecoveredWholeOrAbsent) {
  bool completed = false;
  int kills = 0;
  for (int n = 1; !completed && n < 200; ++n) {
    SCOPED_TRACE(n);
    std::filesystem::remove_all(folder_);
    ASSERT_TRUE(platform::fs::CreateFolder(folder_));
    PutOldFiles();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int changes = 0;
      platform::SetDiskChangeHookForTesting([&changes, n] {
        if (++changes == n) ::_exit(9);
      });
      ::_exit(FiveSteps().Commit() ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    completed = WEXITSTATUS(status) == 0;
    if (!completed) {
      ASSERT_EQ(WEXITSTATUS(status), 9);
      ++kills;
    }
    std::vector<std::string> problems;
    EXPECT_TRUE(StoreChange::RecoverFolder(journal_, problems));
    const auto files = Files();
    EXPECT_TRUE(files == before_ || files == after_);
    EXPECT_FALSE(StoreChange::HasRecords(journal_));
  }
  EXPECT_TRUE(completed);
  EXPECT_GT(kills, 4);
}

TEST_F(StoreChangeTest, ARecordThatOutlivedItsChangeNeverUndoesALaterOne) {
  ASSERT_TRUE(platform::fs::CreateFolder(folder_));
  PutOldFiles();
  const std::string record = RecordOfKilledChange();
  ASSERT_FALSE(record.empty());
  PutRecord(record);
  std::vector<std::string> problems;
  ASSERT_TRUE(StoreChange::RecoverFolder(journal_, problems));
  ASSERT_EQ(Files(), after_);
  Put("a", "later a");
  Put("e", "a new e");
  Put("f", "old f\nmore f\nlater f\n");
  PutRecord(record);
  EXPECT_TRUE(StoreChange::RecoverFolder(journal_, problems));
  EXPECT_EQ(Files().at("a"), "later a");
  EXPECT_EQ(Files().at("e"), "a new e");
  EXPECT_EQ(Files().at("f"), "old f\nmore f\nlater f\n");
  EXPECT_FALSE(StoreChange::HasRecords(journal_));
}

// Start-up finishes an append from whatever its file holds: undone, cut short or
// made, and leaves a file that another change has rewritten since.
TEST_F(StoreChangeTest, AnAppendIsFinishedFromAnyStateOfItsFile) {
  struct Case {
    const char* what;
    std::optional<std::string> found, expected;  // none: no file
  };
  const Case cases[] = {
      {"not appended", "old f\n", "old f\nmore f\n"},
      {"cut short", "old f\nmo", "old f\nmore f\n"},
      {"appended", "old f\nmore f\n", "old f\nmore f\n"},
      {"rewritten since, as long", "new f\n", "new f\n"},
      {"rewritten since, shorter", "f\n", "f\n"},
      {"removed since", std::nullopt, std::nullopt},
  };
  ASSERT_TRUE(platform::fs::CreateFolder(folder_));
  PutOldFiles();
  const std::string record = RecordOfKilledChange();
  ASSERT_FALSE(record.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(folder_);
    ASSERT_TRUE(std::filesystem::create_directories(journal_));
    PutOldFiles();
    std::filesystem::remove(Path("f"));
    if (c.found) Put("f", *c.found);
    PutRecord(record);
    std::vector<std::string> problems;
    EXPECT_TRUE(StoreChange::RecoverFolder(journal_, problems));
    const auto files = Files();
    EXPECT_EQ(files.count("f") ? std::optional<std::string>(files.at("f")) : std::nullopt, c.expected);
    EXPECT_EQ(files.at("a"), "new a");
  }
}

TEST_F(StoreChangeTest, AnUnreadableRecordIsKeptAndNamed) {
  ASSERT_TRUE(platform::fs::CreateFolder(folder_));
  ASSERT_TRUE(platform::fs::CreateFolder(journal_));
  for (const std::string& text : {std::string("WXJ1\n1\nW0"), std::string("WXJ1\n1\nW099999999999999999999\n0:\n0:\nEND\n")}) {
    std::ofstream(journal_ + "/1.wxj", std::ios::binary) << text;
    std::vector<std::string> problems;
    EXPECT_FALSE(StoreChange::RecoverFolder(journal_, problems));
    ASSERT_EQ(problems.size(), 1U);
    EXPECT_NE(problems[0].find("1.wxj"), std::string::npos);
    EXPECT_TRUE(StoreChange::HasRecords(journal_));
  }
}

}  // namespace
