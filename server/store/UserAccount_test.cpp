#include "server/store/UserAccount.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

using ::testing::MatchesRegex;

// Splits one record line (without its line feed) at the commas outside quotes.
std::vector<std::string> Fields(std::string line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

UserAccount ValidTcpIpAccount() {
  UserAccount account;
  account.SetId(4);
  account.SetName("ann");
  account.SetPassword("secret");
  account.SetConnectionType(UserAccount::kTcpIp);
  return account;
}

TEST(UserAccountTest, NewAccountHasTheDefaults) {
  UserAccount account;
  EXPECT_EQ(account.GetId(), -1);
  EXPECT_EQ(account.GetKeyLength(), 16);
  EXPECT_EQ(account.GetConnectionType(), UserAccount::kUnknown);
  EXPECT_TRUE(account.IsLockoutTrapSet());
  EXPECT_FALSE(account.IsLockedOut());
  EXPECT_THAT(account.GetLogonCode(), MatchesRegex("[0-9]{10,50}"));
  EXPECT_NE(account.GetDateTime().GetDate().GetYear(), 0);
  EXPECT_FALSE(account.Validate());

  account.SetId(2);
  account.SetName(" ann ");
  account.SetPassword("pw");
  EXPECT_EQ(account.GetName(), "ann");
  EXPECT_FALSE(account.Validate());  // type 0
  account.SetConnectionType(UserAccount::kTcpIp);
  EXPECT_TRUE(account.Validate());
  account.SetConnectionType(UserAccount::kFtp);
  EXPECT_FALSE(account.Validate());
}

TEST(UserAccountTest, ValidateEmailAccounts) {
  UserAccount account = ValidTcpIpAccount();
  account.SetConnectionType(UserAccount::kEmail);
  account.SetEmailAddress("ann@example.org");
  account.SetEmailField2("pop");
  account.SetEmailField3("smtp");
  account.SetEmailField4("box");
  EXPECT_FALSE(account.Validate());  // server mail field 1 missing
  account.SetServerMailField1("server");
  EXPECT_TRUE(account.Validate());
  account.SetEmailAddress("ann smith@example.org");
  EXPECT_FALSE(account.Validate());
  account.SetEmailAddress("ann@example.org");
  account.SetEmailField3("s mtp");
  EXPECT_FALSE(account.Validate());
}

TEST(UserAccountTest, ValidateDialInAccounts) {
  for (int type : {UserAccount::kRas, UserAccount::kDialIn}) {
    UserAccount account = ValidTcpIpAccount();
    account.SetConnectionType(type);
    account.SetDialBackNumber("0123 456 789");
    account.SetDialInField2("line");
    account.SetDialInField3("modem");
    EXPECT_FALSE(account.Validate());  // dial-in field 4 missing
    account.SetDialInField4("x");
    EXPECT_TRUE(account.Validate());
    for (const char* bad : {"0123A", "+44 123", "0123-456", "01x", "\xC2\xA3" "12", "12#"}) {
      account.SetDialBackNumber(bad);
      EXPECT_FALSE(account.Validate()) << bad;
    }
    account.SetDialBackNumber("0123");
    account.SetDialInField2("two words");
    EXPECT_FALSE(account.Validate());
  }
}

TEST(UserAccountTest, StoredLineIsByteExactAndReadsBack) {
  UserAccount account;
  account.SetId(7);
  account.SetName("ann \"the\" admin");
  account.SetPassword("pw");
  account.SetKeyText("00FF");
  account.SetKeyLength(2);
  account.SetConnectionType(UserAccount::kEmail);
  account.SetServerAddress("10.0.0.1");
  account.SetServerPort(6000);
  account.SetIpAddress("10.0.0.9");
  account.SetPort(7000);
  account.SetServerMailField1("m1");
  account.SetServerMailField2("m2");
  account.SetServerMailField3("m3");
  account.SetServerMailField4("m4");
  account.SetEmailAddress("a@b");
  account.SetEmailField2("e2");
  account.SetEmailField3("e3");
  account.SetEmailField4("e4");
  account.SetDialBackNumber("123");
  account.SetDialInField2("d2");
  account.SetDialInField3("d3");
  account.SetDialInField4("d4");
  account.SetLogonCode("12345");
  DateTime stamp;
  stamp.Parse("20240301123005");
  account.SetDateTime(stamp);
  account.SetLastCode("999");
  account.LockOut();

  const std::string line = account.Save("");
  EXPECT_EQ(line,
            "7,\"ann \"\"the\"\" admin\",\"pw\",\"00FF\",2,2,\"10.0.0.1\",6000,\"10.0.0.9\",7000,"
            "\"m1\",\"m2\",\"m3\",\"m4\",\"a@b\",\"e2\",\"e3\",\"e4\",\"123\",\"d2\",\"d3\",\"d4\","
            "\"12345\",\"20240301123005\",\"999\",1,1\n");

  UserAccount loaded;
  EXPECT_EQ(loaded.Load(line + "next"), "next");
  EXPECT_EQ(loaded.Save(""), line);
}

TEST(UserAccountTest, ShortLineLeavesTheRestAtDefaults) {
  UserAccount account;
  account.LockOut();
  account.SetPort(5);
  EXPECT_EQ(account.Load("12,\"bob\",\"pw\""), "");
  EXPECT_EQ(account.GetId(), 12);
  EXPECT_EQ(account.GetName(), "bob");
  EXPECT_EQ(account.GetPassword(), "pw");
  EXPECT_EQ(account.GetKeyLength(), 16);
  EXPECT_EQ(account.GetPort(), 0);
  EXPECT_TRUE(account.IsLockoutTrapSet());
  EXPECT_FALSE(account.IsLockedOut());
}

TEST(UserAccountTest, LogonCodeCheck) {
  UserAccount account = ValidTcpIpAccount();
  account.SetLogonCode("4242");
  EXPECT_EQ(account.CheckLogonCode("1111"), UserAccount::CodeMatch::None);
  EXPECT_EQ(account.GetLastCode(), "1111");
  EXPECT_EQ(account.CheckLogonCode("4242"), UserAccount::CodeMatch::Current);
  EXPECT_EQ(account.GetLastCode(), "1111");

  DateTime old;
  old.Parse("20000101000000");
  account.SetDateTime(old);
  account.LockOut();
  EXPECT_EQ(account.CheckLogonCode("4242"), UserAccount::CodeMatch::None);
  EXPECT_EQ(account.CheckLogonCode("0000"), UserAccount::CodeMatch::None);
  EXPECT_EQ(account.GetLastCode(), "1111");
  EXPECT_EQ(account.GetDateTime().Format(), "20000101000000");
  account.Unlock();
  EXPECT_EQ(account.CheckLogonCode("4242"), UserAccount::CodeMatch::Current);
  EXPECT_NE(account.GetDateTime().Format(), "20000101000000");
}

TEST(UserAccountTest, CertificateLineFieldCountsPerConnectionType) {
  const struct {
    int type;
    std::size_t fields;
  } cases[] = {{0, 7}, {1, 11}, {2, 12}, {3, 10}, {4, 10}, {5, 7}};
  for (const auto& c : cases) {
    UserAccount account = ValidTcpIpAccount();
    account.SetConnectionType(c.type);
    const std::string line = account.BuildCertificateLine();
    ASSERT_EQ(line.back(), '\n');
    EXPECT_EQ(Fields(line).size(), c.fields) << "type " << c.type;
  }

  UserAccount account = ValidTcpIpAccount();
  account.SetServerAddress("127.0.0.1");
  account.SetServerPort(6000);
  account.SetIpAddress("10.1.1.1");
  account.SetPort(80);
  const std::string line = account.BuildCertificateLine();
  EXPECT_EQ(line, "4,\"ann\",\"secret\",\"" + account.GetKeyText() + "\",16,1,\"" + account.GetLogonCode() +
                      "\",\"127.0.0.1\",6000,\"10.1.1.1\",80\n");
}

TEST(UserAccountTest, EachCertificateGivesAFreshCodeAndKey) {
  UserAccount account = ValidTcpIpAccount();
  account.BuildCertificateLine();
  const std::string firstCode = account.GetLogonCode();
  const std::string firstKey = account.GetKeyText();
  EXPECT_THAT(firstKey, MatchesRegex("[0-9A-F]{32}"));
  const std::string second = account.BuildCertificateLine();
  EXPECT_NE(account.GetLogonCode(), firstCode);
  EXPECT_NE(account.GetKeyText(), firstKey);
  EXPECT_THAT(account.GetLogonCode(), MatchesRegex("[0-9]{10,50}"));
  EXPECT_NE(second.find(account.GetKeyText()), std::string::npos);

  account.SetKeyLength(3);
  account.GenerateKeyText();
  EXPECT_THAT(account.GetKeyText(), MatchesRegex("[0-9A-F]{6}"));
  EXPECT_EQ(UserAccount::RandomKeyText(0), "");
  EXPECT_EQ(UserAccount::RandomKeyText(-4), "");
}

}  // namespace
