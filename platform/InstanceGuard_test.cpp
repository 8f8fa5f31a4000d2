#include "platform/InstanceGuard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>
#include <thread>

#include "platform/ScratchFolder.h"

namespace platform {
namespace {

constexpr int kChildTimeoutMs = 20000;

int WaitForExit(pid_t child) {
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  return status;
}

class InstanceGuardTest : public ::testing::Test {
 protected:
  ScratchFolder locks;
};

TEST_F(InstanceGuardTest, SecondGuardInTheSameProcessIsRefusedAfterTheTimeout) {
  InstanceGuard first("Wexmoor Server", 0, locks.Path());
  ASSERT_TRUE(first.Held());

  const auto start = std::chrono::steady_clock::now();
  InstanceGuard second("Wexmoor Server", 150, locks.Path());
  EXPECT_FALSE(second.Held());
  EXPECT_EQ(second.Problem(), "") << "held by another holder, nothing wrong with the guard";
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));

  InstanceGuard otherName("Wexmoor Server 2", 0, locks.Path());
  EXPECT_TRUE(otherName.Held());

  first.Release();
  InstanceGuard third("Wexmoor Server", 0, locks.Path());
  EXPECT_TRUE(third.Held());
}

TEST_F(InstanceGuardTest, WaiterGetsTheGuardWhenTheHolderLetsGo) {
  auto holder = std::make_unique<InstanceGuard>("library", 0, locks.Path());
  ASSERT_TRUE(holder->Held());
  bool waiterHeld = false;
  std::thread waiter([&] { waiterHeld = InstanceGuard("library", kChildTimeoutMs, locks.Path()).Held(); });
  holder.reset();
  waiter.join();
  EXPECT_TRUE(waiterHeld);
}

TEST_F(InstanceGuardTest, GuardHeldByThisProcessIsRefusedToAChildProcess) {
  InstanceGuard held("library", 0, locks.Path());
  ASSERT_TRUE(held.Held());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool gotIt = InstanceGuard("library", 100, locks.Path()).Held();
    ::_exit(gotIt ? 1 : 0);
  }
  const int status = WaitForExit(child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child took a guard this process holds";
}

