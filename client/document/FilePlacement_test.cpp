#include "client/document/FilePlacement.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/FileHelpers.h"
#include "platform/DiskChangeHook.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace {

namespace fs = platform::fs;
using platform::ScratchFolder;

class FilePlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::CreateFolder(scratch_ / "TemporaryFiles"));
    ASSERT_TRUE(fs::CreateFolder(scratch_ / "lib"));
  }

  FilePlacementSettings Settings(int mode, bool readOnly = false) const {
    FilePlacementSettings settings;
    settings.folder = scratch_ / "lib/proj";
    settings.backupRoot = scratch_ / "backup";
    settings.shownPath = {"Library", "Main Project"};
    settings.temporaryFolder = scratch_ / "TemporaryFiles";
    settings.replaceMode = mode;
    settings.readOnly = readOnly;
    return settings;
  }

  // A file as the connection leaves it in the temporary folder.
  std::string Received(const std::string& content) {
    return scratch_.Put("TemporaryFiles/Temp_" + std::to_string(++received_) + ".wxf", content);
  }

  std::string Target(const std::string& name) const { return scratch_ / ("lib/proj/" + name); }
  std::string Backup(const std::string& name) const { return scratch_ / ("backup/Library/Main Project/" + name); }

  // Puts the user's own copy at the target.
  void Existing(const std::string& name, const std::string& content, bool readOnly = false) {
    ASSERT_TRUE(CreateFolderPath(scratch_ / "lib/proj"));
    scratch_.Put("lib/proj/" + name, content);
    ASSERT_TRUE(fs::SetReadOnly(Target(name), readOnly));
  }

  std::size_t TemporaryCount() const {
    std::vector<fs::FolderEntry> entries;
    EXPECT_TRUE(fs::ListFolder(scratch_ / "TemporaryFiles", entries));
    return entries.size();
  }

  ScratchFolder scratch_;
  ReplyMessages messages_{"Main Project"};
  int received_ = 0;
};

TEST_F(FilePlacementTest, UnsafeNamesTouchNothingAndEveryTemporaryFileGoes) {
  FilePlacement placement(Settings(0), messages_);
  ASSERT_TRUE(placement.MakeFolder());
  const std::string outside = scratch_.Put("keep.txt", "mine");
  std::vector<std::string> temporaries;
  for (const char* name : {"good.txt", "..", "a/b", "../../keep.txt", "other.txt"}) {
    temporaries.push_back(Received(std::string("from ") + name));
    placement.Place(name, temporaries.back());
  }
  EXPECT_EQ(ScratchFolder::Read(Target("good.txt")), "from good.txt");
  EXPECT_EQ(ScratchFolder::Read(Target("other.txt")), "from other.txt");
  EXPECT_EQ(ScratchFolder::Read(outside), "mine");
  EXPECT_FALSE(fs::Exists(scratch_ / "lib/proj/a"));
  const std::string refused = std::string(FilePlacement::kNotPlaced) + " : Main Project\r\n    ";
  EXPECT_EQ(messages_.GetText(), refused + "..\r\n\r\n" + refused + "a/b\r\n\r\n" + refused + "../../keep.txt\r\n\r\n");

  // Paths outside the temporary folder are never deleted, whatever they look like.
  temporaries.push_back(outside);
  temporaries.push_back(scratch_ / "TemporaryFiles/../keep.txt");
  placement.DeleteTemporaryFiles(temporaries);
  EXPECT_EQ(TemporaryCount(), 0u);
  EXPECT_EQ(ScratchFolder::Read(outside), "mine");
}

struct ReplaceCase {
  int mode;
  bool existingReadOnly;
  const char* received;
  bool backupKept;
};

void PrintTo(const ReplaceCase& c, std::ostream* out) {
  *out << "mode " << c.mode << (c.existingReadOnly ? " over a read-only file" : "") << " receiving " << c.received;
}

