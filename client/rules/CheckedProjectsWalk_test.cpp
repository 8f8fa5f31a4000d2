#include "client/rules/CheckedProjectsWalk.h"

#include <gtest/gtest.h>

#include "client/rules/LibraryTreeFixture_test.h"
#include "platform/fs.h"

namespace {

using namespace tree_test;

class CheckedProjectsWalkTest : public LibraryTreeFixture {
 protected:
  // A publication based on One with May included: One, its Beta and May ticked.
  void SetUp() override {
    LibraryTreeFixture::SetUp();
    selection_ = PublicationSelection::OfProject("PA", 0);
    selection_.baseIndexName = "E1";
    selection_.supplements.Add(Node("S1").GetSupplement());
    items_.RebuildForPublication("Lib", selection_);
    WriteVersions("PA", {{"a.txt", {2, 1}, 0}});
    WriteVersions("S1", {{"a.txt", {5, 4}, 0}, {"c.txt", {1}, 0}});
    WriteVersions("E1", {{"a.txt", {3}, 0}, {"b.txt", {2, 1}, 1}});
    WriteVersions("E1B", {{"d.txt", {7}, 0}});
  }
  std::optional<std::string> Collect() {
    return CheckedProjectsWalk(items_, Tree(), library_.Path()).Collect(selection_, mapping_, true);
  }

  LibraryTreeItems items_{Tree()};
  PublicationSelection selection_;
  FolderMapping mapping_;
};

TEST_F(CheckedProjectsWalkTest, TickedProjectsNestUnderTheirPathsAndTheFirstSelectionOfANameWins) {
  mapping_.SetProjectName("stale");
  EXPECT_EQ(Collect(), std::nullopt);
  EXPECT_EQ(mapping_.GetProjectName(), "Alpha");
  EXPECT_EQ(mapping_.GetFolderList(), VersionsFile("PA") + ";" + VersionsFile("S1") + ";" + VersionsFile("E1"));
  EXPECT_EQ(mapping_.GetLocalFolder(), Node("PA").GetLocalFolder());
  ASSERT_EQ(mapping_.GetChildCount(), 1);
  EXPECT_EQ(mapping_.GetChild(0)->GetProjectName(), "Beta");
  EXPECT_EQ(mapping_.GetChild(0)->GetFolderList(), VersionsFile("E1B"));
  EXPECT_EQ(mapping_.GetChild(0)->GetLocalFolder(), Node("E1B").GetLocalFolder());
  // Alpha's a.txt wins over the supplement's and the edition's.
  EXPECT_EQ(Selected("PA"), std::vector<int>{2});
  EXPECT_EQ(Selected("S1"), (std::vector<int>{0, 1}));
  EXPECT_EQ(Selected("E1"), (std::vector<int>{0, 1}));
  EXPECT_EQ(Selected("E1B"), std::vector<int>{7});
}

TEST_F(CheckedProjectsWalkTest, AnUnreadableCacheEndsOnlyItsOwnBranch) {
  ASSERT_TRUE(platform::fs::DeleteFile(VersionsFile("S1")));
  EXPECT_EQ(Collect(), std::nullopt);
  EXPECT_EQ(mapping_.GetFolderList(), VersionsFile("PA") + ";" + VersionsFile("E1"));
  EXPECT_EQ(mapping_.GetChildCount(), 1);
  EXPECT_EQ(Selected("E1"), (std::vector<int>{0, 1}));
}

}  // namespace
