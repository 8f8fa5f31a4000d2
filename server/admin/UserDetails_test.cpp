#include "server/admin/UserDetails.h"

#include <gtest/gtest.h>

namespace {

TEST(UserDetailsTest, PortIsEmptyOrDecimalUpTo65535) {
  const struct {
    const char* text;
    bool valid;
    int port;
  } cases[] = {{"", true, 0},         {" 8080 ", true, 8080}, {"0", true, 0},      {"65535", true, 65535},
               {"0006000", true, 6000}, {"65536", false, 0},  {"70000", false, 0}, {"abc", false, 0},
               {"-1", false, 0},        {"+80", false, 0},    {"8 0", false, 0},   {"99999999999999999999", false, 0}};
  for (const auto& c : cases) {
    int port = -7;
    EXPECT_EQ(UserDetails::ParsePort(c.text, port), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(port, c.port) << c.text;
    }
  }
}

TEST(UserDetailsTest, ApplyingCopiesOnlyTheEditedGroupAndKeepsCodeKeyAndLock) {
  UserAccount account;
  account.SetKeyText("00FF");
  account.SetLogonCode("123");
  account.SetLastCode("9");
  account.LockOut();
  account.SetEmailAddress("old@example.org");
  UserDetails details = UserDetails::FromAccount(account);
  details.name = "ann";
  details.password = "pw";
  details.connectionType = UserAccount::kTcpIp;
  details.ipAddress = "10.0.0.2";
  details.portText = "8901";
  details.emailAddress = "new@example.org";  // not of the TCP/IP group
  ASSERT_TRUE(details.ApplyTo(account));
  EXPECT_EQ(account.GetName(), "ann");
  EXPECT_EQ(account.GetIpAddress(), "10.0.0.2");
  EXPECT_EQ(account.GetPort(), 8901);
  EXPECT_EQ(account.GetEmailAddress(), "old@example.org");
  EXPECT_EQ(account.GetKeyText(), "00FF");
  EXPECT_EQ(account.GetLogonCode(), "123");
  EXPECT_EQ(account.GetLastCode(), "9");
  EXPECT_TRUE(account.IsLockedOut());

  for (const char* badName : {"a/b", "..", "!x", "a\nb"}) {
    UserDetails bad = details;
    bad.name = badName;
    EXPECT_FALSE(bad.ApplyTo(account)) << badName;
  }
  details.portText = "70000";
  EXPECT_FALSE(details.ApplyTo(account));
  EXPECT_EQ(account.GetName(), "ann");
  EXPECT_EQ(account.GetPort(), 8901);
}

TEST(UserDetailsTest, CompletenessDependsOnTheGroupOfTheType) {
  UserDetails details;
  details.name = "ann";
  details.password = "pw";
  const auto completeAs = [&details](int type) {
    details.connectionType = type;
    return details.IsComplete();
  };
  EXPECT_TRUE(completeAs(UserAccount::kTcpIp));
  EXPECT_FALSE(completeAs(UserAccount::kUnknown));
  EXPECT_FALSE(completeAs(UserAccount::kEmail));
  details.emailAddress = details.emailServer = details.emailAccount = details.emailPassword = "x";
  EXPECT_TRUE(completeAs(UserAccount::kEmail));
  EXPECT_FALSE(completeAs(UserAccount::kDialIn));
  details.dialBackNumber = details.dialInAccount = details.dialInPassword = "1";
  EXPECT_TRUE(completeAs(UserAccount::kDialIn));
  EXPECT_TRUE(completeAs(UserAccount::kFtp));
  EXPECT_FALSE(completeAs(UserAccount::kRas));
  details.password.clear();
  EXPECT_FALSE(completeAs(UserAccount::kTcpIp));
}

}  // namespace
