#include "server/store/ServerSettings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Notifier.h"

namespace {

using ::testing::MatchesRegex;

class ServerSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wex-users-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    path_ = root_ + "/WXUsers.wxf";
    settings_.SetRootPath(root_);
  }
  void TearDown() override {
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    std::filesystem::remove_all(root_);
  }

  static void FailWrites() { platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; }); }

  std::string RawFile() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The file's plain text, unscrambled with the certificate key.
  std::string PlainFile() const {
    std::string bytes = RawFile();
    Codec codec;
    const BuiltInKey key = CertificateBuiltInKey();
    codec.Add(static_cast<int>(key.size()), key.data(), 1);
    codec.Decode(0, static_cast<std::int64_t>(bytes.size()), bytes.data());
    return bytes;
  }
  void WritePlainFile(std::string text) const {
    Codec codec;
    const BuiltInKey key = CertificateBuiltInKey();
    codec.Add(static_cast<int>(key.size()), key.data(), 1);
    codec.Encode(0, static_cast<std::int64_t>(text.size()), text.data());
    std::ofstream(path_, std::ios::binary) << text;
  }

  static UserAccount Account(int id, const std::string& name, int type) {
    UserAccount account;
    account.SetId(id);
    account.SetName(name);
    account.SetPassword("pw");
    account.SetConnectionType(type);
    return account;
  }

  std::string root_;
  std::string path_;
  ServerSettings settings_{CertificateBuiltInKey()};
};

TEST_F(ServerSettingsTest, MissingFileGetsTheDefaultsAndReadsBackUnchanged) {
  namespace fs = std::filesystem;
  const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
  ASSERT_TRUE(settings_.EnsureUsersFile(root_));
  EXPECT_EQ(fs::status(path_).permissions(), ownerOnly);
  fs::permissions(path_, ownerOnly | fs::perms::group_read | fs::perms::others_read);
  const std::string key = settings_.GetDefaultKey();
  EXPECT_THAT(key, MatchesRegex("[0-9A-F]{32}"));
  EXPECT_EQ(PlainFile(), "\"Default Library Name\",0,1,\"127.0.0.1\",6000,\"\",\"\",\"\",\"\",\"\",\"" + key +
                             "\",16\n");
  EXPECT_NE(RawFile(), PlainFile());
  const std::string firstText = PlainFile();

  ServerSettings second(CertificateBuiltInKey());
  ASSERT_TRUE(second.EnsureUsersFile(root_));
  ASSERT_TRUE(second.LoadUsers(root_));
  EXPECT_EQ(second.GetDefaultKey(), key);
  EXPECT_EQ(second.GetPort(), 6000);
  EXPECT_EQ(second.GetServerAddress(), "127.0.0.1");
  EXPECT_EQ(second.GetNextUserId(), 1);
  EXPECT_EQ(second.GetLibraryName(), "Default Library Name");
  second.SetRootPath(root_);
  ASSERT_TRUE(second.SaveUsers(root_));
  EXPECT_EQ(PlainFile(), firstText);
  EXPECT_EQ(fs::status(path_).permissions(), ownerOnly);   // the wider mode found is not kept
}

TEST_F(ServerSettingsTest, ExistingFileIsNeverOverwrittenByTheDefaults) {
  WritePlainFile("\"Mine\",0,9,\"10.0.0.1\",7000,\"\",\"\",\"\",\"\",\"\",\"AB\",1\n");
  const std::string before = RawFile();
  EXPECT_TRUE(settings_.EnsureUsersFile(root_));
  EXPECT_EQ(RawFile(), before);

  // A users file that exists but cannot be opened (a link that loops) is a failure.
  std::filesystem::remove(path_);
  std::filesystem::create_symlink(path_, path_);
  EXPECT_FALSE(settings_.EnsureUsersFile(root_));
  EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(path_)));
  EXPECT_FALSE(settings_.LoadUsers(root_));
}

