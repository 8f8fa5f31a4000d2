#include "platform/AtomicFile.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/ScratchFolder.h"
#include "platform/fs.h"

namespace platform {
namespace {

constexpr int kChildTimeoutMs = 20000;

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<fs::FolderEntry> entries;
  EXPECT_TRUE(fs::ListFolder(folder, entries));
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  return names;
}

// A pipe the child writes one byte to per event; the parent waits for them with a
// bounded time-out.
class SignalPipe {
 public:
  SignalPipe() { EXPECT_EQ(::pipe(fds_), 0); }
  ~SignalPipe() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  void Signal() const {
    const char byte = 1;
    (void)!::write(fds_[1], &byte, 1);
  }
  bool WaitForSignal() const {
    pollfd p{fds_[0], POLLIN, 0};
    char byte = 0;
    return ::poll(&p, 1, kChildTimeoutMs) == 1 && ::read(fds_[0], &byte, 1) == 1;
  }
 private:
  int fds_[2] = {-1, -1};
};

// Parks a child process until the parent kills it.
[[noreturn]] void WaitToBeKilled() {
  for (;;) ::pause();
}

void KillAndReap(pid_t child) {
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
}

class AtomicFileTest : public ::testing::Test {
 protected:
  void TearDown() override { AtomicFile::SetWriteHookForTesting(nullptr); }
  ScratchFolder dir;
};

TEST_F(AtomicFileTest, WritesANewFileAndReplacesAnOldOneKeepingItsMode) {
  const auto path = dir / "record.wxf";
  ASSERT_TRUE(AtomicFile::Write(path, "first\n"));
  EXPECT_EQ(ScratchFolder::Read(path), "first\n");

  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(AtomicFile::Write(path, std::string("sec\0ond", 7)));
  EXPECT_EQ(ScratchFolder::Read(path), std::string("sec\0ond", 7));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  ASSERT_TRUE(AtomicFile::Write(path, ""));
  EXPECT_EQ(ScratchFolder::Read(path), "");
  EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"record.wxf"});
}

TEST_F(AtomicFileTest, UnwritablePlacesFail) {
  EXPECT_FALSE(AtomicFile::Write(dir / "missing/record.wxf", "x"));
  ASSERT_TRUE(fs::CreateFolder(dir / "folder"));
  EXPECT_FALSE(AtomicFile::Write(dir / "folder", "x"));
  EXPECT_FALSE(AtomicFile::Write("", "x"));
  EXPECT_TRUE(fs::IsFolder(dir / "folder"));
  EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"folder"});
}

TEST_F(AtomicFileTest, InjectedWriteFailureKeepsTheOldContentAndLeavesNoTemporaryFile) {
  const auto path = dir.Put("record.wxf", "old content");
  int writes = 0;
  AtomicFile::SetWriteHookForTesting([&writes](std::size_t) { return ++writes < 2; });

  EXPECT_FALSE(AtomicFile::Write(path, std::string(3 << 20, 'n')));
  EXPECT_EQ(writes, 2);
  EXPECT_EQ(ScratchFolder::Read(path), "old content");
  EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"record.wxf"});
}

TEST_F(AtomicFileTest, ProcessKilledInTheMiddleOfAWriteLeavesTheOldContent) {
  const std::string old = "old content that must survive";
  const auto path = dir.Put("record.wxf", old);
  SignalPipe midWrite;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int writes = 0;
    AtomicFile::SetWriteHookForTesting([&](std::size_t) {
      if (++writes == 3) {
        midWrite.Signal();
        WaitToBeKilled();
      }
      return true;
    });
    AtomicFile::Write(path, std::string(8 << 20, 'n'));
    ::_exit(0);
  }
  ASSERT_TRUE(midWrite.WaitForSignal());
  KillAndReap(child);
  EXPECT_EQ(ScratchFolder::Read(path), old);
}

TEST_F(AtomicFileTest, ProcessKilledWhileRewritingLeavesOneWholeContent) {
  const std::string a(4 << 20, 'a');
  const std::string b(4 << 20, 'b');
  const auto path = dir.Put("record.wxf", a);
  SignalPipe written;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (bool useB = true;; useB = !useB) {
      AtomicFile::Write(path, useB ? b : a);
      written.Signal();
    }
  }
  // Let a few replacements finish, then kill it wherever the next one is.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(written.WaitForSignal());
  KillAndReap(child);
  const std::string content = ScratchFolder::Read(path);
  EXPECT_TRUE(content == a || content == b) << "size " << content.size();
}

}  // namespace
}  // namespace platform
