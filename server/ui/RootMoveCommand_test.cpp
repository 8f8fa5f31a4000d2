// The root-move command's dialogue: questions, folder choice, the move and the resume.
#include "server/ui/RootMoveCommand.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>

#include "platform/ui/QtTestApplication.h"
#include "server/ui/CServerChooseDirectoryDlg.h"
#include "server/store/StoreTestLibrary.h"

namespace {

class RootMoveCommandTest : public StoreTestLibrary {
 protected:
  void SetUp() override {
    StoreTestLibrary::SetUp();
    newRoot_ = scratch_ / "moved";
    platform::SetNotifyHandler([this](const platform::Notification& shown) {
      shown_.push_back(shown.text);
      if (shown.buttons != platform::NotifyButtons::YesNo) return platform::NotifyAnswer::Ok;
      const bool yes = answers_ > 0;
      --answers_;
      return yes ? platform::NotifyAnswer::Yes : platform::NotifyAnswer::No;
    });
  }

  RootMoveCommand Command() {
    LibraryRootMove::Environment environment;
    environment.loggedOnNames = [] { return std::vector<std::string>{}; };
    environment.freeBytes = [](const std::string&) { return std::uint64_t{1} << 40; };
    return RootMoveCommand(Doc(), environment, [this](const std::string& start, std::string& chosen) {
      EXPECT_EQ(start, root_);
      chosen = newRoot_;
      return true;
    });
  }

  std::string newRoot_;
  std::vector<std::string> shown_;
  int answers_ = 0;  // how many questions are answered Yes before the first No
};

TEST_F(RootMoveCommandTest, AConfirmedMoveCopiesTheLibraryAndAsksForARestart) {
  const std::string project = NewProject("Top");
  NewDocument(project, "Plan.doc", "content");
  answers_ = 2;
  Command().Run();
  EXPECT_EQ(shown_, (std::vector<std::string>{
                        "Moving the root path for the Library is a major operation.  Are you sure you wish to proceed?",
                        "Are you ABSOLUTELY SURE you want to move the library root path?\n\nFrom: " + root_ +
                            "\nTo: " + newRoot_,
                        "Root has been successfully moved.  Please exit and restart Wexmoor now!"}));
  EXPECT_EQ(Doc().GetRootPath(), newRoot_);
  EXPECT_EQ(Doc().GetPendingOldRoot(), "");
  EXPECT_TRUE(LibraryRootMove::IsSameOrBelow(Doc().GetProjectFolderPath(project), newRoot_));
}

TEST_F(RootMoveCommandTest, NoChangesNothingAndAPendingMoveIsOfferedForResuming) {
  answers_ = 1;  // Yes, then No at the second question
  Command().Run();
  EXPECT_EQ(shown_.size(), 2u);
  EXPECT_EQ(Doc().GetRootPath(), root_);

  ASSERT_TRUE(LibraryRootMove(Doc(), {}).BeginMove(newRoot_));
  shown_.clear();
  answers_ = 1;
  Command().Run();
  EXPECT_EQ(shown_, (std::vector<std::string>{
                        "Previous move of library root is incomplete.  Do you wish to resume moving the root now?",
                        "Root has been successfully moved"}));
  EXPECT_EQ(Doc().GetPendingOldRoot(), "");
}

// Root may write into any folder: the move runs in a child that drops to an
// unprivileged user first, and hands back the last message and the root in force.
TEST_F(RootMoveCommandTest, AMoveIntoAReadOnlyFolderSaysWhy) {
  ASSERT_EQ(::mkdir(newRoot_.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(newRoot_.c_str(), 0555), 0);  // whatever the umask
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ends[0]);
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      if (nobody == nullptr || ::chmod(scratch_.Path().c_str(), 0755) != 0 || ::setgid(nobody->pw_gid) != 0 ||
          ::setuid(nobody->pw_uid) != 0) {
        ::_exit(2);
      }
    }
    answers_ = 2;
    Command().Run();
    const std::string report = shown_.back() + "\n" + Doc().GetRootPath();
    const bool written = ::write(ends[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
    ::_exit(written ? 0 : 3);
  }
  ::close(ends[1]);
  std::string report;
  char buffer[512];
  for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;) report.append(buffer, got);
  ::close(ends[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(report, "Failed to write the library files into " + newRoot_ + ": Permission denied\n" + root_);
}

TEST(CServerChooseDirectoryDlgTest, TheServerFormHasItsCaptionAndNoDeriveBox) {
  CServerChooseDirectoryDlg dialog;
  dialog.SetInitialPath("/");
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Wexmoor - Choose Directory / Path");
  EXPECT_EQ(dialog.findChild<QCheckBox*>(), nullptr);
  EXPECT_EQ(dialog.GetPath(), "/");
}

}  // namespace