class ReplaceModeTest : public FilePlacementTest, public ::testing::WithParamInterface<ReplaceCase> {};

TEST_P(ReplaceModeTest, ReplacesAndBacksUpAsTheModeSays) {
  const ReplaceCase& c = GetParam();
  for (const bool readOnly : {true, false}) {
    std::filesystem::remove_all(scratch_ / "backup");
    ASSERT_TRUE(fs::DeleteFile(Target("doc.txt")));
    Existing("doc.txt", "local", c.existingReadOnly);
    FilePlacement placement(Settings(c.mode, readOnly), messages_);
    EXPECT_TRUE(placement.Place("doc.txt", Received(c.received)));
    placement.Finish();
    EXPECT_EQ(ScratchFolder::Read(Target("doc.txt")), c.received);
    EXPECT_EQ(fs::IsReadOnly(Target("doc.txt")), readOnly);
    EXPECT_EQ(ScratchFolder::Read(Backup("doc.txt")), c.backupKept ? "local" : "<missing>");
  }
  EXPECT_TRUE(messages_.IsEmpty()) << messages_.GetText();
}

INSTANTIATE_TEST_SUITE_P(Modes, ReplaceModeTest,
                         ::testing::Values(ReplaceCase{0, true, "new", false},    // over a 0444 file
                                           ReplaceCase{1, false, "new", true},
                                           ReplaceCase{2, true, "new", false},    // read-only: no backup
                                           ReplaceCase{2, false, "new", true},
                                           ReplaceCase{3, false, "local", false},  // same bytes
                                           ReplaceCase{3, false, "locaL", true}));

TEST_F(FilePlacementTest, EveryBackupKeepsItsOwnCopy) {
  Existing("doc.txt", "first");
  FilePlacement placement(Settings(1), messages_);
  ASSERT_TRUE(placement.Place("doc.txt", Received("second")));
  ASSERT_TRUE(placement.Place("doc.txt", Received("third")));
  placement.Finish();
  EXPECT_EQ(ScratchFolder::Read(Backup("doc.txt")), "first");
  EXPECT_EQ(ScratchFolder::Read(Backup("doc.txt.1")), "second");
  EXPECT_EQ(ScratchFolder::Read(Target("doc.txt")), "third");
}

TEST_F(FilePlacementTest, FailuresKeepTheUserFileAndShareOneMessageText) {
  Existing("doc.txt", "local");
  ASSERT_TRUE(fs::CreateFolder(Target("folder.txt")));
  FilePlacementSettings settings = Settings(1);
  settings.checkOut = true;
  settings.backupRoot = scratch_.Put("not-a-folder", "");
  FilePlacement placement(settings, messages_);
  placement.NoteRefused("taken.txt");
  EXPECT_FALSE(placement.Place("doc.txt", Received("new")));     // backup folder cannot be made
  EXPECT_FALSE(placement.Place("folder.txt", Received("new")));  // a folder at the target
  EXPECT_EQ(ScratchFolder::Read(Target("doc.txt")), "local");
  EXPECT_TRUE(fs::IsFolder(Target("folder.txt")));
  EXPECT_EQ(messages_.Take(),
            "Document is checked out to someone else : Main Project\r\n    taken.txt\r\n\r\n"
            "File retrieved from Library could not be copied into the project folder : Main Project\r\n    " +
                Target("doc.txt") + "\r\n\r\n" +
                "File retrieved from Library could not be copied into the project folder : Main Project\r\n    " +
                Target("folder.txt") + "\r\n\r\n");
  EXPECT_TRUE(messages_.IsEmpty());
}

