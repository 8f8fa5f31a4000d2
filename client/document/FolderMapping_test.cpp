#include "client/document/FolderMapping.h"

#include <gtest/gtest.h>

namespace {

TEST(FolderMapping, SetFolderListDropsOneTrailingSeparator) {
  FolderMapping mapping;
  mapping.SetFolderList("a;b;");
  EXPECT_EQ(mapping.GetFolderList(), "a;b");
  EXPECT_EQ(mapping.GetFolderCount(), 2);
  mapping.SetFolderList("a;;b");
  EXPECT_EQ(mapping.GetFolderCount(), 3);
  EXPECT_EQ(mapping.GetFolder(1), "");
  EXPECT_EQ(mapping.GetFolder(2), "b");
  mapping.SetFolderList("");
  EXPECT_EQ(mapping.GetFolderCount(), 0);
}

TEST(FolderMapping, AddFolderJoinsWithSeparators) {
  FolderMapping mapping;
  EXPECT_TRUE(mapping.AddFolder("c"));
  EXPECT_EQ(mapping.GetFolderList(), "c");
  EXPECT_TRUE(mapping.AddFolder("d;"));
  EXPECT_EQ(mapping.GetFolderList(), "c;d");
  EXPECT_EQ(mapping.GetFolder(1), "d");
  EXPECT_EQ(mapping.GetFolder(5), "");
  EXPECT_EQ(mapping.GetFolder(-1), "");
}

TEST(FolderMapping, AddFolderRefusesPathThatWouldReadBackAsTwo) {
  FolderMapping mapping;
  ASSERT_TRUE(mapping.AddFolder("/docs/a"));
  EXPECT_FALSE(mapping.AddFolder("/docs/x;y"));
  EXPECT_FALSE(mapping.AddFolder(";/docs"));
  EXPECT_EQ(mapping.GetFolderList(), "/docs/a");
  EXPECT_EQ(mapping.GetFolderCount(), 1);
}

TEST(FolderMapping, ChildrenAreFoundByExactNameAndClearedWithTheParent) {
  FolderMapping child;
  child.SetProjectName("Specs");
  FolderMapping grandChild;
  grandChild.SetProjectName("Old");
  child.AddChild(grandChild);

  FolderMapping parent;
  parent.SetProjectName("Main");
  parent.AddChild(child);
  EXPECT_EQ(parent.FindChild("Specs"), 0);
  EXPECT_EQ(parent.FindChild("specs"), -1);
  EXPECT_FALSE(parent.HasChild("Old"));
  ASSERT_NE(parent.GetChild(0), nullptr);
  EXPECT_EQ(parent.GetChild(1), nullptr);
  parent.GetChild(0)->SetLocalFolder("/work/specs");

  const FolderMapping copy(parent);
  parent.Clear();
  EXPECT_EQ(parent.GetChildCount(), 0);
  EXPECT_EQ(parent.GetProjectName(), "");
  ASSERT_EQ(copy.GetChildCount(), 1);
  EXPECT_EQ(copy.GetChild(0)->GetLocalFolder(), "/work/specs");
  EXPECT_EQ(copy.GetChild(0)->GetChild(0)->GetProjectName(), "Old");
}

}  // namespace
