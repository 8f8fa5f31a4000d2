#include "client/library/ProjectTree.h"

#include <gtest/gtest.h>

#include "client/library/ServerTreeText.h"

namespace {

// Main (Root) with A (PA) holding B (PB), and C (PC).
std::string StoredServerTree() {
  return ServerTreeText().Node("Main", "Root", 2).Node("A", "PA", 1).Node("B", "PB", 0).Node("C", "PC", 0).Text();
}

class ProjectTreeTest : public testing::Test {
 protected:
  void SetUp() override {
    tree.GetRoot().SetLocalFolder("/lib/Main", false);
    ASSERT_TRUE(tree.ApplyServerTree(StoredServerTree()));
  }
  ProjectNode& Project(const std::string& indexName) {
    ProjectNode* node = tree.FindProjectByPath(indexName);
    EXPECT_NE(node, nullptr) << indexName;
    return *node;
  }
  ProjectTree tree;
};

TEST_F(ProjectTreeTest, FirstTreeKeepsTheRootFolderAndDerivesTheRest) {
  EXPECT_EQ(tree.GetRoot().GetLocalFolder(), "/lib/Main");
  EXPECT_FALSE(tree.GetRoot().IsRefreshNeeded());
  EXPECT_EQ(Project("PB").GetLocalFolder(), "/lib/Main/A/B");
  EXPECT_EQ(Project("PC").GetLocalFolder(), "/lib/Main/C");
  EXPECT_EQ(tree.FindProjectByPath(""), &tree.GetRoot());
  EXPECT_EQ(tree.FindProjectByPath("Root"), &tree.GetRoot());
  EXPECT_EQ(tree.FindProjectByPath("PX"), nullptr);
}

TEST_F(ProjectTreeTest, MergeKeepsLocalStateByIndexName) {
  Project("PA").SetLocalFolder("/work/a", true);
  Project("PA").SetCacheFileName("PA");
  Project("PA").SetNewNode(false);
  // A moves under C and gains a sub-project N; B is dropped; D is new at the top.
  ServerTreeText fresh;
  fresh.Node("Main", "Root", 2).Node("C", "PC", 1).Node("A", "PA", 1).Node("N", "PN", 0).Node("D", "PD", 0);
  ASSERT_TRUE(tree.ApplyServerTree(fresh.Text()));

  const ProjectNode& moved = Project("PA");
  EXPECT_EQ(moved.GetLocalFolder(), "/work/a");
  EXPECT_EQ(moved.GetCacheFilePath(), "PA");
  EXPECT_FALSE(moved.IsNewNode());
  EXPECT_EQ(Project("PN").GetLocalFolder(), "/work/a/N");
  EXPECT_EQ(Project("PD").GetLocalFolder(), "/lib/Main/D");
  EXPECT_EQ(tree.FindProjectByPath("PB"), nullptr);
  EXPECT_EQ(ProjectTree::GetParentIndexName(tree.GetRoot(), "PA"), "PC");
  EXPECT_FALSE(tree.GetRoot().IsRefreshNeeded());
}

TEST_F(ProjectTreeTest, IncompleteTreeLeavesTheStoredOneAlone) {
  Project("PA").SetTreeItem(0);
  tree.SetTreeItem(Project("PC"), 0x2a);
  EXPECT_FALSE(tree.ApplyServerTree(ServerTreeText().Node("Main", "Root", 3).Node("C", "PC", 0).Text()));
  EXPECT_EQ(tree.GetRoot().GetChildCount(), 2);
  EXPECT_EQ(tree.FindProjectByTreeItem(0x2a), &Project("PC"));

  // A whole tree replaces the nodes, so the old tree items are forgotten.
  ASSERT_TRUE(tree.ApplyServerTree(StoredServerTree()));
  EXPECT_EQ(tree.FindProjectByTreeItem(0x2a), nullptr);
  EXPECT_EQ(Project("PC").GetTreeItem(), 0u);
}

TEST_F(ProjectTreeTest, FolderLookUpsIgnoreOneTrailingSeparatorAndKeepCase) {
  Project("PC").SetLocalFolder("/work", false);
  Project("PB").SetLocalFolder("/work/", false);
  EXPECT_EQ(tree.FindProjectByLocalFolder("/work/"), &Project("PB"));
  EXPECT_EQ(tree.FindProjectByLocalFolder("/Work"), nullptr);
  std::vector<std::string> mapped{"earlier"};
  tree.FindProjectsMappedToFolder("/work", mapped);
  EXPECT_EQ(mapped, (std::vector<std::string>{"earlier", "PB", "PC"}));

  // Unmapped projects match no folder.
  Project("PA").SetLocalFolder("", true);
  tree.GetRoot().SetLocalFolder("", false);
  EXPECT_EQ(tree.FindProjectByLocalFolder(""), nullptr);
}

TEST_F(ProjectTreeTest, ParentLookUpSearchesBelowTheStart) {
  EXPECT_EQ(ProjectTree::GetParentIndexName(tree.GetRoot(), "PB"), "PA");
  EXPECT_EQ(ProjectTree::GetParentIndexName(tree.GetRoot(), "PC"), "Root");
  EXPECT_EQ(ProjectTree::GetParentIndexName(Project("PA"), "PC"), "");
  EXPECT_EQ(ProjectTree::GetParentIndexName(tree.GetRoot(), "Root"), "");
}

}  // namespace
