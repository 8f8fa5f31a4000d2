#include "client/library/ProjectNode.h"

#include <gtest/gtest.h>

#include "client/library/ServerTreeText.h"

namespace {

ProjectNode Decoded(const std::string& serverText) {
  ProjectNode node;
  EXPECT_TRUE(node.DecodeServer(serverText));
  return node;
}

EditionRecord Edition(const std::string& name) {
  EditionRecord edition;
  edition.SetName(name);
  return edition;
}

TEST(ProjectNode, OnlyNamesSafeAsOneFolderLevelDeriveFolders) {
  ServerTreeText text;
  text.Node("Main", "Root", 5).Node("..", "P1", 1).Node("Below", "P2", 0).Node("a/b", "P3", 0);
  text.Node("/etc", "P4", 0).Node(".", "P5", 0).Node("Specs", "P6", 1).Node("Drafts", "P7", 0);
  ProjectNode root = Decoded(text.Text());
  root.SetLocalFolder(" /lib/Main ", true);

  EXPECT_EQ(root.GetLocalFolder(), "/lib/Main");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(root.GetChild(i)->GetLocalFolder(), "") << root.GetChild(i)->GetName();
  EXPECT_EQ(root.GetChild(0)->GetChild(0)->GetLocalFolder(), "");
  EXPECT_EQ(root.GetChild(4)->GetLocalFolder(), "/lib/Main/Specs");
  EXPECT_EQ(root.GetChild(4)->GetChild(0)->GetLocalFolder(), "/lib/Main/Specs/Drafts");
}

TEST(ProjectNode, UnmappedNodePassesNoFolderDown) {
  ProjectNode root = Decoded(ServerTreeText().Node("Main", "Root", 1).Node("Specs", "P1", 0).Text());
  root.SetLocalFolder("/lib/", true);
  EXPECT_EQ(root.GetChild(0)->GetLocalFolder(), "/lib/Specs");
  root.SetLocalFolder("", true);
  EXPECT_EQ(root.GetChild(0)->GetLocalFolder(), "");
}

TEST(ProjectNode, EditionsAndSupplementsShareTheirParentsFolder) {
  SupplementRecord supplement;
  supplement.SetName("<S> Fix");
  ServerTreeText text;
  text.Node("Main", "Root", 1).Node("<E> First", "E1", 2, Edition("<E> First"));
  text.Node("<S> Fix", "S1", 0, EditionRecord(), supplement).Node("Specs", "P1", 0);
  ProjectNode root = Decoded(text.Text());
  root.SetLocalFolder("/lib", true);
  const ProjectNode* edition = root.GetChild(0);
  EXPECT_TRUE(edition->IsEdition());
  EXPECT_EQ(edition->GetLocalFolder(), "/lib");
  EXPECT_TRUE(edition->GetChild(0)->IsSupplement());
  EXPECT_EQ(edition->GetChild(0)->GetLocalFolder(), "/lib");
  EXPECT_EQ(edition->GetChild(1)->GetLocalFolder(), "/lib/Specs");
}

TEST(ProjectNode, CacheFileNamesAreSafeFileNames) {
  const auto cacheName = [](const std::string& indexName) {
    ProjectNode node = Decoded(ServerTreeText().Node("P", indexName, 0).Text());
    node.MakeCacheFileName();
    return node;
  };
  const ProjectNode plain = cacheName("A:B\\C/D");
  EXPECT_EQ(plain.GetCacheFilePath(), "A.B.C.D");
  EXPECT_EQ(plain.GetVersionsCacheFilePath(), "A.B.C.DWithVersions");
  EXPECT_EQ(cacheName("a\tb\x7f").GetCacheFilePath(), "a.b.");
  EXPECT_EQ(cacheName("..").GetCacheFilePath(), "_..");
  EXPECT_EQ(cacheName("/").GetCacheFilePath(), "_.");
  EXPECT_EQ(cacheName("WXFiName_Hi0Lo7").GetCacheFilePath(), "WXFiName_Hi0Lo7");
}

TEST(ProjectNode, EncodeWritesTheStoredLayoutByteForByte) {
  ProjectNode root = Decoded(ServerTreeText().Node("Main \"A\"", "Root", 1).Node("Specs", "P1", 0).Text());
  root.SetLocalFolder("/lib", true);
  root.GetChild(0)->MakeCacheFileName();
  root.SetRefreshNeeded(false);
  const std::string edition = EditionRecord().Encode("");
  const std::string supplement = SupplementRecord().Encode("");
  EXPECT_EQ(root.Encode(), "\"Main \"\"A\"\"\",\"Root\",\"/lib\",1,0,1,\"\",0,1,0\n" + edition + supplement +
                               "\"Specs\",\"P1\",\"/lib/Specs\",1,1,0,\"P1\",0,1,0\n" + edition + supplement);
}

TEST(ProjectNode, StoredLayoutRoundTripsLineBreaksInComments) {
  SupplementRecord supplement;
  supplement.SetName("<S> Fix");
  supplement.SetComments("first line\nsecond, \"quoted\"");
  ProjectNode root = Decoded(
      ServerTreeText().Node("Main", "Root", 1).Node("<S> Fix", "S1", 0, EditionRecord(), supplement).Text());
  EXPECT_EQ(root.GetChild(0)->GetSupplement().GetComments(), "first line\nsecond, \"quoted\"");

  QuotedLines lines(root.Encode());
  ProjectNode back;
  ASSERT_TRUE(back.DecodeLines(lines));
  EXPECT_EQ(back.Encode(), root.Encode());
}

TEST(ProjectNode, DecodingStopsAtTheLinesPresent) {
  ProjectNode root;
  EXPECT_FALSE(root.DecodeServer(ServerTreeText().Node("Main", "Root", 2147483647).Node("A", "P1", 0).Text()));
  EXPECT_EQ(root.GetName(), "Main");
  EXPECT_EQ(root.GetChildCount(), 1);

  // A node without its supplement line, and an edition line of another type.
  const std::string nodeLine = "\"Main\",\"Root\",0,0,0,0\n";
  EXPECT_FALSE(root.DecodeServer(nodeLine + EditionRecord().Encode("")));
  EXPECT_FALSE(root.DecodeServer(nodeLine + SupplementRecord().Encode("") + SupplementRecord().Encode("")));
  EXPECT_FALSE(root.DecodeServer(""));
  EXPECT_EQ(root.GetName(), "");

  EXPECT_TRUE(root.DecodeServer(ServerTreeText().Node("Main", "Root", -5).Text()));
  EXPECT_EQ(root.GetChildCount(), 0);
}

TEST(ProjectNode, DeepNestingIsCappedWithoutRecursion) {
  ServerTreeText text;
  const int depth = 100000;
  for (int level = 0; level < depth; ++level) text.Node("L", "P" + std::to_string(level), level + 1 < depth ? 1 : 0);
  ProjectNode root;
  EXPECT_FALSE(root.DecodeServer(text.Text()));
  int levels = 0;
  for (const ProjectNode* node = &root; node->GetChildCount() > 0; node = node->GetChild(0)) ++levels;
  EXPECT_EQ(levels, ProjectNode::kMaxDepth);

  // Setting folders, copying, encoding and clearing a tree of that depth stays on the heap.
  root.SetLocalFolder("/lib", true);
  const ProjectNode copy(root);
  EXPECT_EQ(copy.Encode(), root.Encode());
  root.Clear();
  EXPECT_EQ(root.GetChildCount(), 0);
}

TEST(ProjectNode, CopiesAreDeepAndNeedRefresh) {
  ProjectNode root = Decoded(ServerTreeText().Node("Main", "Root", 1).Node("Specs", "P1", 0).Text());
  root.SetRefreshNeeded(false);
  root.SetTreeItem(7);
  ProjectNode copy;
  copy = root;
  EXPECT_TRUE(copy.IsRefreshNeeded());
  EXPECT_EQ(copy.GetTreeItem(), 7u);
  root.GetChild(0)->SetLocalFolder("/elsewhere", false);
  EXPECT_EQ(copy.GetChild(0)->GetLocalFolder(), "");

  // Assigning a node its own child keeps the child's subtree.
  root = *root.GetChild(0);
  EXPECT_EQ(root.GetName(), "Specs");
  EXPECT_EQ(root.GetLocalFolder(), "/elsewhere");
  copy.ClearTreeItems();
  EXPECT_EQ(copy.GetTreeItem(), 0u);
}

}  // namespace
