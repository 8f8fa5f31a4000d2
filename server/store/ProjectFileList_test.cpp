#include "server/store/ProjectFileList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"
#include "server/store/RecordCache.h"
#include "server/store/RecordChange.h"

namespace {

class ProjectFileListTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::AtomicFile::SetWriteHookForTesting(nullptr); }

  std::string ListPath() const { return folder_ / "WXFiName_Hi1Lo2_ProjectFileList.wxf"; }

  platform::ScratchFolder folder_;
};

std::string Keys(const ProjectFileList& list) {
  StringList keys;
  list.GetKeys(keys);
  std::string joined;
  for (int i = 0; i < keys.GetSize(); ++i) joined += keys.GetAt(i) + ";";
  return joined;
}

// Every pair in stored order, as "key=value;".
std::string Pairs(const ProjectFileList& list) {
  StringList keys;
  StringList values;
  list.GetKeys(keys);
  list.GetValues(values);
  std::string joined;
  for (int i = 0; i < keys.GetSize(); ++i) joined += keys.GetAt(i) + "=" + values.GetAt(i) + ";";
  return joined;
}

// The file of a list that got its rows one by one.
std::string FileOfRows(int rows, const std::string& firstName = "") {
  ProjectFileList list;
  for (int i = 0; i < rows; ++i) {
    list.Add(i == 0 && !firstName.empty() ? firstName : "doc" + std::to_string(i) + ".txt",
             "WXFiName_Hi0Lo" + std::to_string(i));
  }
  std::string content;
  list.Encode(content);
  return content;
}

}  // namespace

TEST_F(ProjectFileListTest, SavesInInsertionOrderByteExactAndLoadsBack) {
  ProjectFileList list;
  ASSERT_TRUE(list.Add("zeta.doc", "WXFiName_Hi0Lo9"));
  ASSERT_TRUE(list.Add("alpha.doc", "WXFiName_Hi0Lo4"));
  ASSERT_TRUE(list.Add("mid.doc", "WXFiName_Hi0Lo6"));
  list.SetAt("zeta.doc", "WXFiName_Hi0Lo10");
  ASSERT_TRUE(list.Save(ListPath()));
  const std::string expected =
      "zeta.doc\r\r\nWXFiName_Hi0Lo10\r\r\nalpha.doc\r\r\nWXFiName_Hi0Lo4\r\r\nmid.doc\r\r\nWXFiName_Hi0Lo6\r\r\n";
  EXPECT_EQ(platform::ScratchFolder::Read(ListPath()), expected);

  ProjectFileList back(ListPath());
  EXPECT_FALSE(back.LoadFailed());
  EXPECT_EQ(Keys(back), "zeta.doc;alpha.doc;mid.doc;");
  EXPECT_EQ(back.Lookup("zeta.doc"), "WXFiName_Hi0Lo10");
  ASSERT_TRUE(back.SaveToOwnPath());
  ASSERT_TRUE(back.SaveToOwnPath());
  EXPECT_EQ(platform::ScratchFolder::Read(ListPath()), expected);
}

TEST_F(ProjectFileListTest, AbsentFileIsAnEmptyNewList) {
  ProjectFileList list;
  EXPECT_TRUE(list.Load(ListPath()));
  EXPECT_TRUE(list.FileWasAbsent());
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetPath(), ListPath());
  ASSERT_TRUE(list.Add("a.doc", "WXFiName_Hi0Lo1"));
  EXPECT_TRUE(list.SaveToOwnPath());

  folder_.Put("empty.wxf", "");
  ProjectFileList empty;
  EXPECT_TRUE(empty.Load(folder_ / "empty.wxf"));
  EXPECT_FALSE(empty.FileWasAbsent());
}

TEST_F(ProjectFileListTest, UnreadableListIsNeverSavedOver) {
  const std::string broken = "a.doc\r\r\nWXFiName_Hi0Lo1\r\r\nb.doc\r\r\n";
  folder_.Put("WXFiName_Hi1Lo2_ProjectFileList.wxf", broken);
  ProjectFileList list(ListPath());
  EXPECT_TRUE(list.LoadFailed());
  EXPECT_EQ(Keys(list), "a.doc;") << "the pairs before the failure stay";
  list.Add("c.doc", "WXFiName_Hi0Lo3");
  EXPECT_FALSE(list.SaveToOwnPath());
  EXPECT_FALSE(list.Save(folder_ / "other.wxf"));
  EXPECT_EQ(platform::ScratchFolder::Read(ListPath()), broken);

  list.Clear();
  EXPECT_EQ(list.GetPath(), "");
  EXPECT_TRUE(list.Save(folder_ / "other.wxf"));
}

