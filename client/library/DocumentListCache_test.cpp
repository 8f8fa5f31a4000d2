#include "client/library/DocumentListCache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "client/library/ServerTreeText.h"
#include "platform/Clock.h"
#include "platform/ScratchFolder.h"

namespace {

class DocumentListCacheTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::SetClockForTesting([this] { return now; });
  }
  void TearDown() override { platform::SetClockForTesting(nullptr); }

  static std::string IndexName(int i) { return "WX:P" + std::to_string(i); }

  ProjectNode Node(const std::string& indexName) {
    ProjectNode node;
    EXPECT_TRUE(node.DecodeServer(ServerTreeText().Node("Project " + indexName, indexName, 0).Text()));
    return node;
  }

  // Writes the project's cache file as the reply handler would.
  void PutCache(int i) {
    ProjectDocumentList list;
    list.SetProjectName("Project " + std::to_string(i));
    list.SetProjectIndexName(IndexName(i));
    DocumentVersionEntry entry;
    entry.SetName("doc" + std::to_string(i));
    list.Add(entry);
    ASSERT_TRUE(list.WriteFile(DocumentListCache::ListFilePath(folder.Path(), "WX.P" + std::to_string(i))));
  }

  bool Load(int i) {
    ProjectNode node = Node(IndexName(i));
    return cache.LoadProjectDocuments(node, folder.Path());
  }

  void RemoveCacheFiles() {
    for (const auto& file : std::filesystem::directory_iterator(folder.Path())) std::filesystem::remove(file);
  }

  platform::LocalTime now{2026, 12, 8, 10, 0, 0};
  platform::ScratchFolder folder;
  std::vector<std::string> requested;
  DocumentListCache cache{[this](const std::string& indexName) { requested.push_back(indexName); }};
};

TEST_F(DocumentListCacheTest, CacheFilePathsRefuseUnsafeNames) {
  EXPECT_EQ(DocumentListCache::ListFilePath("/lib", "WX.P1"), "/lib/WX.P1");
  EXPECT_EQ(DocumentListCache::ListFilePath("/lib/", "WX.P1"), "/lib/WX.P1");
  EXPECT_EQ(DocumentListCache::ListFilePath("", "WX.P1"), "WX.P1");
  EXPECT_EQ(DocumentListCache::VersionsFilePath("/lib", "WX.P1"), "/lib/WX.P1WithVersions");
  for (const char* unsafe : {"", ".", "..", "a/b"}) {
    EXPECT_EQ(DocumentListCache::ListFilePath("/lib", unsafe), "") << unsafe;
    EXPECT_EQ(DocumentListCache::VersionsFilePath("/lib", unsafe), "") << unsafe;
  }
}

TEST_F(DocumentListCacheTest, MissingCacheAsksTheServerThenShowsTheFileAndRootChangesNothing) {
  EXPECT_EQ(cache.GetCurrentList(), nullptr);
  EXPECT_FALSE(Load(1));
  EXPECT_EQ(requested, std::vector<std::string>{IndexName(1)});
  EXPECT_EQ(cache.GetCurrentList(), nullptr);

  PutCache(1);
  ASSERT_TRUE(Load(1));
  ASSERT_NE(cache.GetCurrentList(), nullptr);
  EXPECT_EQ(cache.GetCurrentList()->GetAt(0)->GetName(), "doc1");
  RemoveCacheFiles();
  EXPECT_TRUE(Load(1));  // held: the disk is not touched

  const ProjectDocumentList* current = cache.GetCurrentList();
  ProjectNode root = Node("Root");
  EXPECT_TRUE(cache.LoadProjectDocuments(root, folder.Path()));
  EXPECT_EQ(cache.GetCurrentList(), current);
  EXPECT_EQ(requested.size(), 1u);
}

TEST_F(DocumentListCacheTest, EleventhListWithinAMinuteReplacesSlotZero) {
  for (int i = 0; i <= 10; ++i) PutCache(i);
  for (int i = 0; i <= 10; ++i) {
    now.second = i;
    ASSERT_TRUE(Load(i)) << i;
  }
  EXPECT_EQ(cache.GetCurrentList()->GetProjectIndexName(), IndexName(10));
  RemoveCacheFiles();
  for (int i = 1; i <= 10; ++i) EXPECT_TRUE(Load(i)) << i;
  EXPECT_FALSE(Load(0));
}

TEST_F(DocumentListCacheTest, LeastRecentlyUsedByMinutesGivesWay) {
  for (int i = 0; i <= 10; ++i) PutCache(i);
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(Load(i));
  now.minute = 5;
  for (int i = 0; i < 10; ++i) {
    if (i != 3) {
      ASSERT_TRUE(Load(i));  // held: only the last use moves
    }
  }
  ASSERT_TRUE(Load(10));
  RemoveCacheFiles();
  EXPECT_FALSE(Load(3));
  for (int i = 0; i <= 10; ++i) {
    if (i != 3) {
      EXPECT_TRUE(Load(i)) << i;
    }
  }
}

TEST_F(DocumentListCacheTest, GetProjectDocumentListCopiesWithoutChangingTheCache) {
  ProjectTree tree;
  ASSERT_TRUE(tree.ApplyServerTree(
      ServerTreeText().Node("Main", "Root", 2).Node("One", IndexName(1), 0).Node("Two", IndexName(2), 0).Text()));
  PutCache(1);
  PutCache(2);
  ASSERT_TRUE(Load(1));
  const ProjectDocumentList* current = cache.GetCurrentList();

  ProjectDocumentList copy;
  EXPECT_TRUE(cache.GetProjectDocumentList(IndexName(2), tree, folder.Path(), copy));
  EXPECT_EQ(copy.GetAt(0)->GetName(), "doc2");
  RemoveCacheFiles();
  EXPECT_TRUE(cache.GetProjectDocumentList(IndexName(1), tree, folder.Path(), copy));
  EXPECT_EQ(copy.GetAt(0)->GetName(), "doc1");
  EXPECT_FALSE(cache.GetProjectDocumentList(IndexName(2), tree, folder.Path(), copy));  // never entered a slot
  EXPECT_EQ(copy.GetCount(), 0);
  EXPECT_FALSE(cache.GetProjectDocumentList(IndexName(9), tree, folder.Path(), copy));
  EXPECT_FALSE(cache.GetProjectDocumentList("Root", tree, folder.Path(), copy));
  EXPECT_EQ(cache.GetCurrentList(), current);
  EXPECT_TRUE(requested.empty());
}

TEST_F(DocumentListCacheTest, RefreshSlotReplacesOnlyAHeldProject) {
  PutCache(1);
  ASSERT_TRUE(Load(1));
  ProjectDocumentList fresh;
  fresh.SetProjectIndexName(IndexName(1));
  EXPECT_TRUE(cache.RefreshSlot(fresh));
  EXPECT_EQ(cache.GetCurrentList()->GetCount(), 0);
  for (const std::string& other : {IndexName(2), std::string()}) {
    fresh.SetProjectIndexName(other);
    EXPECT_FALSE(cache.RefreshSlot(fresh)) << other;
  }
}

}  // namespace
