#include "server/engine/LogonService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "common/RecordFields.h"
#include "common/StringHelpers.h"
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

TEST_F(LogonServiceTest, NewCodeIsSavedAndTheLastUsedCodeServesUntilASuccessorIsUsed) {
  const UserAccount ann = AddUser("ann", /*trap=*/false);
  const LogonService::Result first = Logon(ann, ann.GetLogonCode());
  ASSERT_TRUE(first.accepted);
  EXPECT_TRUE(IsLogonCode(first.code)) << first.code;
  EXPECT_NE(first.code, ann.GetLogonCode());
  EXPECT_EQ(OnDisk(ann.GetId()).GetLogonCode(), first.code);

  // The replies with new codes never arrived: the old code serves on and on.
  LogonService::Result retry;
  for (int i = 0; i < 3; ++i) {
    retry = Logon(ann, ann.GetLogonCode());
    ASSERT_TRUE(retry.accepted) << i;
  }
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

// The first save is held in the write hook, inside the user-table section, until
// the other logons wait for that section, so they share the next save: it works or
// fails, as the first. Account 1 logs on twice with the same code.
TEST_F(LogonServiceTest, LogonsMadeDuringASaveShareTheNextOne) {
  for (const bool saveWorks : {true, false}) {
    SCOPED_TRACE(saveWorks ? "saves work" : "saves fail");
    std::vector<UserAccount> users;
    for (int i = 0; i < 4; ++i) users.push_back(AddUser((saveWorks ? "w" : "f") + std::to_string(i), false));
    const std::vector<std::size_t> logons = {0, 1, 2, 3, 1};
    const std::string filePath = EnsureTrailingBackslash(root_) + ServerSettings::kUsersFileName;
    std::string fileBefore;
    ASSERT_TRUE(platform::fs::ReadWholeFile(filePath, fileBefore));

    std::promise<void> firstSaveHeld;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> writes = 0;
    platform::AtomicFile::SetWriteHookForTesting([&](std::size_t) {
      if (writes++ == 0) {
        firstSaveHeld.set_value();
        released.wait();
      }
      return saveWorks;
    });
    std::vector<LogonService::Result> results(logons.size());
    std::vector<std::thread> threads;
    const auto start = [&](std::size_t n) {
      threads.emplace_back([&, n] { results[n] = Logon(users[logons[n]], users[logons[n]].GetLogonCode()); });
    };
    start(0);
    firstSaveHeld.get_future().wait();
    for (std::size_t n = 1; n < logons.size(); ++n) start(n);
    const auto queued = [&] {
      return doc_->GetSettings().GetUnsavedChangeCount() == static_cast<int>(logons.size()) - 1;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!queued() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    const bool allQueued = queued();
    release.set_value();
    for (std::thread& t : threads) t.join();
    platform::AtomicFile::SetWriteHookForTesting(nullptr);

    ASSERT_TRUE(allQueued);
    EXPECT_EQ(writes.load(), 2);
    for (std::size_t n = 0; n < logons.size(); ++n) {
      const UserAccount& user = users[logons[n]];
      ASSERT_TRUE(results[n].accepted) << n;
      if (!saveWorks) {
        EXPECT_EQ(results[n].code, user.GetLogonCode()) << n;
        EXPECT_EQ(doc_->GetSettings().FindUser(user.GetId())->GetLogonCode(), user.GetLogonCode()) << n;
      } else if (logons[n] != 1) {
        EXPECT_EQ(OnDisk(user.GetId()).GetLogonCode(), results[n].code) << n;
      }
    }
    if (saveWorks) {
      EXPECT_NE(results[1].code, results[4].code);
      EXPECT_TRUE(OnDisk(users[1].GetId()).GetLogonCode() == results[1].code ||
                  OnDisk(users[1].GetId()).GetLogonCode() == results[4].code);
    } else {
      std::string fileAfter;
      ASSERT_TRUE(platform::fs::ReadWholeFile(filePath, fileAfter));
      EXPECT_EQ(fileAfter, fileBefore);
    }
  }
}

// A save takes what it writes inside the user-table section, then writes under
// the save section alone: mid-write, the next logons and administration changes
// may be made, while a backup or another save (which takes the save section) waits
// and so meets neither its temporary file nor a write out of order.
TEST_F(LogonServiceTest, SaveMidWriteHoldsTheSaveSectionButNotTheUserTable) {
  const UserAccount ann = AddUser("ann", /*trap=*/false);
  std::promise<void> held;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> writes = 0;
  platform::AtomicFile::SetWriteHookForTesting([&](std::size_t) {
    if (writes++ == 0) {
      held.set_value();
      released.wait_for(std::chrono::seconds(10));
    }
    return true;
  });
  std::future<LogonService::Result> logon =
      std::async(std::launch::async, [&] { return Logon(ann, ann.GetLogonCode()); });
  ASSERT_EQ(held.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  const auto enters = [](platform::CriticalSection& section) {
    const bool entered = section.TryEnter();
    if (entered) section.Leave();
    return entered;
  };
  const bool tableFree = enters(doc_->GetUserTableSection());
  const bool saveFree = enters(doc_->GetSettings().GetSaveSection());
  release.set_value();
  EXPECT_TRUE(logon.get().accepted);
  platform::AtomicFile::SetWriteHookForTesting(nullptr);
  EXPECT_TRUE(tableFree);
  EXPECT_FALSE(saveFree);
}

}  // namespace