TEST_F(FilePlacementTest, FailedReplacementLeavesTheFileAsItWas) {
  // One replacement alone is synced by itself, several by their file system.
  for (const std::size_t others : {0u, 2u}) {
    ASSERT_TRUE(fs::DeleteFile(Target("doc.txt")));
    Existing("doc.txt", "local", true);
    FilePlacement placement(Settings(1), messages_);
    const std::string received = Received("new");
    ASSERT_TRUE(placement.Place("doc.txt", received));
    for (std::size_t i = 0; i < others; ++i) {
      Existing("other" + std::to_string(i), "local");
      ASSERT_TRUE(placement.Place("other" + std::to_string(i), Received("new")));
    }
    ASSERT_TRUE(fs::DeleteFile(received));
    placement.Finish();
    EXPECT_EQ(ScratchFolder::Read(Target("doc.txt")), "local");
    EXPECT_TRUE(fs::IsReadOnly(Target("doc.txt")));
    EXPECT_EQ(ScratchFolder::Read(Target("other1")), others == 0 ? "<missing>" : "new");
    EXPECT_EQ(messages_.Take(), std::string(FilePlacement::kNotPlaced) + " : Main Project\r\n    " +
                                    Target("doc.txt") + "\r\n\r\n");
  }
}

TEST_F(FilePlacementTest, ACutAtAnyStepLeavesEachFileWholeOldOrNew) {
  struct Row {
    const char* name;
    const char* existing;  // null: no file there
    const char* received;
  };
  const Row rows[] = {{"a.txt", "old a", "new a, longer"}, {"b.txt", "old b, longer", "new b"}, {"c.txt", nullptr, "c"}};
  int cuts = 0;
  for (int cut = 1;; ++cut) {
    std::filesystem::remove_all(scratch_ / "lib/proj");
    for (const Row& row : rows) {
      if (row.existing != nullptr) Existing(row.name, row.existing);
    }
    std::vector<std::string> received;
    for (const Row& row : rows) received.push_back(Received(row.received));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int changes = 0;
      platform::SetDiskChangeHookForTesting([&changes, cut] {
        if (++changes == cut) ::_exit(9);
      });
      FilePlacement placement(Settings(0), messages_);
      for (std::size_t i = 0; i < received.size(); ++i) placement.Place(rows[i].name, received[i]);
      placement.Finish();
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    for (const Row& row : rows) {
      const std::string now = ScratchFolder::Read(Target(row.name));
      EXPECT_TRUE(now == row.received || now == (row.existing != nullptr ? row.existing : "<missing>")) << cut;
    }
    if (WEXITSTATUS(status) == 0) break;
    ++cuts;
  }
  for (const Row& row : rows) EXPECT_EQ(ScratchFolder::Read(Target(row.name)), row.received);
  EXPECT_GT(cuts, 3);
}

TEST_F(FilePlacementTest, FolderThatCannotBeMadeIsReported) {
  FilePlacementSettings settings = Settings(0);
  settings.folder = scratch_.Put("file", "") + "/proj";
  FilePlacement placement(settings, messages_);
  EXPECT_FALSE(placement.MakeFolder());
  EXPECT_EQ(messages_.GetText(),
            "Failed to create local folder to hold project files : Main Project\r\n    " + settings.folder + "\r\n\r\n");
  placement.DeleteTemporaryFiles({Received("a"), Received("b")});
  EXPECT_EQ(TemporaryCount(), 0u);
}

TEST(FilePlacementBackupFolderTest, NamesTheFolderAfterTheShownProjectPath) {
  struct Case {
    const char* backupRoot;
    std::vector<std::string> shownPath;
    const char* expected;
  };
  const Case cases[] = {
      {"/bk", {"Library", "Main Project", "Sub"}, "/bk/Library/Main Project/Sub"},
      {"/bk//", {" Library ", "Main Project"}, "/bk/Library/Main Project"},
      {"", {"Library", "Main Project"}, ""},
      {"/bk", {}, ""},
      {"/bk", {"Library", ".."}, ""},
      {"/bk", {"Library", "a/b"}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FilePlacement::BackupFolderFor(c.backupRoot, c.shownPath), c.expected) << c.expected;
  }
}

}  // namespace
