#include "server/admin/UserAdministration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/BuiltInKeys.h"
#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"

namespace {

// A lock-out state the administration changes, and saves, is a console line.
TEST(UserAdministrationTest, SavedLockAndUnlockAreConsoleLines) {
  platform::ScratchFolder scratch;
  ASSERT_TRUE(platform::fs::CreateFolder(scratch / "lib") && platform::fs::CreateFolder(scratch / "locks"));
  CWexmoorDoc document(CWexmoorDoc::Setup{scratch / "lib", scratch / "locks", CertificateBuiltInKey()});
  ASSERT_TRUE(document.OnNewDocument());
  std::vector<std::string> lines;
  document.GetNotes().SetSink([&lines](const std::string& line) { lines.push_back(line); });
  UserAccount ann;
  ann.SetName("ann");
  ann.SetPassword("secret");
  ann.SetConnectionType(UserAccount::kTcpIp);
  ASSERT_TRUE(document.AddUser(ann));
  const std::string annIs = "Account ann (user " + std::to_string(ann.GetId()) + ")";
  struct Step {
    bool lock, saves;
    std::vector<std::string> lines;
  };
  for (const Step& step : {Step{true, false, {}}, Step{true, true, {annIs + " was locked out by the administration"}},
                           Step{false, false, {}}, Step{false, true, {annIs + " was unlocked"}},
                           Step{false, true, {}}}) {
    lines.clear();
    platform::AtomicFile::SetWriteHookForTesting([&step](std::size_t) { return step.saves; });
    UserAdministration(document).Change(ann.GetId(), [&step](UserAccount& a) { step.lock ? a.LockOut() : a.Unlock(); });
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    EXPECT_EQ(lines, step.lines) << step.lock << step.saves;
  }
}

}  // namespace
