#include "client/rules/LocalFileOrder.h"

#include <gtest/gtest.h>

#include "client/rules/LocalFolderListing.h"

namespace {

LocalFileEntry Entry(const std::string& name, bool folder, std::int64_t size = 0, bool readOnly = false) {
  LocalFileEntry entry;
  entry.SetBaseName(name);
  entry.SetDirectory(folder);
  entry.SetSize(size);
  entry.SetReadOnly(readOnly);
  return entry;
}

std::string Names(const std::vector<LocalFileEntry>& entries) {
  std::string names;
  for (const LocalFileEntry& entry : entries) names += (names.empty() ? "" : " ") + entry.GetBaseName();
  return names;
}

TEST(LocalFileOrderTest, FoldersLeadInNameOrderAndOnlyFilesFollowTheColumn) {
  constexpr std::int64_t kGiB = 1024LL * 1024 * 1024;
  const std::vector<LocalFileEntry> entries = {
      Entry("b.txt", false, 5 * kGiB), Entry("_x", true), Entry("..", true), Entry("a.txt", false, 3 * kGiB, true),
      Entry("_y.txt", false, 1),       Entry("B", true),  Entry(".", true),  Entry("c.txt", false, 1, true),
  };
  struct Case {
    int column;
    bool ascending;
    const char* expected;
  };
  // Folders compare upper-cased ('_' after letters), files lower-cased ('_' before them);
  // equal sizes or flags keep name order, so every listing shows the same order.
  for (const Case& c : {
           Case{LocalFolderListing::kName, true, ". .. B _x _y.txt a.txt b.txt c.txt"},
           Case{LocalFolderListing::kName, false, ". .. B _x c.txt b.txt a.txt _y.txt"},
           Case{LocalFolderListing::kSize, true, ". .. B _x _y.txt c.txt a.txt b.txt"},
           Case{LocalFolderListing::kSize, false, ". .. B _x b.txt a.txt _y.txt c.txt"},
           Case{LocalFolderListing::kEditStatus, true, ". .. B _x _y.txt b.txt a.txt c.txt"},
           Case{LocalFolderListing::kEditStatus, false, ". .. B _x a.txt c.txt _y.txt b.txt"},
           Case{42, true, ". .. B _x _y.txt a.txt b.txt c.txt"},
       }) {
    std::vector<LocalFileEntry> sorted = entries;
    LocalFileOrder::Sort(sorted, c.column, c.ascending);
    EXPECT_EQ(Names(sorted), c.expected) << c.column << " " << c.ascending;
  }
}

}  // namespace