TEST_F(ServerSettingsTest, UsersFileRoundTrip) {
  ASSERT_TRUE(settings_.EnsureUsersFile(root_));
  settings_.SetLibraryName("  Plans, \"2024\" ");
  UserAccount ann = Account(2, "ann", UserAccount::kTcpIp);
  ann.SetIpAddress("10.0.0.2");
  UserAccount bob = Account(3, "bob", UserAccount::kEmail);
  bob.SetEmailAddress("bob@example.org");
  settings_.AddUser(ann);
  settings_.AddUser(bob);
  ASSERT_TRUE(settings_.SaveUsers(root_));

  const UserAccount storedAnn = *settings_.GetUser(0);
  const UserAccount storedBob = *settings_.GetUser(1);
  EXPECT_EQ(storedAnn.GetServerAddress(), "127.0.0.1");
  EXPECT_EQ(storedAnn.GetServerPort(), 6000);
  EXPECT_EQ(PlainFile(), storedBob.Save(storedAnn.Save("\"Plans, \"\"2024\"\"\",2,1,\"127.0.0.1\",6000,\"\",\"\",\"\","
                                                       "\"\",\"\",\"" +
                                                       settings_.GetDefaultKey() + "\",16\n")));

  ServerSettings loaded(CertificateBuiltInKey());
  ASSERT_TRUE(loaded.LoadUsers(root_));
  EXPECT_EQ(loaded.GetLibraryName(), "Plans, \"2024\"");
  ASSERT_EQ(loaded.GetUserCount(), 2);
  EXPECT_EQ(loaded.GetUser(0)->Save(""), storedAnn.Save(""));
  EXPECT_EQ(loaded.GetUser(1)->Save(""), storedBob.Save(""));
  EXPECT_FALSE(loaded.GetUser(2).has_value());
  EXPECT_EQ(loaded.FindUserIndex(3), 1);
  EXPECT_FALSE(loaded.FindUser(9).has_value());
}

// The code an account last used lives on a line behind the counted account lines,
// which readers that know only those lines never reach.
TEST_F(ServerSettingsTest, LastUsedCodeIsKeptBehindTheAccountLines) {
  ASSERT_TRUE(settings_.EnsureUsersFile(root_));
  settings_.AddUser(Account(2, "ann", UserAccount::kTcpIp));
  settings_.AddUser(Account(3, "bob", UserAccount::kTcpIp));
  ASSERT_TRUE(settings_.SaveUsers(root_));
  const std::string before = PlainFile();
  const std::string header = before.substr(0, before.find('\n') + 1);
  std::string used;
  ASSERT_TRUE(settings_.UpdateUser(3, [&used](UserAccount& bob) {
    used = bob.GetLogonCode();
    bob.AcceptLogonCode(UserAccount::CodeMatch::Current);
  }));
  ASSERT_TRUE(settings_.SaveUsers(root_));
  const UserAccount ann = *settings_.FindUser(2);
  const UserAccount bob = *settings_.FindUser(3);
  EXPECT_EQ(PlainFile(), bob.Save(ann.Save(header)) + "\"previous code\",3,\"" + used + "\"\n");

  ServerSettings loaded(CertificateBuiltInKey());
  ASSERT_TRUE(loaded.LoadUsers(root_));
  EXPECT_EQ(loaded.FindUser(3)->GetLogonCodes().previous, used);
  EXPECT_EQ(loaded.FindUser(3)->GetLogonCode(), bob.GetLogonCode());
  EXPECT_EQ(loaded.FindUser(2)->GetLogonCodes().previous, "");
}

