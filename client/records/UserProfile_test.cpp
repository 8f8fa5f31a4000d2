#include "client/records/UserProfile.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

#include "client/records/ClientAppState.h"

namespace {

LibraryConnection Connection(const std::string& name, const std::string& folder) {
  LibraryConnection c;
  c.SetName(name);
  c.SetHost("127.0.0.1");
  c.SetLocalFolder(folder);
  return c;
}

class UserProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { ClientAppState::SetWindowState(0); }
  void TearDown() override {
    ClientAppState::SetWindowState(0);
    ClientAppState::ClearUsersModified();
  }

  static UserProfile ReadBack(const std::string& text, bool& ok) {
    std::istringstream in(text);
    UserProfile profile;
    ok = profile.Read(in);
    return profile;
  }
  static std::string Written(const UserProfile& profile) {
    std::ostringstream out;
    EXPECT_TRUE(profile.Write(out));
    return out.str();
  }
};

TEST_F(UserProfileTest, ProfileWithoutConnectionsWritesOnlyItsLine) {
  UserProfile profile;
  profile.SetLoginName("ann \"a\"");
  profile.SetBackupRoot("/w/BackupRoot");
  EXPECT_EQ(Written(profile),
            "2,0,\"ann \"\"a\"\"\",350,0,0,450,0,450,350,0,0,450,0,450,0,\"/w/BackupRoot\",-1,0\n");

  profile.GetCurrentConnection()->SetName("not written");
  bool ok = false;
  const UserProfile read = ReadBack(Written(profile), ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(*read.GetCurrentConnection(), LibraryConnection());
  EXPECT_EQ(read.GetLoginName(), "ann \"a\"");
  EXPECT_EQ(read.GetBackupRoot(), "/w/BackupRoot");
}

TEST_F(UserProfileTest, FullProfileRoundTrips) {
  UserProfile profile;
  profile.SetLoginName("bob");
  profile.SetPaneSizes(1, 2, 3, 4, 5, 6, UserProfile::kMaximisedLayout);
  profile.SetPaneSizes(7, 8, 9, 10, 11, 12, UserProfile::kRestoredLayout);
  profile.SetWindowState(2);
  profile.SetCurrentConnection(Connection("Lib B", "/b"));
  profile.AddConnection(Connection("Lib A", "/a"));
  profile.AddConnection(Connection("Lib B", "/b"));
  FolderRuleSet set;
  set.AddInclusion(FolderRule::kAllDocuments, "");
  profile.AddFolderRuleSet(set);
  profile.AddFolderRuleSet(FolderRuleSet());
  profile.SetCurrentFolderRuleSet(1);

  const std::string text = Written(profile);
  EXPECT_EQ(text.substr(0, text.find('\n')), "2,2,\"bob\",1,2,3,4,5,6,7,8,9,10,11,12,2,\"\",1,2");
  bool ok = false;
  const UserProfile read = ReadBack(text + "2,0,\"next\"", ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(read, profile);
}

TEST_F(UserProfileTest, ACompareProgramFollowsTheRuleSetCountOnlyWhenSet) {
  UserProfile profile;
  profile.SetLoginName("ann");
  const std::string plain = Written(profile);
  ClientAppState::ClearUsersModified();
  profile.SetCompareProgram("/usr/bin/cmp, \"two\"");
  EXPECT_TRUE(ClientAppState::AreUsersModified());
  const std::string text = Written(profile);
  EXPECT_EQ(text.substr(0, text.find('\n')), plain.substr(0, plain.find('\n')) + ",\"/usr/bin/cmp, \"\"two\"\"\"");
  const struct {
    std::string record;
    std::string program;
  } cases[] = {{text, profile.GetCompareProgram()}, {plain, ""}};
  for (const auto& c : cases) {
    bool ok = false;
    const UserProfile read = ReadBack(c.record, ok);
    ASSERT_TRUE(ok) << c.record;
    EXPECT_EQ(read.GetCompareProgram(), c.program);
  }
}

// One connection per library and user: a second of the same name and user number
// is dropped, another user's is kept, in memory and when a file carries them.
TEST_F(UserProfileTest, OneConnectionPerLibraryAndUser) {
  const auto of = [](const std::string& folder, int user) {
    LibraryConnection c = Connection("Lib", folder);
    c.SetUserNumber(user);
    return c;
  };
  UserProfile profile;
  profile.AddConnection(of("/first", 1));
  ClientAppState::ClearUsersModified();
  profile.AddConnection(of("/second", 1));
  EXPECT_TRUE(ClientAppState::AreUsersModified());
  profile.AddConnection(of("/other user", 2));
  ASSERT_EQ(profile.GetConnectionCount(), 2);
  EXPECT_EQ(profile.GetConnection(0)->GetLocalFolder(), "/first");
  EXPECT_EQ(profile.GetConnection(1)->GetLocalFolder(), "/other user");
  EXPECT_EQ(profile.GetConnection(2), nullptr);
  EXPECT_EQ(profile.GetConnection(-1), nullptr);
  EXPECT_EQ(profile.FindConnection("Lib", 2), profile.GetConnection(1));
  EXPECT_EQ(profile.FindConnection("Lib", 3), nullptr);

  const std::string text = "2,3,\"ann\",350,0,0,450,0,450,350,0,0,450,0,450,0,\"\",-1,0\n" +
                           LibraryConnection().Write() + of("/first", 1).Write() + of("/second", 1).Write() +
                           of("/other user", 2).Write();
  bool ok = false;
  const UserProfile read = ReadBack(text, ok);
  ASSERT_TRUE(ok);
  // An earlier build's duplicate is read too, not dropped in favour of the stale first one.
  ASSERT_EQ(read.GetConnectionCount(), 3);
  EXPECT_EQ(read.GetConnection(1)->GetLocalFolder(), "/second");
}

TEST_F(UserProfileTest, BadProfileLinesAreRefused) {
  const std::string good = "2,0,\"ann\",350,0,0,450,0,450,350,0,0,450,0,450,0,\"\",-1,0\n";
  bool ok = false;
  ReadBack(good, ok);
  EXPECT_TRUE(ok);
  ReadBack("1" + good.substr(1), ok);
  EXPECT_FALSE(ok);
  ReadBack(good.substr(0, good.rfind(',')) + "\n", ok);   // no rule-set count
  EXPECT_FALSE(ok);
  ReadBack("\n" + good, ok);
  EXPECT_FALSE(ok);
  ReadBack("", ok);
  EXPECT_FALSE(ok);
  ReadBack("2,1,\"ann\",350,0,0,450,0,450,350,0,0,450,0,450,0,\"\",-1,0\n", ok);   // connection missing
  EXPECT_FALSE(ok);
  ReadBack("2,0,\"ann\",350,0,0,450,0,450,350,0,0,450,0,450,0,\"\",-1,1\n1000,1,3,\"\"\n", ok);
  EXPECT_FALSE(ok);
}

TEST_F(UserProfileTest, WriteFailsOnlyOnAFailedStream) {
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  EXPECT_FALSE(UserProfile().Write(out));
  std::istringstream in("2,0,\"ann\"");
  in.setstate(std::ios::failbit);
  UserProfile profile;
  EXPECT_FALSE(profile.Read(in));
}

TEST_F(UserProfileTest, PaneSettersWriteTheLayoutOfTheWindowState) {
  UserProfile profile;
  ClientAppState::SetWindowState(ClientAppState::kMaximised);
  profile.SetTreeWidth(123);
  EXPECT_EQ(profile.GetTreeViewWidth(UserProfile::kMaximisedLayout), 123);
  EXPECT_EQ(profile.GetTreeViewWidth(UserProfile::kRestoredLayout), 350);
  EXPECT_EQ(profile.GetTreeViewWidth(UserProfile::kCurrentLayout), 123);
  EXPECT_EQ(profile.GetTreeViewWidth(9), 123);

  ClientAppState::SetWindowState(0);
  profile.SetLocalFileListHeight(77);
  EXPECT_EQ(profile.GetLocalFileListHeight(UserProfile::kRestoredLayout), 77);
  EXPECT_EQ(profile.GetLocalFileListHeight(UserProfile::kMaximisedLayout), 450);
  profile.SetPaneSizes(1, 2, 3, 4, 5, 6, 7);   // any other number: restored
  EXPECT_EQ(profile.GetRowListHeight(UserProfile::kRestoredLayout), 4);
}

TEST_F(UserProfileTest, GetPaneSizesWithAnUnknownLayoutLeavesTheOutputs) {
  UserProfile profile;
  int a = -1, b = -1, c = -1, d = -1, e = -1, f = -1;
  profile.GetPaneSizes(a, b, c, d, e, f, 4);
  EXPECT_EQ(a + b + c + d + e + f, -6);
  profile.GetPaneSizes(a, b, c, d, e, f, UserProfile::kRestoredLayout);
  EXPECT_EQ(std::vector<int>({a, b, c, d, e, f}), std::vector<int>({350, 0, 0, 450, 0, 450}));
}

TEST_F(UserProfileTest, LongValuesRoundTrip) {
  UserProfile profile;
  profile.SetLoginName(std::string(20000, 'L'));
  profile.SetBackupRoot(std::string(20000, 'B'));
  profile.AddConnection(Connection(std::string(20000, 'N'), std::string(20000, 'F')));
  FolderRuleSet set;
  set.AddExclusion(FolderRule::kNoDocumentsNamed, std::string(20000, 'P'));
  profile.AddFolderRuleSet(set);
  bool ok = false;
  const UserProfile read = ReadBack(Written(profile), ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(read, profile);
}

TEST_F(UserProfileTest, EveryRuleSetChangeMarksTheUsersModified) {
  FolderRuleSet documents;
  documents.AddInclusion(FolderRule::kAllDocuments, "");
  const std::vector<std::pair<std::function<bool(UserProfile&)>, bool>> changes = {
      {[](UserProfile& p) { return p.AddFolderRuleSet(FolderRuleSet()) == 1; }, true},
      {[&](UserProfile& p) { return p.SetFolderRuleSet(0, documents) && *p.GetFolderRuleSet(0) == documents; }, true},
      {[](UserProfile& p) { return p.SetCurrentFolderRuleSet(0), true; }, true},
      {[&](UserProfile& p) { return !p.SetFolderRuleSet(1, documents) && !p.SetFolderRuleSet(-1, documents); }, false},
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    UserProfile profile;
    profile.AddFolderRuleSet(FolderRuleSet());
    ClientAppState::ClearUsersModified();
    EXPECT_TRUE(changes[i].first(profile)) << i;
    EXPECT_EQ(ClientAppState::AreUsersModified(), changes[i].second) << i;
  }
}

TEST_F(UserProfileTest, ChangingTheBackupRootMarksTheUsersModified) {
  struct Case {
    std::string before;
    std::string after;
    bool modified;
  };
  for (const Case& c : {Case{"", "/w/Backup", true}, Case{"/w/Backup", "/w/Other", true},
                        Case{"/w/Backup", "/w/Backup", false}, Case{"/w/Backup", "", true}}) {
    UserProfile profile;
    profile.SetBackupRoot(c.before);
    ClientAppState::ClearUsersModified();
    profile.SetBackupRoot(c.after);
    EXPECT_EQ(ClientAppState::AreUsersModified(), c.modified) << c.before << " -> " << c.after;
    EXPECT_EQ(profile.GetBackupRoot(), c.after);
  }
}

}  // namespace