TEST_F(ProjectFileListTest, OverLongLineAndMissingFolderFailToLoad) {
  folder_.Put("long.wxf", "a.doc\nWXFiName_Hi0Lo1\n" + std::string((1 << 20) + 10, 'x') + "\nb.doc\nWXFiName_Hi0Lo2\n");
  ProjectFileList list;
  EXPECT_FALSE(list.Load(folder_ / "long.wxf"));
  EXPECT_TRUE(list.LoadFailed());
  EXPECT_FALSE(list.Load(folder_ / "missing/list.wxf"));
  EXPECT_FALSE(list.FileWasAbsent());
  EXPECT_FALSE(list.Load(""));
  EXPECT_FALSE(list.Load(folder_.Path())) << "a folder is not a readable list";
}

TEST_F(ProjectFileListTest, LoadAddsToWhatIsHeldAndSkipsComments) {
  folder_.Put("list.wxf", "\n! written by hand\r\n  spaced name  \r\nWXFiName_Hi0Lo1\nx\nWXFiName_Hi0Lo2\nx\nWXFiName_Hi0Lo3");
  ProjectFileList list;
  list.Add("kept.doc", "WXFiName_Hi0Lo9");
  ASSERT_TRUE(list.Load(folder_ / "list.wxf"));
  EXPECT_EQ(Keys(list), "kept.doc;spaced name;x;");
  EXPECT_EQ(list.Lookup("x"), "WXFiName_Hi0Lo3") << "a repeated key keeps its last value";
}

TEST_F(ProjectFileListTest, AddRemoveAndLookups) {
  ProjectFileList list;
  EXPECT_FALSE(list.Add("", "v"));
  EXPECT_FALSE(list.Add("k", ""));
  ASSERT_TRUE(list.Add("a", "1"));
  ASSERT_TRUE(list.Add("b", "2"));
  ASSERT_TRUE(list.Add("c", "3"));
  EXPECT_FALSE(list.Add("a", "9"));
  EXPECT_EQ(list.Lookup("a"), "1");
  EXPECT_EQ(list.Lookup("A"), "") << "keys compare with case";
  EXPECT_FALSE(list.Remove("missing"));
  EXPECT_FALSE(list.Remove(""));
  ASSERT_TRUE(list.Remove("a"));
  EXPECT_FALSE(list.Contains("a"));
  list.SetAt("a", "4");
  EXPECT_EQ(Keys(list), "b;c;a;");
  EXPECT_EQ(list.Lookup("c"), "3");
  StringList values;
  list.GetValues(values);
  EXPECT_EQ(values.GetAt(2), "4");
}

TEST_F(ProjectFileListTest, FailedWriteKeepsTheOldFile) {
  ProjectFileList list;
  list.Add("a.doc", "WXFiName_Hi0Lo1");
  ASSERT_TRUE(list.Save(ListPath()));
  const std::string before = platform::ScratchFolder::Read(ListPath());
  list.Add("b.doc", "WXFiName_Hi0Lo2");
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  EXPECT_FALSE(list.Save(ListPath()));
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_EQ(platform::ScratchFolder::Read(ListPath()), before);
}

// A row added through the journal's append, and the list read back from the file
// and from the cache, are what a whole rewrite would have given.
TEST_F(ProjectFileListTest, AnAppendedRowReadsBackAsTheRewrittenList) {
  struct Case {
    const char* what;
    std::optional<std::string> file;  // none: the project has no list file yet
    std::string name;
  };
  const Case cases[] = {
      {"the first row of an empty file", "", "first.doc"},
      {"the first row, no file yet", std::nullopt, "first.doc"},
      {"the 10 000th row", FileOfRows(9999), "doc9999.txt"},
      {"names that need care", FileOfRows(3, "a, \"quoted\" \\ name;#1.doc"), "\u00fcn\u00efc\u00f8de \"x\", y.doc"},
      {"a file whose last row is unended", "a.doc\r\r\nWXFiName_Hi0Lo1", "b.doc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(ListPath().c_str());
    if (c.file) folder_.Put("WXFiName_Hi1Lo2_ProjectFileList.wxf", *c.file);
    RecordCache cache;
    ProjectFileList list = *cache.List(ListPath());
    ASSERT_FALSE(list.LoadFailed());
    const ProjectFileList before = list;
    ASSERT_TRUE(list.Add(c.name, "WXFiName_Hi9Lo9"));
    RecordChange change(folder_ / "Journal", cache);
    ASSERT_TRUE(change.AppendToList(list, {c.name}));
    ASSERT_TRUE(change.Commit());

    std::string rewritten;
    ASSERT_TRUE(list.Encode(rewritten));
    EXPECT_EQ(platform::ScratchFolder::Read(ListPath()), rewritten);
    EXPECT_EQ(Pairs(ProjectFileList(ListPath())), Pairs(list));
    EXPECT_EQ(Pairs(*cache.List(ListPath())), Pairs(list));
    EXPECT_FALSE(before.Contains(c.name)) << "a copy taken before the add keeps its rows";
    ASSERT_TRUE(list.Remove(c.name));
    EXPECT_EQ(Pairs(list), Pairs(before));
  }
}