TEST_F(InstanceGuardTest, GuardOfAKilledHolderIsFreeAtOnce) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstanceGuard guard("library", 0, locks.Path());
    const char held = guard.Held() ? 'y' : 'n';
    (void)!::write(ready[1], &held, 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  pollfd p{ready[0], POLLIN, 0};
  char held = 0;
  ASSERT_EQ(::poll(&p, 1, kChildTimeoutMs), 1);
  ASSERT_EQ(::read(ready[0], &held, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(held, 'y');
  EXPECT_FALSE(InstanceGuard("library", 0, locks.Path()).Held());

  ::kill(child, SIGKILL);
  WaitForExit(child);
  EXPECT_TRUE(InstanceGuard("library", 0, locks.Path()).Held());
}

TEST(InstanceGuardNames, NamesBecomeSafeDistinctFileNames) {
  EXPECT_EQ(InstanceGuard::LockFileName("Wexmoor"), "wex-Wexmoor.lock");
  const std::string odd = InstanceGuard::LockFileName("../Wexmoor Server/1");
  EXPECT_EQ(odd.find('/'), std::string::npos);
  EXPECT_EQ(odd.find(' '), std::string::npos);
  EXPECT_NE(odd, InstanceGuard::LockFileName(".._Wexmoor_Server_1"));
  EXPECT_NE(InstanceGuard::LockFileName(""), "wex-.lock");
  EXPECT_LT(InstanceGuard::LockFileName(std::string(1000, 'x')).size(), 200u);
}

TEST(InstanceGuardNames, DefaultFolderIsAPrivateRuntimeFolderElseOneOfOurs) {
  ScratchFolder runtime;
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string savedValue = saved != nullptr ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
  ASSERT_EQ(::chmod(runtime.Path().c_str(), 0700), 0);
  EXPECT_EQ(InstanceGuard::DefaultLockFolder(), runtime.Path());
  ASSERT_EQ(::chmod(runtime.Path().c_str(), 0777), 0);   // others may write there: not used
  EXPECT_EQ(InstanceGuard::DefaultLockFolder(), InstanceGuard::PrivateTemporaryFolder());
  ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_EQ(InstanceGuard::DefaultLockFolder(), InstanceGuard::PrivateTemporaryFolder());
  struct stat info {};
  ASSERT_EQ(::lstat(InstanceGuard::PrivateTemporaryFolder().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_EQ(info.st_uid, ::geteuid());
  if (saved != nullptr) ::setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
}

// A folder another user planted is named for what it is, and the guard is still
// taken, in the fallback folder.
TEST(InstanceGuardSquatting, PlantedLockFolderIsNamedAndPassedOver) {
  ScratchFolder scratch;
  const char* savedHome = std::getenv("HOME");
  const std::string savedHomeValue = savedHome != nullptr ? savedHome : "";
  ::setenv("HOME", scratch.Path().c_str(), 1);
  const std::string target = scratch / "target";
  ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
  struct Squat {
    const char* name;
    std::function<bool(const std::string&)> plant;
    const char* named;
  };
  const std::vector<Squat> squats = {
      {"link", [&](const std::string& p) { return ::symlink(target.c_str(), p.c_str()) == 0; }, "is a link"},
      {"open", [](const std::string& p) { return ::mkdir(p.c_str(), 0700) == 0 && ::chmod(p.c_str(), 0777) == 0; },
       "may be written by other users"},
      {"owned", [](const std::string& p) { return ::mkdir(p.c_str(), 0700) == 0 && ::chown(p.c_str(), 4321, 4321) == 0; },
       "belongs to another user"},
      {"file", [](const std::string& p) { return ::close(::creat(p.c_str(), 0600)) == 0; }, "is not a folder"},
  };
  for (const Squat& squat : squats) {
    SCOPED_TRACE(squat.name);
    const std::string folder = scratch / squat.name;
    if (!squat.plant(folder)) {
      EXPECT_NE(::geteuid(), 0u) << "only another user's folder needs root to plant";
      continue;
    }
    EXPECT_EQ(InstanceGuard::LockFolderProblem(folder), "the lock folder " + folder + " " + squat.named);
    InstanceGuard guard(std::string("library-") + squat.name, 0, folder);
    EXPECT_TRUE(guard.Held());
    struct stat info {};
    EXPECT_EQ(::lstat((InstanceGuard::FallbackLockFolder() + "/" +
                       InstanceGuard::LockFileName(std::string("library-") + squat.name)).c_str(), &info), 0);
  }
  EXPECT_EQ(InstanceGuard::FallbackLockFolder(), scratch / ".wex-locks");
  EXPECT_EQ(InstanceGuard::LockFolderProblem(InstanceGuard::FallbackLockFolder()), "");
  EXPECT_TRUE(std::filesystem::is_empty(target));
  ::setenv("HOME", savedHomeValue.c_str(), 1);
}

TEST_F(InstanceGuardTest, LockFileIsOwnerOnlyNeverALinkAndGoesOnRelease) {
  const std::string path = locks.Path() + "/" + InstanceGuard::LockFileName("library");
  InstanceGuard guard("library", 0, locks.Path());
  ASSERT_TRUE(guard.Held());
  struct stat info {};
  ASSERT_EQ(::lstat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  guard.Release();
  EXPECT_NE(::lstat(path.c_str(), &info), 0);

  const std::string target = locks.Put("target", "keep");
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
  const InstanceGuard linked("library", 0, locks.Path());
  EXPECT_FALSE(linked.Held());
  EXPECT_EQ(linked.Problem(), "the lock file " + path + " is a link");
  EXPECT_EQ(ScratchFolder::Read(target), "keep");
}

}  // namespace
}  // namespace platform
