#include "server/engine/LogonService.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"

namespace {

std::string LogonBody(const std::string& name, const std::string& password, const std::string& code) {
  return EndRecord(AppendStringField(code, AppendStringField(password, AppendStringField(name, ""))));
}

class LogonServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::fs::CreateFolder(root_));
    ASSERT_TRUE(platform::fs::CreateFolder(locks_));
    doc_ = std::make_unique<CWexmoorDoc>(CWexmoorDoc::Setup{root_, locks_, CertificateBuiltInKey()});
    ASSERT_TRUE(doc_->OnNewDocument());
    service_ = std::make_unique<LogonService>(*doc_);
  }
  void TearDown() override { platform::AtomicFile::SetWriteHookForTesting(nullptr); }

  UserAccount AddUser(const std::string& name, bool trap = true) {
    UserAccount account;
    account.SetName(name);
    account.SetPassword("secret");
    account.SetConnectionType(UserAccount::kTcpIp);
    account.SetLockoutTrap(trap);
    EXPECT_TRUE(doc_->AddUser(account));
    return account;
  }
  // The account as the users file on disk holds it.
  UserAccount OnDisk(int id) const {
    ServerSettings settings(CertificateBuiltInKey());
    EXPECT_TRUE(settings.LoadUsers(root_));
    return settings.FindUser(id).value_or(UserAccount());
  }
  LogonService::Result Logon(const UserAccount& account, const std::string& code,
                             const std::string& password = "secret") {
    return service_->Logon(static_cast<std::uint32_t>(account.GetId()), LogonBody(account.GetName(), password, code));
  }

  platform::ScratchFolder scratch_;
  std::string root_ = scratch_ / "lib";
  std::string locks_ = scratch_ / "locks";
  std::unique_ptr<CWexmoorDoc> doc_;
  std::unique_ptr<LogonService> service_;
};

bool IsLogonCode(const std::string& code) {
  return code.size() >= 10 && code.size() <= 50 && code.find_first_not_of("0123456789") == std::string::npos;
}

TEST_F(LogonServiceTest, NewCodeIsSavedAndThePreviousOneServesOnceUntilTheNewOneIsUsed) {
  const UserAccount ann = AddUser("ann", /*trap=*/false);
  const LogonService::Result first = Logon(ann, ann.GetLogonCode());
  ASSERT_TRUE(first.accepted);
  EXPECT_TRUE(IsLogonCode(first.code)) << first.code;
  EXPECT_NE(first.code, ann.GetLogonCode());
  EXPECT_EQ(OnDisk(ann.GetId()).GetLogonCode(), first.code);

  // The reply with the first new code was lost: the old code serves once more.
  const LogonService::Result retry = Logon(ann, ann.GetLogonCode());
  ASSERT_TRUE(retry.accepted);
  EXPECT_FALSE(Logon(ann, ann.GetLogonCode()).accepted);
  EXPECT_FALSE(Logon(ann, first.code).accepted);   // superseded unused

  const LogonService::Result next = Logon(ann, retry.code);
  ASSERT_TRUE(next.accepted);
  ASSERT_TRUE(Logon(ann, next.code).accepted);
  EXPECT_FALSE(Logon(ann, retry.code).accepted);   // spent once its successor was used
  EXPECT_FALSE(OnDisk(ann.GetId()).IsLockedOut());
}

TEST_F(LogonServiceTest, OnlyASpentCodeWithTheRightPasswordLocksATrappedAccount) {
  struct Attempt {
    std::string what;
    std::function<std::string(const UserAccount&)> body;
    bool provesPassword;
  };
  const std::string overLong(UserAccount::kMaxLogonFieldLength + 1, '7');
  const std::vector<Attempt> attempts = {
      {"wrong password", [](const UserAccount& a) { return LogonBody(a.GetName(), "Secret", a.GetLogonCode()); },
       false},
      {"name in other case",
       [](const UserAccount& a) { return LogonBody("X" + a.GetName().substr(1), "secret", a.GetLogonCode()); }, false},
      {"empty body", [](const UserAccount&) { return std::string(); }, false},
      {"over-long code", [&](const UserAccount& a) { return LogonBody(a.GetName(), "secret", overLong); }, false},
      {"spent code", [](const UserAccount& a) { return LogonBody(a.GetName(), "secret", "12"); }, true},
  };
  int n = 0;
  for (const bool trap : {false, true}) {
    for (const Attempt& attempt : attempts) {
      const UserAccount account = AddUser("x" + std::to_string(n++), trap);
      const UserAccount savedBefore = OnDisk(account.GetId());
      const LogonService::Result result =
          service_->Logon(static_cast<std::uint32_t>(account.GetId()), attempt.body(account));
      EXPECT_FALSE(result.accepted) << attempt.what;
      EXPECT_TRUE(result.code.empty()) << attempt.what;
      const UserAccount stored = OnDisk(account.GetId());
      EXPECT_EQ(stored.IsLockedOut(), trap && attempt.provesPassword) << attempt.what;
      EXPECT_EQ(stored.GetLogonCode(), account.GetLogonCode()) << attempt.what;
      if (!attempt.provesPassword) {
        EXPECT_EQ(stored.Save(""), savedBefore.Save("")) << attempt.what;
      }
    }
  }
}

TEST_F(LogonServiceTest, UnknownNumberChangesNoAccount) {
  const UserAccount ann = AddUser("ann", /*trap=*/true);
  for (const std::uint32_t id : {999u, 0x80000000u}) {
    EXPECT_FALSE(service_->Logon(id, LogonBody("ann", "secret", "12")).accepted);
    EXPECT_FALSE(service_->Logon(id, "").accepted);
  }
  EXPECT_FALSE(OnDisk(ann.GetId()).IsLockedOut());
}

TEST_F(LogonServiceTest, FailedSaveKeepsAndHandsOutTheCodeOnDisk) {
  const UserAccount ann = AddUser("ann", /*trap=*/false);
  platform::AtomicFile::SetWriteHookForTesting([](std::size_t) { return false; });
  const LogonService::Result result = Logon(ann, ann.GetLogonCode());
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  ASSERT_TRUE(result.accepted);
  EXPECT_EQ(result.code, ann.GetLogonCode());
  EXPECT_EQ(OnDisk(ann.GetId()).GetLogonCode(), result.code);
  EXPECT_TRUE(Logon(ann, result.code).accepted);
}

}  // namespace
