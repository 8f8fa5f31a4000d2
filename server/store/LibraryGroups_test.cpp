#include "server/store/LibraryGroups.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"

namespace {

class LibraryGroupsTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::AtomicFile::SetWriteHookForTesting(nullptr); }
  std::string FileText() const { return platform::ScratchFolder::Read(LibraryGroups::FilePath(scratch_.Path())); }
  bool Open(const std::vector<int>& accounts) {
    problem_.clear();
    return groups_.Open(scratch_.Path(), accounts, problem_);
  }

  platform::ScratchFolder scratch_;
  LibraryGroups groups_;
  std::string problem_;
};

TEST_F(LibraryGroupsTest, EarlierLibraryGetsThreeGroupsWithEveryAccountAPublisher) {
  ASSERT_TRUE(Open({2, 5})) << problem_;
  const auto table = groups_.Snapshot();
  ASSERT_EQ(table->groups.size(), 3u);
  EXPECT_EQ(table->defaultGroup, "Authors");
  for (int id : {2, 5}) {
    EXPECT_EQ(table->RightIn(id, {"P1"}).role, GroupRole::Publisher);
    EXPECT_EQ(table->RightIn(id, {"P1"}).group, "Publishers");
  }
  struct stat info {};
  ASSERT_EQ(::stat(LibraryGroups::FilePath(scratch_.Path()).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // Read back as made, nothing to save again.
  const std::string made = FileText();
  LibraryGroups again;
  ASSERT_TRUE(again.Open(scratch_.Path(), {2, 5}, problem_));
  EXPECT_EQ(again.Snapshot()->Encode(), made);
}

TEST_F(LibraryGroupsTest, OpenPlacesAccountsAddedOrDeletedSinceTheLastSave) {
  ASSERT_TRUE(Open({2, 5}));
  // Account 7 was saved in the users file, account 2 deleted from it, and then the server was killed.
  LibraryGroups reopened;
  ASSERT_TRUE(reopened.Open(scratch_.Path(), {5, 7}, problem_));
  const auto table = reopened.Snapshot();
  EXPECT_EQ(table->RightIn(7, {"P"}).group, "Authors");
  EXPECT_EQ(table->RightIn(5, {"P"}).group, "Publishers");
  EXPECT_FALSE(table->Find("Publishers")->HasMember(2));
  EXPECT_EQ(table->placedUpTo, 7);
  EXPECT_EQ(FileText(), table->Encode());
}

TEST_F(LibraryGroupsTest, RightIsTheHighestRoleOfTheGroupsCoveringTheProjectOrAnAncestor) {
  GroupTable table;
  table.groups = {{"Everyone", GroupRole::Reader, {}, {1, 2}},
                  {"Docs", GroupRole::Author, {"Docs"}, {1}},
                  {"Leads", GroupRole::Publisher, {"Sub", "Other"}, {1, 3}}};
  struct Case {
    int id;
    std::vector<std::string> chain;   // project first, then its ancestors
    GroupRole role;
    const char* group;
  } cases[] = {
      {1, {"Top"}, GroupRole::Reader, "Everyone"},
      {1, {"Docs"}, GroupRole::Author, "Docs"},
      {1, {"Deep", "Docs"}, GroupRole::Author, "Docs"},
      {1, {"Sub", "Docs"}, GroupRole::Publisher, "Leads"},
      {2, {"Sub", "Docs"}, GroupRole::Reader, "Everyone"},
      {3, {"Docs"}, GroupRole::None, ""},
      {3, {"Leaf", "Other"}, GroupRole::Publisher, "Leads"},
      {4, {"Top"}, GroupRole::None, ""},
  };
  for (const Case& c : cases) {
    const ProjectRight right = table.RightIn(c.id, c.chain);
    EXPECT_EQ(right.role, c.role) << c.id << " in " << c.chain.front();
    EXPECT_EQ(right.group, c.group) << c.id << " in " << c.chain.front();
  }
  EXPECT_EQ(table.RightsOf(1).size(), 4u);   // the whole library, Docs, Sub and Other
}

TEST_F(LibraryGroupsTest, DamagedFileIsRefusedAndLeftAlone) {
  const char* texts[] = {
      "",                                        // no header
      "1,2,\"Authors\",0\n",                     // unknown version
      "1,1,\"Gone\",0\n2,\"A\",1\n",             // default group absent
      "1,1,\"\",0\n2,\"A\",4\n",                 // no such role
      "1,1,\"\",0\n2,\"A\",1\n2,\"A\",2\n",      // a name twice
      "1,1,\"\",0\n3,\"P1\"\n",                  // subtree before any group
      "1,1,\"\",0\n2,\"A\",1\n9,1\n",            // unknown record
  };
  for (const char* text : texts) {
    scratch_.Put(LibraryGroups::kFileName, text);
    EXPECT_FALSE(Open({1})) << text;
    EXPECT_NE(problem_.find("damaged"), std::string::npos) << text;
    EXPECT_EQ(FileText(), text);
  }
}

TEST_F(LibraryGroupsTest, ChangeThatIsNotSavedChangesNothing) {
  ASSERT_TRUE(Open({1}));
  const std::string before = FileText();
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  EXPECT_FALSE(groups_.Change([](GroupTable& table) {
    table.groups.push_back({"New", GroupRole::Author, {"P1"}, {1}});
    return true;
  }));
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_EQ(groups_.Snapshot()->Find("New"), nullptr);
  EXPECT_EQ(FileText(), before);
  ASSERT_TRUE(groups_.Change([](GroupTable& table) {
    table.groups.push_back({"New, \"quoted\"", GroupRole::Author, {"P1"}, {1}});
    return true;
  }));
  LibraryGroups reread;
  ASSERT_TRUE(reread.Open(scratch_.Path(), {1}, problem_));
  ASSERT_NE(reread.Snapshot()->Find("New, \"quoted\""), nullptr);
  EXPECT_EQ(reread.Snapshot()->Find("New, \"quoted\"")->subtrees, std::vector<std::string>{"P1"});
}

}  // namespace