TEST_F(ServerSettingsTest, HeaderMustBeCompleteButUserLinesMayBeFewer) {
  WritePlainFile("\"L\",0,1,\"127.0.0.1\",6000,\"\",\"\",\"\",\"\",\"\"");
  EXPECT_FALSE(settings_.LoadUsers(root_));
  EXPECT_EQ(settings_.GetLibraryName(), "Default Library Name");

  WritePlainFile("\"L\",3,4,\"127.0.0.1\",6000,\"\",\"\",\"\",\"\",\"\",\"AB\",1\n" +
                 Account(2, "ann", 1).Save("") + Account(3, "bob", 1).Save(""));
  ASSERT_TRUE(settings_.LoadUsers(root_));
  EXPECT_EQ(settings_.GetUserCount(), 2);
  EXPECT_EQ(settings_.GetNextUserId(), 4);

  std::filesystem::remove(path_);
  EXPECT_FALSE(settings_.LoadUsers(root_));
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(ServerSettingsTest, KeyLengthsTheSystemNeverMakesAreRefusedByName) {
  std::vector<std::string> messages;
  platform::SetNotifyHandler([&](const platform::Notification& n) {
    messages.push_back(n.text);
    return platform::NotifyAnswer::Ok;
  });
  const std::string header = "\"L\",3,4,\"127.0.0.1\",6000,\"\",\"\",\"\",\"\",\"\",\"AB\",";
  UserAccount huge = Account(2, "ann", 1);
  huge.SetKeyLength(2147483647);
  WritePlainFile(header + "1\n" + huge.Save("") + Account(3, "bob", 1).Save(""));
  ASSERT_TRUE(settings_.LoadUsers(root_));
  EXPECT_EQ(settings_.GetUserCount(), 1);
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_THAT(messages[0], ::testing::HasSubstr("\"ann\" (number 2) is left out: its key length 2147483647"));
  // The server's start names it on its console and shows no box.
  std::vector<std::string> lines;
  ASSERT_TRUE(settings_.LoadUsers(root_, [&](const std::string& line) { lines.push_back(line); }));
  EXPECT_EQ(messages.size(), 1U);
  ASSERT_EQ(lines.size(), 1U);
  EXPECT_THAT(lines[0], ::testing::HasSubstr("\"ann\" (number 2) is left out"));

  WritePlainFile(header + "2147483647\n" + Account(3, "bob", 1).Save(""));
  EXPECT_FALSE(settings_.LoadUsers(root_));
  ASSERT_EQ(messages.size(), 2U);
  EXPECT_THAT(messages[1], ::testing::HasSubstr("key length 2147483647 is not between 1 and 64"));
  platform::SetNotifyHandler(nullptr);
}

TEST_F(ServerSettingsTest, DuplicateRulesOfAddingAUser) {
  UserAccount tcp = Account(2, "ann", UserAccount::kTcpIp);
  tcp.SetIpAddress("10.0.0.1");
  UserAccount mail = Account(3, "ann", UserAccount::kEmail);
  mail.SetEmailAddress("ann@example.org");
  UserAccount dial = Account(4, "ann", UserAccount::kDialIn);
  dial.SetDialInField2("line1");
  UserAccount ftp = Account(5, "ann", UserAccount::kFtp);
  for (const UserAccount& account : {tcp, mail, dial, ftp}) settings_.AddUser(account);

  const auto candidate = [](int type, void (*fill)(UserAccount&)) {
    UserAccount account = Account(10, "ann", type);
    fill(account);
    return account;
  };
  const struct {
    const char* what;
    UserAccount account;
    int duplicateOf;
  } cases[] = {
      {"same id, other name", Account(3, "zed", UserAccount::kTcpIp), 1},
      {"tcp, empty ip", candidate(1, [](UserAccount&) {}), 0},
      {"tcp, equal ip", candidate(1, [](UserAccount& a) { a.SetIpAddress("10.0.0.1"); }), 0},
      {"tcp, other ip", candidate(1, [](UserAccount& a) { a.SetIpAddress("10.0.0.2"); }), -1},
      {"tcp, other name", Account(10, "Ann", UserAccount::kTcpIp), -1},
      {"mail, equal address", candidate(2, [](UserAccount& a) { a.SetEmailAddress("ann@example.org"); }), 1},
      {"mail, other address", candidate(2, [](UserAccount& a) { a.SetEmailAddress("x@example.org"); }), -1},
      {"dial-in, equal field 2", candidate(4, [](UserAccount& a) { a.SetDialInField2("line1"); }), 2},
      {"dial-in, other field 2", candidate(4, [](UserAccount& a) { a.SetDialInField2("line2"); }), -1},
      {"ras against dial-in", candidate(3, [](UserAccount& a) { a.SetDialInField2("line1"); }), -1},
      {"other type never", candidate(5, [](UserAccount&) {}), -1},
  };
  for (const auto& c : cases) EXPECT_EQ(settings_.FindDuplicate(c.account), c.duplicateOf) << c.what;
}

TEST_F(ServerSettingsTest, AddUserCheckedAllocatesRefusesAndSaves) {
  ASSERT_TRUE(settings_.EnsureUsersFile(root_));
  UserAccount ann = Account(-1, "ann", UserAccount::kTcpIp);
  ASSERT_TRUE(settings_.AddUserChecked(ann));
  EXPECT_EQ(ann.GetId(), 2);  // a new library stores 1; allocation increments first

  UserAccount again = Account(-1, "ann", UserAccount::kTcpIp);
  again.SetIpAddress("10.0.0.5");  // the stored ann has an empty address
  EXPECT_FALSE(settings_.AddUserChecked(again));
  EXPECT_EQ(again.GetId(), 3);
  EXPECT_EQ(settings_.GetUserCount(), 1);

  ServerSettings loaded(CertificateBuiltInKey());
  ASSERT_TRUE(loaded.LoadUsers(root_));
  ASSERT_EQ(loaded.GetUserCount(), 1);
  EXPECT_EQ(loaded.GetUser(0)->GetName(), "ann");
  EXPECT_EQ(loaded.GetNextUserId(), 3);
}

TEST_F(ServerSettingsTest, FailedSavesAreReportedAndLeaveTheTableAsItWas) {
  ASSERT_TRUE(settings_.EnsureUsersFile(root_));
  const std::string before = RawFile();
  FailWrites();
  EXPECT_EQ(settings_.AllocateUserId(), -1);
  UserAccount bob = Account(7, "bob", UserAccount::kTcpIp);
  EXPECT_FALSE(settings_.AddUserChecked(bob));
  EXPECT_EQ(settings_.GetUserCount(), 0);
  EXPECT_FALSE(settings_.SaveUsers(root_));
  EXPECT_EQ(RawFile(), before);
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_EQ(settings_.AllocateUserId(), 3);  // the failed allocation still advanced the counter
}

TEST_F(ServerSettingsTest, CertificateTextSavesTheNewCodeAndKey) {
  ASSERT_TRUE(settings_.EnsureUsersFile(root_));
  settings_.AddUser(Account(2, "ann", UserAccount::kTcpIp));
  ASSERT_TRUE(settings_.SaveUsers(root_));

  std::string text;
  ASSERT_TRUE(settings_.BuildCertificateText(0, text));
  const UserAccount issued = *settings_.GetUser(0);
  EXPECT_EQ(text, "\"Default Library Name\",16,\"" + settings_.GetDefaultKey() + "\"\n" + "2,\"ann\",\"pw\",\"" +
                      issued.GetKeyText() + "\",16,1,\"" + issued.GetLogonCode() +
                      "\",\"127.0.0.1\",6000,\"\",0\n");
  ServerSettings loaded(CertificateBuiltInKey());
  ASSERT_TRUE(loaded.LoadUsers(root_));
  EXPECT_EQ(loaded.GetUser(0)->GetLogonCode(), issued.GetLogonCode());
  EXPECT_EQ(loaded.GetUser(0)->GetKeyText(), issued.GetKeyText());

  std::string second;
  ASSERT_TRUE(settings_.BuildCertificateText(0, second));
  EXPECT_NE(settings_.GetUser(0)->GetLogonCode(), issued.GetLogonCode());
  EXPECT_NE(settings_.GetUser(0)->GetKeyText(), issued.GetKeyText());

  const UserAccount saved = *settings_.GetUser(0);
  FailWrites();
  std::string refused = "stale";
  EXPECT_FALSE(settings_.BuildCertificateText(0, refused));
  EXPECT_EQ(refused, "");
  EXPECT_EQ(settings_.GetUser(0)->GetLogonCode(), saved.GetLogonCode());
  EXPECT_EQ(settings_.GetUser(0)->GetKeyText(), saved.GetKeyText());
  EXPECT_FALSE(settings_.BuildCertificateText(5, refused));
}

TEST_F(ServerSettingsTest, ChangesGoThroughTheSettings) {
  settings_.AddUser(Account(2, "ann", UserAccount::kTcpIp));
  settings_.AddUser(Account(3, "bob", UserAccount::kTcpIp));
  settings_.SetServerAddress("  192.168.1.4 ");
  EXPECT_EQ(settings_.GetServerAddress(), "192.168.1.4");
  EXPECT_EQ(settings_.GetUser(1)->GetServerAddress(), "192.168.1.4");
  settings_.SetPort(7123);
  EXPECT_EQ(settings_.GetUser(1)->GetServerPort(), 7123);  // later certificates carry it

  UserAccount copy = *settings_.FindUser(2);
  copy.LockOut();
  EXPECT_FALSE(settings_.FindUser(2)->IsLockedOut());  // a look-up hands out a copy
  EXPECT_TRUE(settings_.UpdateUser(2, [](UserAccount& account) { account.LockOut(); }));
  EXPECT_TRUE(settings_.FindUser(2)->IsLockedOut());
  EXPECT_FALSE(settings_.UpdateUser(9, [](UserAccount&) { ADD_FAILURE() << "called for a missing id"; }));

  settings_.RemoveUser(9);
  settings_.RemoveUser(2);
  EXPECT_EQ(settings_.GetUserCount(), 1);
  EXPECT_EQ(settings_.FindUserIndex(3), 0);
  settings_.RemoveAllUsers();
  EXPECT_EQ(settings_.GetUserCount(), 0);

  settings_.SetDefaultKeyLength(4);
  settings_.GenerateDefaultKey();
  EXPECT_THAT(settings_.GetDefaultKey(), MatchesRegex("[0-9A-F]{8}"));
}

TEST_F(ServerSettingsTest, ConcurrentUpdatesAreNotLost) {
  settings_.AddUser(Account(2, "ann", UserAccount::kTcpIp));
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this] {
      for (int i = 0; i < kRounds; ++i) {
        settings_.UpdateUser(2, [](UserAccount& account) { account.SetPort(account.GetPort() + 1); });
        EXPECT_TRUE(settings_.FindUser(2).has_value());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(settings_.FindUser(2)->GetPort(), kThreads * kRounds);
}

TEST_F(ServerSettingsTest, EmptyRootIsRefused) {
  EXPECT_FALSE(settings_.EnsureUsersFile(""));
  EXPECT_FALSE(settings_.SaveUsers(""));
  EXPECT_FALSE(settings_.LoadUsers(""));
}

}  // namespace
