#include "client/records/LibraryConnection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "client/records/ClientAppState.h"

namespace {

LibraryConnection Filled() {
  LibraryConnection c;
  c.SetUserNumber(7);
  c.SetName("Lib \"One\"");
  c.SetSecondLogonText("pw");
  c.SetLogonCode("123");
  c.SetHost("10.0.0.1");
  c.SetPort(9000);
  c.SetTcpIpText("tt");
  c.SetTcpIpNumber(5);
  c.SetEmailAddress("a@b");
  for (int i = 1; i <= 4; ++i) c.SetEmailText(i, "e" + std::to_string(i));
  c.SetFtpAddress("ftp");
  for (int i = 1; i <= 4; ++i) c.SetDialInText(i, "d" + std::to_string(i));
  c.SetKind(LibraryConnection::kTcpIp);
  c.SetUserText("ann");
  c.SetKeyText("0A0B");
  c.SetKeyLength(2);
  c.SetLocalFolder("/w/ann/Lib");
  return c;
}

TEST(LibraryConnectionTest, NewRecordDefaults) {
  const LibraryConnection c;
  EXPECT_EQ(c.GetPort(), 8901);
  EXPECT_EQ(c.GetKind(), 0);
  EXPECT_EQ(c.Write(), "1,0,\"\",\"\",\"\",\"\",8901,\"\",0,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,\"\",\"\",0,\"\"\n");
}

TEST(LibraryConnectionTest, LineIsByteExactWithDialInFourBeforeThree) {
  EXPECT_EQ(Filled().Write(),
            "1,7,\"Lib \"\"One\"\"\",\"pw\",\"123\",\"10.0.0.1\",9000,\"tt\",5,\"a@b\",\"e1\",\"e2\",\"e3\",\"e4\","
            "\"ftp\",\"d1\",\"d2\",\"d4\",\"d3\",1,\"ann\",\"0A0B\",2,\"/w/ann/Lib\"\n");
}

TEST(LibraryConnectionTest, ReadsItsOwnLineBackAndRefusesCutLines) {
  const LibraryConnection written = Filled();
  std::string line = written.Write();
  line.pop_back();   // as a line reader hands it over
  LibraryConnection read;
  ASSERT_TRUE(read.Read(line));
  EXPECT_EQ(read, written);

  const std::size_t lastField = line.rfind(",\"");
  LibraryConnection cut;
  EXPECT_FALSE(cut.Read(line.substr(0, lastField)));
  EXPECT_FALSE(cut.Read(line.substr(0, lastField + 1)));
  EXPECT_FALSE(cut.Read(""));
}

TEST(LibraryConnectionTest, SettersMarkUsersModifiedAndSetKind) {
  LibraryConnection c;
  ClientAppState::ClearUsersModified();
  c.SetEmailAddress("x@y");
  EXPECT_TRUE(ClientAppState::AreUsersModified());
  EXPECT_TRUE(c.IsEmail());
  c.SetFtpAddress("f");
  EXPECT_TRUE(c.IsFtp());
  ClientAppState::ClearUsersModified();
  c.SetHost("h");
  EXPECT_TRUE(c.IsTcpIp());
  EXPECT_TRUE(ClientAppState::AreUsersModified());
  ClientAppState::ClearUsersModified();
}

TEST(LibraryConnectionTest, KeyMustBeTwiceItsLengthInHexDigits) {
  EXPECT_TRUE(LibraryConnection::IsValidKey("0a1B", 2));
  EXPECT_FALSE(LibraryConnection::IsValidKey("0A1", 2));
  EXPECT_FALSE(LibraryConnection::IsValidKey("0A1BC", 2));
  EXPECT_FALSE(LibraryConnection::IsValidKey("0G", 1));
  EXPECT_FALSE(LibraryConnection::IsValidKey("", 0));
  EXPECT_TRUE(LibraryConnection::IsValidKey(std::string(2 * 65535, 'F'), 65535));
  EXPECT_FALSE(LibraryConnection::IsValidKey(std::string(2 * 65536, 'F'), 65536));
}

// Resolution with a resolver that records its calls and never asks the network.
class ResolveAddressTest : public ::testing::Test {
 protected:
  std::optional<sockaddr_in> Resolve(const std::string& host, int port = 8901) {
    LibraryConnection c;
    c.SetHost(host);
    c.SetPort(port);
    return c.ResolveAddress([this](const std::string& name) -> std::optional<in_addr> {
      lookedUp.push_back(name);
      in_addr answer{};
      inet_aton("192.0.2.7", &answer);
      return answer;
    });
  }
  static std::string Dotted(const sockaddr_in& address) { return inet_ntoa(address.sin_addr); }

