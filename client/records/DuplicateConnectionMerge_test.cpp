#include "client/records/DuplicateConnectionMerge.h"

#include <gtest/gtest.h>

#include "client/records/ClientAppState.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace {

// One stored connection: library, user number, server host, logon code and local
// folder (a folder name ending in '+' exists on disk).
struct Stored {
  std::string library;
  int user;
  std::string host;
  std::string code;
  std::string folder;
};

struct MergeCase {
  const char* what;
  std::vector<LibraryEntry> entries;
  std::vector<std::vector<Stored>> profiles;   // one login's connections each
  std::vector<std::vector<std::string>> merged;   // "library user code folder" per connection
  std::vector<std::string> entryNames;            // the entries left
};

class DuplicateConnectionMergeTest : public ::testing::TestWithParam<MergeCase> {
 protected:
  void TearDown() override { ClientAppState::ClearUsersModified(); }
  std::string Folder(const std::string& name) {
    const std::string path = scratch_ / name;
    if (name.back() == '+') {
      EXPECT_TRUE(platform::fs::CreateFolder(path));
    }
    return path;
  }
  platform::ScratchFolder scratch_;
};

TEST_P(DuplicateConnectionMergeTest, KeepsOneConnectionPerLibraryAndUser) {
  const MergeCase& c = GetParam();
  std::vector<UserProfile> profiles;
  for (const std::vector<Stored>& stored : c.profiles) {
    UserProfile& profile = profiles.emplace_back();
    for (const Stored& s : stored) {
      LibraryConnection connection;
      connection.SetName(s.library);
      connection.SetUserNumber(s.user);
      connection.SetHost(s.host);
      connection.SetLogonCode(s.code);
      connection.SetLocalFolder(Folder(s.folder));
      profile.AddConnection(connection);
      profile.SetCurrentConnection(connection);
    }
  }
  std::vector<LibraryEntry> entries = c.entries;
  const std::vector<UserProfile> before = profiles;
  ClientAppState::ClearUsersModified();

  const bool changed = DuplicateConnectionMerge::Merge(profiles, entries);

  bool expectChange = false;
  for (std::size_t p = 0; p < profiles.size(); ++p) {
    std::vector<std::string> shown;
    for (int i = 0; i < profiles[p].GetConnectionCount(); ++i) {
      const LibraryConnection& connection = *profiles[p].GetConnection(i);
      const std::string folder = connection.GetLocalFolder().substr(scratch_.Path().size() + 1);
      shown.push_back(connection.GetName() + " " + std::to_string(connection.GetUserNumber()) + " " +
                      connection.GetLogonCode() + " " + folder);
    }
    EXPECT_EQ(shown, c.merged[p]) << c.what << ", profile " << p;
    expectChange = expectChange || profiles[p].GetConnectionCount() != before[p].GetConnectionCount();
  }
  EXPECT_EQ(changed, expectChange) << c.what;
  EXPECT_EQ(ClientAppState::AreUsersModified(), expectChange) << c.what;
  std::vector<std::string> names;
  for (const LibraryEntry& entry : entries) names.push_back(entry.GetName());
  EXPECT_EQ(names, c.entryNames) << c.what;
  // The current connection names one that is still listed.
  for (const UserProfile& profile : profiles) {
    const LibraryConnection* current = profile.GetCurrentConnection();
    bool listed = false;
    for (int i = 0; i < profile.GetConnectionCount(); ++i) listed = listed || *profile.GetConnection(i) == *current;
    EXPECT_TRUE(listed || profile.GetConnectionCount() == 0) << c.what;
  }
}

const LibraryEntry kOld("Old", "0A0B", 2);
const LibraryEntry kNew("New", "0A0B", 2);
const LibraryEntry kOther("Other", "0C0D", 2);

INSTANTIATE_TEST_SUITE_P(
    StoredSets, DuplicateConnectionMergeTest,
    ::testing::Values(
        MergeCase{"a rename's stale entry listed first, the new one never visited",
                  {kOld, kNew},
                  {{{"Old", 2, "h", "1", "old+"}, {"New", 2, "h", "2", "new"}}},
                  {{"New 2 2 old+"}},
                  {"New"}},
        MergeCase{"the new one visited: its folder is kept",
                  {kOld, kNew},
                  {{{"Old", 2, "h", "1", "old+"}, {"New", 2, "h", "2", "new+"}}},
                  {{"New 2 2 new+"}},
                  {"New"}},
        MergeCase{"another user's entry of the same library stays, and so does the former name it uses",
                  {kOld, kNew, kOther},
                  {{{"Old", 1, "h", "a", "ann+"}, {"Old", 2, "h", "1", "old+"}, {"Other", 2, "h", "o", "o"},
                    {"New", 2, "h", "2", "new"}}},
                  {{"Old 1 a ann+", "New 2 2 old+", "Other 2 o o"}},
                  {"Old", "New", "Other"}},
        MergeCase{"another login still naming the former name keeps its entry",
                  {kOld, kNew},
                  {{{"Old", 2, "h", "1", "old+"}, {"New", 2, "h", "2", "new"}}, {{"Old", 2, "h", "9", "x"}}},
                  {{"New 2 2 old+"}, {"Old 2 9 x"}},
                  {"Old", "New"}},
        MergeCase{"a copied library keeps the key but is served elsewhere: both stay",
                  {kOld, kNew},
                  {{{"Old", 2, "h", "1", "old"}, {"New", 2, "elsewhere", "2", "new"}}},
                  {{"Old 2 1 old", "New 2 2 new"}},
                  {"Old", "New"}},
        MergeCase{"libraries of other keys and users stay as they are",
                  {kOld, kOther},
                  {{{"Old", 2, "h", "1", "old"}, {"Other", 2, "h", "2", "other"}, {"Old", 3, "h", "3", "c"}}},
                  {{"Old 2 1 old", "Other 2 2 other", "Old 3 3 c"}},
                  {"Old", "Other"}}));

// Earlier builds could also leave two connections of one name and user: the last listed wins.
TEST(DuplicateConnectionMergeSameName, TheLastListedOfOneNameAndUserIsKept) {
  std::vector<LibraryEntry> entries{kOld};
  UserProfile profile;
  LibraryConnection stale;
  stale.SetName("Old");
  stale.SetUserNumber(2);
  stale.SetLogonCode("stale");
  LibraryConnection other = stale;
  other.SetUserNumber(1);
  profile.AddConnection(stale);
  profile.AddConnection(other);
  profile.AddConnection(LibraryConnection());   // a place for the duplicate AddConnection refuses
  LibraryConnection fresh = stale;
  fresh.SetLogonCode("fresh");
  *profile.GetConnection(2) = fresh;
  std::vector<UserProfile> profiles{profile};
  ASSERT_TRUE(DuplicateConnectionMerge::Merge(profiles, entries));
  ASSERT_EQ(profiles[0].GetConnectionCount(), 2);
  EXPECT_EQ(profiles[0].GetConnection(0)->GetLogonCode(), "fresh");
  EXPECT_EQ(profiles[0].GetConnection(1)->GetUserNumber(), 1);
  EXPECT_EQ(entries.size(), 1u);
  ClientAppState::ClearUsersModified();
}

}  // namespace
