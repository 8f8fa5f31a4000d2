#include "client/records/LibraryEntryFile.h"

#include <gtest/gtest.h>

#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace {

TEST(LibraryEntryFileTest, MissingFileIsCreatedEmpty) {
  platform::ScratchFolder folder;
  const std::string path = folder / LibraryEntryFile::kFileName;
  std::vector<LibraryEntry> entries{LibraryEntry("stale", "FF", 1)};
  ASSERT_TRUE(LibraryEntryFile::Load(path, entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(platform::ScratchFolder::Read(path), "");
  ASSERT_TRUE(LibraryEntryFile::Load(path, entries));
  EXPECT_TRUE(entries.empty());
}

TEST(LibraryEntryFileTest, SavesCrLfLinesInListOrderAndLoadsThemBack) {
  platform::ScratchFolder folder;
  const std::string path = folder / LibraryEntryFile::kFileName;
  const std::vector<LibraryEntry> entries{LibraryEntry("B", "0A0B", 2), LibraryEntry("A \"x\"", "FF", 1)};
  ASSERT_TRUE(LibraryEntryFile::Save(path, entries));
  EXPECT_EQ(platform::ScratchFolder::Read(path), "\"B\",\"0A0B\",2\r\n\"A \"\"x\"\"\",\"FF\",1\r\n");

  std::vector<LibraryEntry> loaded;
  ASSERT_TRUE(LibraryEntryFile::Load(path, loaded));
  EXPECT_EQ(loaded, entries);
}

TEST(LibraryEntryFileTest, ReadsEveryLineEndingAndSkipsBlankLines) {
  platform::ScratchFolder folder;
  const std::string path =
      folder.Put("entries.wxf", "\"A\",\"01\",1\n\"B\",\"02\",1\r\n\r\n\"C\",\"03\",1\r\r\n\r\n");
  std::vector<LibraryEntry> loaded;
  ASSERT_TRUE(LibraryEntryFile::Load(path, loaded));
  ASSERT_EQ(loaded.size(), 3u);
  EXPECT_EQ(loaded[0].GetName(), "A");
  EXPECT_EQ(loaded[1].GetKeyText(), "02");
  EXPECT_EQ(loaded[2].GetName(), "C");
  EXPECT_EQ(loaded[2].GetKeyLength(), 1);
}

TEST(LibraryEntryFileTest, UnreadableFileFailsWithNoEntries) {
  platform::ScratchFolder folder;
  std::vector<LibraryEntry> loaded{LibraryEntry("stale", "FF", 1)};
  EXPECT_FALSE(LibraryEntryFile::Load(folder.Path(), loaded));   // a folder
  EXPECT_TRUE(loaded.empty());
}

TEST(LibraryEntryFileTest, FailedSaveKeepsTheOldFile) {
  platform::ScratchFolder folder;
  const std::string path = folder.Put("entries.wxf", "\"A\",\"01\",1\r\n");
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  const bool saved = LibraryEntryFile::Save(path, {LibraryEntry("B", "02", 1)});
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_FALSE(saved);
  EXPECT_EQ(platform::ScratchFolder::Read(path), "\"A\",\"01\",1\r\n");
}

TEST(LibraryEntryFileTest, FindComparesNamesExactly) {
  std::vector<LibraryEntry> entries{LibraryEntry("Lib", "01", 1), LibraryEntry("lib", "02", 1)};
  ASSERT_NE(LibraryEntryFile::Find(entries, "lib"), nullptr);
  EXPECT_EQ(LibraryEntryFile::Find(entries, "lib")->GetKeyText(), "02");
  EXPECT_EQ(LibraryEntryFile::Find(entries, "LIB"), nullptr);
}

}  // namespace
