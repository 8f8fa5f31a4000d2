// The root-move command's dialogue: questions, folder choice, the move and the resume.
#include "server/ui/RootMoveCommand.h"

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
                        "Are you ABSOLUTELY SURE you want to move the library root path?",
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

TEST(CServerChooseDirectoryDlgTest, TheServerFormHasItsCaptionAndNoDeriveBox) {
  CServerChooseDirectoryDlg dialog;
  dialog.SetInitialPath("/");
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Wexmoor - Choose Directory / Path");
  EXPECT_EQ(dialog.findChild<QCheckBox*>(), nullptr);
  EXPECT_EQ(dialog.GetPath(), "/");
}

}  // namespace
