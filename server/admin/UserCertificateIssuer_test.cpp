#include "server/admin/UserCertificateIssuer.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "common/CertificateFile.h"
#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "testsupport/TestServer.h"

namespace {

using Result = UserCertificateIssuer::Result;

class UserCertificateIssuerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    const std::optional<UserAccount> ann = server_.AddUser("ann", "pw");
    ASSERT_TRUE(ann);
    ann_ = *ann;
  }
  void TearDown() override { platform::AtomicFile::SetWriteHookForTesting(nullptr); }

  // Makes the writes numbered in `failing` (1: the next) fail.
  static void FailWrites(std::set<int> failing) {
    auto count = std::make_shared<int>(0);
    platform::AtomicFile::SetWriteHookForTesting([count, failing](std::size_t) { return !failing.count(++*count); });
  }
  UserAccount InMemory() { return server_.Document().GetSettings().FindUser(ann_.GetId()).value(); }
  UserAccount Stored() { return server_.StoredUser(ann_.GetId()).value(); }

  TestServer server_;
  platform::ScratchFolder scratch_;
  UserAccount ann_;
};

TEST_F(UserCertificateIssuerTest, WrittenFileCarriesTheSavedCodeAndKey) {
  std::string reason;
  const std::string path = scratch_ / "ann.wxc";
  ASSERT_EQ(UserCertificateIssuer(server_.Document()).Issue(ann_.GetId(), path, reason), Result::Written);
  std::string text;
  ASSERT_EQ(CertificateFile::Read(path, text), CertificateFile::ReadResult::Read);
  EXPECT_NE(Stored().GetLogonCode(), ann_.GetLogonCode());
  EXPECT_NE(text.find("\"" + Stored().GetKeyText() + "\",16,1,\"" + Stored().GetLogonCode() + "\""),
            std::string::npos);
  EXPECT_EQ(InMemory().GetLogonCode(), Stored().GetLogonCode());
  EXPECT_EQ(UserCertificateIssuer(server_.Document()).Issue(-5, path, reason), Result::UserAbsent);
}

TEST_F(UserCertificateIssuerTest, FailuresLeaveNoFileAndTheOldCodeAndKey) {
  const std::string path = scratch_ / "ann.wxc";
  const struct {
    std::set<int> failing;
    Result result;
  } cases[] = {{{1}, Result::UsersNotSaved},
               {{2}, Result::FileNotWritten},
               {{2, 3}, Result::FileNotWrittenUsersNotRestored}};
  for (const auto& c : cases) {
    FailWrites(c.failing);
    std::string reason;
    EXPECT_EQ(UserCertificateIssuer(server_.Document()).Issue(ann_.GetId(), path, reason), c.result);
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    EXPECT_FALSE(platform::fs::Exists(path));
    EXPECT_EQ(InMemory().GetLogonCode(), ann_.GetLogonCode());
    EXPECT_EQ(InMemory().GetKeyText(), ann_.GetKeyText());
    if (c.result != Result::FileNotWrittenUsersNotRestored) {
      EXPECT_EQ(Stored().GetLogonCode(), ann_.GetLogonCode());
      EXPECT_EQ(Stored().GetKeyText(), ann_.GetKeyText());
    }
    if (c.result != Result::UsersNotSaved) {
      EXPECT_FALSE(reason.empty());
    }
  }
}

}  // namespace
