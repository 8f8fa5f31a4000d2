#include "client/rules/LocalFolderListing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "platform/ScratchFolder.h"

namespace {

using Names = std::vector<std::string>;

// A library mapping folders to projects (index names) and holding their document lists.
LocalFolderListing::Library FakeLibrary(std::map<std::string, Names> mapped, std::map<std::string, Names> documents,
                                        Names& loaded) {
  LocalFolderListing::Library library;
  library.projectsMappedTo = [mapped](const std::string& folder) {
    return mapped.count(folder) > 0 ? mapped.at(folder) : Names();
  };
  library.documentNames = [documents](const std::string& name) -> std::optional<Names> {
    if (documents.count(name) == 0) return std::nullopt;
    return documents.at(name);
  };
  library.loadMappedProject = [&loaded](const std::string& folder) { loaded.push_back(folder); };
  return library;
}

TEST(LocalFolderListingTest, ListsTheFolderWithItsOwnRowsAndMembersOfEveryMappedProject) {
  platform::ScratchFolder folder;
  for (const char* name : {"one.txt", "Two.txt", "three.txt"}) folder.Put(name, name);
  ASSERT_EQ(chmod(folder.Put("locked.txt", "x").c_str(), 0444), 0);
  std::filesystem::resize_file(folder.Put("huge.bin", ""), 5LL << 30);  // sparse
  std::filesystem::create_directory(folder / "mapped");
  std::filesystem::create_directory(folder / "plain");
  Names loaded;
  // "Two.txt" differs in case from PB's "two.txt": no member.
  LocalFolderListing listing(FakeLibrary({{folder.Path(), {"Root", "PA", "PB"}}, {folder / "mapped", {"PC"}}},
                                         {{"PA", {"one.txt"}}, {"PB", {"two.txt", "three.txt"}}}, loaded));
  listing.SetFolder(folder.Path());
  listing.Fill();

  std::string shown;  // name:folder member read-only size
  for (const LocalFileEntry& e : listing.GetEntries()) {
    shown += e.GetBaseName() + ":" + std::to_string(e.IsDirectory()) + std::to_string(e.IsProjectMember()) +
             std::to_string(e.IsReadOnly()) + (e.IsDirectory() ? "" : " " + std::to_string(e.GetSize())) + "|";
  }
  EXPECT_EQ(shown,
            ".:100|..:100|mapped:110|plain:100|huge.bin:000 5368709120|locked.txt:001 1|one.txt:010 7|"
            "three.txt:010 9|Two.txt:000 7|");
  EXPECT_EQ(loaded, Names{folder.Path()});

  listing.SetFolder(folder / "missing");
  listing.Fill();
  EXPECT_TRUE(listing.GetEntries().empty());
  listing.SetFolder("/");
  listing.Fill();
  ASSERT_FALSE(listing.GetEntries().empty());
  EXPECT_EQ(listing.GetEntries()[0].GetBaseName(), ".");
  EXPECT_NE(listing.GetEntries()[1].GetBaseName(), "..") << "the root folder has no parent";
}

TEST(LocalFolderListingTest, LinkedFoldersAreListedUnlessTheyLeadBackUpTheListedPath) {
  platform::ScratchFolder folder;
  platform::ScratchFolder elsewhere;
  std::filesystem::create_directory(folder / "listed");
  std::filesystem::create_directory_symlink(elsewhere.Path(), folder / "listed/linked");
  std::filesystem::create_directory_symlink(folder / "listed", folder / "listed/loop");
  std::filesystem::create_directory_symlink(folder.Path(), folder / "listed/up");
  Names loaded;
  LocalFolderListing listing(FakeLibrary({}, {}, loaded));
  listing.SetFolder(folder / "listed");
  listing.Fill();
  Names folders;
  for (const LocalFileEntry& e : listing.GetEntries()) {
    if (e.IsDirectory()) folders.push_back(e.GetBaseName());
  }
  EXPECT_EQ(folders, (Names{".", "..", "linked"}));
}

TEST(LocalFolderListingTest, FolderPathsCompareExactlyAndWalkUpToTheRoot) {
  for (const auto& [folder, parent] : std::vector<std::pair<std::string, std::optional<std::string>>>{
           {"/a/b", "/a"}, {"/a/b/", "/a"}, {"/a", "/"}, {"/", std::nullopt}, {"", std::nullopt}}) {
    EXPECT_EQ(LocalFolderListing::ParentOf(folder), parent) << folder;
  }
  EXPECT_TRUE(LocalFolderListing::SameFolder("/a/B", "/a/B/"));
  EXPECT_TRUE(LocalFolderListing::SameFolder("/", "/"));
  EXPECT_FALSE(LocalFolderListing::SameFolder("/a/B", "/a/b"));
  EXPECT_FALSE(LocalFolderListing::SameFolder("", "/"));
}

TEST(LocalFolderListingTest, ColumnClicksToggleOnlyTheSortColumn) {
  Names loaded;
  LocalFolderListing listing(FakeLibrary({}, {}, loaded));
  listing.ClickColumn(LocalFolderListing::kName);
  listing.ClickColumn(LocalFolderListing::kSize);
  EXPECT_EQ(std::pair(listing.GetSortColumn(), listing.IsAscending()), std::pair(int{LocalFolderListing::kSize}, true));
  listing.ClickColumn(LocalFolderListing::kSize);
  EXPECT_FALSE(listing.IsAscending());
}

}  // namespace