  std::vector<std::string> lookedUp;
};

TEST_F(ResolveAddressTest, DottedHostsConvertWithoutLookUp) {
  const auto address = Resolve("127.0.0.1", 9000);
  ASSERT_TRUE(address);
  EXPECT_EQ(Dotted(*address), "127.0.0.1");
  EXPECT_EQ(address->sin_family, AF_INET);
  EXPECT_EQ(address->sin_port, htons(9000));
  EXPECT_TRUE(lookedUp.empty());
}

TEST_F(ResolveAddressTest, DottedHostThatDoesNotConvertGivesNoAddress) {
  EXPECT_FALSE(Resolve("999.1.1.1"));
  EXPECT_TRUE(lookedUp.empty());
}

TEST_F(ResolveAddressTest, OtherHostsGoToTheNameLookUp) {
  for (const char* host : {"1234.1.1.1", "1.2.3.4.5", "1.2.3.", "host1.example", ""}) {
    lookedUp.clear();
    const auto address = Resolve(host);
    ASSERT_TRUE(address) << host;
    EXPECT_EQ(Dotted(*address), "192.0.2.7");
    EXPECT_EQ(lookedUp, std::vector<std::string>{host});
  }
}

TEST_F(ResolveAddressTest, PortOutsideRangeGivesNoAddress) {
  EXPECT_FALSE(Resolve("127.0.0.1", 0));
  EXPECT_FALSE(Resolve("127.0.0.1", 70000));
}

TEST(ResolveAddressSystemTest, LocalhostResolvesToLoopback) {
  LibraryConnection c;
  c.SetHost("localhost");
  const auto address = c.ResolveAddress();
  ASSERT_TRUE(address);
  EXPECT_EQ((ntohl(address->sin_addr.s_addr) >> 24), 127u);
}

}  // namespace

namespace {

constexpr const char* kLibraryRecord = "\" Main Library \",2,\"A1B2\"\n";

TEST(ParseCertificateTest, ReadsTheWholeTextFromTheLibraryRecordOn) {
  const std::string text = std::string(kLibraryRecord) +
                           "42,\"ann\",\"secret\",\"0F1E2D\",3,1,\"777\",\"server.local\",9100,\"10.1.1.1\",6000\n";
  LibraryConnection c;
  c.SetLocalFolder("/kept");
  ASSERT_TRUE(c.ParseCertificate(text));
  EXPECT_EQ(c.GetName(), "Main Library");
  EXPECT_EQ(c.GetUserNumber(), 42);
  EXPECT_EQ(c.GetUserText(), "ann");
  EXPECT_EQ(c.GetSecondLogonText(), "secret");
  EXPECT_EQ(c.GetKeyText(), "0F1E2D");
  EXPECT_EQ(c.GetKeyLength(), 3);
  EXPECT_EQ(c.GetKind(), LibraryConnection::kTcpIp);
  EXPECT_EQ(c.GetLogonCode(), "777");
  EXPECT_EQ(c.GetHost(), "server.local");
  EXPECT_EQ(c.GetPort(), 9100);
  EXPECT_EQ(c.GetTcpIpText(), "10.1.1.1");
  EXPECT_EQ(c.GetTcpIpNumber(), 6000);
  EXPECT_EQ(c.GetLocalFolder(), "/kept");
}

TEST(ParseCertificateTest, EmailAndDialInKindsReadTheirGroups) {
  LibraryConnection mail;
  ASSERT_TRUE(mail.ParseCertificate(std::string(kLibraryRecord) +
                                    "1,\"ann\",\"pw\",\"00\",1,2,\"9\",\"m1\",\"a@b\",\"s\",\"n\",\"p\"\n"));
  EXPECT_EQ(mail.GetEmailAddress(), "m1");
  EXPECT_EQ(mail.GetEmailText(1), "a@b");
  EXPECT_EQ(mail.GetEmailText(4), "p");

  LibraryConnection dial;
  ASSERT_TRUE(dial.ParseCertificate(std::string(kLibraryRecord) +
                                    "1,\"ann\",\"pw\",\"00\",1,5,\"9\",\"x1\",\"x2\",\"x3\",\"x4\"\n"));
  EXPECT_EQ(dial.GetDialInText(3), "x3");
  EXPECT_EQ(dial.GetDialInText(4), "x4");
}

TEST(ParseCertificateTest, RefusalLeavesTheRecordUnchanged) {
  LibraryConnection c = Filled();
  const LibraryConnection before = c;
  for (const char* user : {"1,\"ann\",\"pw\",\"00\",1,3,\"9\"\n",                       // FTP
                           "1,\"ann\",\"pw\",\"00\",1,0,\"9\"\n",                       // unknown
                           "1,\"ann\",\"pw\",\"00\",1,1,\"9\",\"\",8901,\"\",0\n",      // no host
                           "1,\"ann\",\"pw\",\"0\",1,1,\"9\",\"h\",8901,\"\",0\n",      // short key
                           "1,\"a/b\",\"pw\",\"00\",1,1,\"9\",\"h\",8901,\"\",0\n",     // user text
                           "1,\"ann\",\"p\nw\",\"00\",1,1,\"9\",\"h\",8901,\"\",0\n",   // quoted line feed
                           "1,\"ann\",\"pw\",\"00\",1,1,\"9\",\"h\",8901,\"\""}) {    // cut
    EXPECT_FALSE(c.ParseCertificate(std::string(kLibraryRecord) + user)) << user;
    EXPECT_EQ(c, before);
  }
}

}  // namespace
