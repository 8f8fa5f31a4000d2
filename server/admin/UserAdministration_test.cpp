#include "server/admin/UserAdministration.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
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
  const std::string root = scratch / "lib";
  const std::string locks = scratch / "locks";
  ASSERT_TRUE(platform::fs::CreateFolder(root));
  ASSERT_TRUE(platform::fs::CreateFolder(locks));
  CWexmoorDoc document(CWexmoorDoc::Setup{root, locks, CertificateBuiltInKey()});
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
    std::function<void(UserAccount&)> change;
    bool saves;
    std::vector<std::string> lines;
  };
  const std::vector<Step> steps = {
      {[](UserAccount& a) { a.LockOut(); }, false, {}},
      {[](UserAccount& a) { a.LockOut(); }, true, {annIs + " was locked out by the administration"}},
      {[](UserAccount& a) { a.SetPassword("other"); }, true, {}},
      {[](UserAccount& a) { a.Unlock(); }, false, {}},
      {[](UserAccount& a) { a.Unlock(); }, true, {annIs + " was unlocked"}},
      {[](UserAccount& a) { a.Unlock(); }, true, {}},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    lines.clear();
    const bool saves = steps[i].saves;
    platform::AtomicFile::SetWriteHookForTesting([saves](std::size_t) { return saves; });
    const UserAdministration::Result result = UserAdministration(document).Change(ann.GetId(), steps[i].change);
    platform::AtomicFile::SetWriteHookForTesting(nullptr);
    EXPECT_EQ(result, saves ? UserAdministration::Result::Done : UserAdministration::Result::NotSaved) << i;
    EXPECT_EQ(lines, steps[i].lines) << i;
  }
}

}  // namespace
