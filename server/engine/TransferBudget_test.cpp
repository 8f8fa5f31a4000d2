#include "server/engine/TransferBudget.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/MessageIds.h"
#include "server/engine/EngineTestLibrary_test.h"
#include "testsupport/TestServer.h"

namespace {

using enginetest::WaitUntil;

constexpr std::size_t kKiB = std::size_t{1} << 10;
constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr std::size_t kLimit = 16 * kMiB;   // an account's share is 4 MiB

// One step on charge `charge`: grow by `bytes` and expect it taken at once (a set
// stop flag makes a charge that would wait give up), or release it (bytes 0).
struct Step {
  int charge;
  std::size_t bytes;
  bool taken;
};

struct Scenario {
  std::string name;
  std::array<int, 5> accounts;   // the account of each charge
  std::vector<Step> steps;
};

constexpr int kNone = TransferBudget::kNoAccount;

class TransferBudgetTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(TransferBudgetTest, ChargesAreTakenOrWaitAsTheirSharesAllow) {
  const Scenario& scenario = GetParam();
  TransferBudget budget(kLimit);
  const std::atomic<bool> wouldWait{true};
  {
    std::vector<TransferBudget::Charge> charges;
    for (const int account : scenario.accounts) charges.emplace_back(budget, account);
    for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
      const Step& step = scenario.steps[i];
      SCOPED_TRACE("step " + std::to_string(i));
      TransferBudget::Charge& charge = charges[static_cast<std::size_t>(step.charge)];
      if (step.bytes == 0) {
        charge.Release();
        continue;
      }
      const std::size_t before = charge.Bytes();
      EXPECT_EQ(step.taken, charge.Grow(step.bytes, wouldWait));
      EXPECT_EQ(charge.Bytes(), before + (step.taken ? step.bytes : 0));
    }
  }
  EXPECT_EQ(0u, budget.Used());
  for (const int account : scenario.accounts) EXPECT_EQ(0u, budget.UsedBy(account));
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, TransferBudgetTest,
    ::testing::Values(
        Scenario{"SmallChargesPassASpentBudget",
                 {kNone, kNone, kNone, 1, kNone},
                 {{0, kLimit, true}, {1, kMiB, true}, {2, kMiB, false}, {3, 4 * kKiB, true}, {4, 200 * kKiB, true}}},
        Scenario{"AnAccountHoldsItsShareAndOneBodyBeyondIt",
                 {1, 1, 1, 2, kNone},
                 {{0, 4 * kMiB, true}, {1, 2 * kMiB, true}, {2, kMiB, false}, {3, 4 * kMiB, true},
                  {1, 0, true}, {2, kMiB, true}}},
        Scenario{"TheBodyBeyondTheBudgetAlsoGoesBeyondItsAccount",
                 {kNone, 1, 1, 2, kNone},
                 {{0, 14 * kMiB, true}, {1, 2 * kMiB, true}, {2, kMiB, true}, {2, 4 * kMiB, true},
                  {1, kMiB, false}, {3, kMiB, false}, {2, 0, true}, {3, kMiB, true}}},
        Scenario{"ASmallChargeThatGrowsLargeCountsAgainstItsAccount",
                 {1, 1, kNone, kNone, kNone},
                 {{0, 200 * kKiB, true}, {0, 4 * kMiB, true}, {1, kMiB, false}, {0, 0, true}, {1, kMiB, true}}}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

// Ten connections of one account each stop one byte short of a large body; a
// user of another account logs on beside them and is answered.
TEST(TransferBudgetServerTest, StalledBodiesOfOneAccountNeverHoldBackAnotherUsersLogon) {
  constexpr int kStalled = 10;
  constexpr std::uint32_t kBody = 4 * kMiB;
  TransferBudget::Shared().SetLimit(kLimit);
  TestServer server;
  ASSERT_TRUE(server.Start());
  const std::optional<UserAccount> staller = server.AddUser("staller", "secret", false);
  const std::optional<UserAccount> other = server.AddUser("other", "secret", false);
  ASSERT_TRUE(staller && other);
  std::vector<std::unique_ptr<TestClient>> stalled;
  TestClient::Reply reply;
  std::string code = staller->GetLogonCode();
  for (int i = 0; i < kStalled; ++i) {
    stalled.push_back(server.MakeClient(*staller));
    ASSERT_TRUE(stalled.back()->Connect(server.Port()));
    ASSERT_EQ(TestClient::ReceiveStatus::Ok, stalled.back()->Logon("staller", "secret", code, reply));
    ASSERT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
    code = reply.message.GetBody();   // each logon hands out the next code
  }
  TestClient::SendOptions shortOfTheEnd;
  shortOfTheEnd.announcedLength = kBody;
  shortOfTheEnd.timeoutMs = 500;   // the server may stop reading: what it took stays in flight
  for (const auto& client : stalled) client->Send(MSGID_REFRESH_PROJECTS, std::string(kBody - 1, 'b'), shortOfTheEnd);
  ASSERT_TRUE(WaitUntil([] { return TransferBudget::Shared().Used() >= kLimit / 4; }));

  const std::unique_ptr<TestClient> newcomer = server.MakeClient(*other);
  ASSERT_TRUE(newcomer->Connect(server.Port()));
  ASSERT_EQ(TestClient::ReceiveStatus::Ok, newcomer->Logon("other", "secret", other->GetLogonCode(), reply, 5000));
  EXPECT_EQ(reply.message.GetMessageId(), MSGID_LOGON_ACCEPTED);
  for (const auto& client : stalled) client->Close();
  server.Stop();
  TransferBudget::Shared().SetLimit(TransferBudget::kDefaultLimit);
}

}  // namespace
