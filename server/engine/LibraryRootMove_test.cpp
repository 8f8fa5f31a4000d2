#include "server/engine/LibraryRootMove.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "server/store/StoreTestLibrary.h"

namespace {

class LibraryRootMoveTest : public StoreTestLibrary {
 protected:
  void SetUp() override {
    StoreTestLibrary::SetUp();
    newRoot_ = scratch_ / "moved/lib";
    platform::SetNotifyHandler([this](const platform::Notification& shown) {
      messages_.push_back(shown.text);
      return shown.buttons == platform::NotifyButtons::YesNo ? answer_ : platform::NotifyAnswer::Ok;
    });
  }

  LibraryRootMove Mover(std::vector<std::string> loggedOn = {}, std::uint64_t freeBytes = 1ull << 40) {
    LibraryRootMove::Environment environment;
    environment.loggedOnNames = [loggedOn] { return loggedOn; };
    environment.freeBytes = [freeBytes](const std::string&) { return freeBytes; };
    return LibraryRootMove(Doc(), environment);
  }

  // Nested projects, an edition, a document of three versions and a reference to it.
  void BuildLibrary() {
    top_ = NewProject("Top");
    sub_ = NewProject("Sub", top_);
    ServerProject edition;
    ASSERT_EQ(Doc().CreateEdition(top_, "One", "", "ann", "first", edition), 0);
    file_ = NewDocument(sub_, "Plan.doc", "version 1");
    for (const std::string content : {"version 2", "version three"}) {
      ASSERT_EQ(Doc().CheckOutDocuments(sub_, "Plan.doc", -1, "ann", false, false).code, 0);
      int code = -1;
      ASSERT_TRUE(Doc().CheckInDocuments(sub_, "ann", "Plan.doc", static_cast<int>(content.size()), "",
                                         Received(content), code));
    }
    FileStatistics reference;
    ASSERT_EQ(Doc().AddReference("Plan.doc", top_, "", sub_, 2, reference, false, false), 0);
    reference_ = reference.GetInternalFileName();
  }

  std::string ReadFile(const std::string& path) { return platform::ScratchFolder::Read(path); }

  std::string newRoot_;
  std::string top_, sub_, file_, reference_;
  std::vector<std::string> messages_;
  platform::NotifyAnswer answer_ = platform::NotifyAnswer::Yes;
};

TEST_F(LibraryRootMoveTest, MoveCopiesEveryProjectAndTheNewRootLoadsTheWholeLibrary) {
  BuildLibrary();
  const std::string oldSub = FolderOf(sub_);
  const auto oldRoot = Snapshot(root_);
  LibraryRootMove mover = Mover();
  ASSERT_TRUE(mover.CheckRootMove(root_, newRoot_));
  ASSERT_TRUE(mover.BeginMove(newRoot_));
  EXPECT_EQ(Doc().GetPendingOldRoot(), root_);
  ASSERT_TRUE(mover.MoveAllProjects());
  ASSERT_TRUE(Doc().EndRootMove());
  EXPECT_EQ(Snapshot(root_), oldRoot);  // nothing in the old root changes
  EXPECT_TRUE(messages_.empty());

  Restart();
  EXPECT_EQ(Doc().GetRootPath(), newRoot_);
  EXPECT_EQ(Doc().GetPendingOldRoot(), "");
  for (const std::string& project : {top_, sub_}) {
    ASSERT_TRUE(ProjectExists(project));
    EXPECT_TRUE(LibraryRootMove::IsSameOrBelow(Doc().GetProjectFolderPath(project), newRoot_)) << project;
  }
  for (int version = 1; version <= 3; ++version) {
    const std::string name = file_ + "Ver" + std::to_string(version) + ".wxf";
    EXPECT_EQ(ReadFile(FolderOf(sub_) + name), ReadFile(oldSub + name));
  }
  const FileStatistics reference = StatisticsOf(top_, reference_);
  EXPECT_EQ(ReadFile(Doc().GetVersionFilePath(reference)), "version 2");
  EXPECT_FALSE(std::filesystem::exists(FolderOf(top_) + reference_ + "Ver1.wxf"));  // references have no file
  EXPECT_TRUE(platform::fs::IsFolder(newRoot_ + "/TemporaryFiles"));
  EXPECT_NE(NewProject("After"), "");  // the counters carried over
}

TEST_F(LibraryRootMoveTest, ChecksRefuseOrAskBeforeAnythingChanges) {
  const std::string target = scratch_ / "target";
  ASSERT_TRUE(platform::fs::CreateFolder(target));
  LibraryRootMove mover = Mover();
  EXPECT_FALSE(mover.CheckRootMove(root_, root_ + "/"));
  EXPECT_FALSE(mover.CheckRootMove(root_, root_ + "/../lib"));
  EXPECT_FALSE(mover.CheckRootMove(root_, root_ + "/inner"));
  EXPECT_EQ(messages_, (std::vector<std::string>{
                           "The library root path cannot be moved to itself",
                           "The library root path cannot be moved to itself",
                           "You cannot move the library root to a sub-folder of the current library root"}));
  // Other case and a name that merely extends the root's are other folders here.
  EXPECT_TRUE(mover.CheckRootMove(root_, scratch_ / "LIB"));
  EXPECT_TRUE(mover.CheckRootMove(root_, root_ + "2"));

  messages_.clear();
  ASSERT_TRUE(platform::fs::CreateFolder(target + "/empty"));
  answer_ = platform::NotifyAnswer::No;
  EXPECT_FALSE(mover.CheckRootMove(root_, target));
  answer_ = platform::NotifyAnswer::Yes;
  EXPECT_TRUE(mover.CheckRootMove(root_, target));
  EXPECT_EQ(messages_.size(), 2u);
  std::ofstream(target + "/file") << "x";
  EXPECT_FALSE(mover.CheckRootMove(root_, target));
  EXPECT_EQ(messages_.back(),
            "The new root folder must be empty of files before you can proceed with a move of the library root");

  answer_ = platform::NotifyAnswer::No;
  EXPECT_FALSE(Mover({"ann", "bob"}).CheckRootMove(root_, newRoot_));
  EXPECT_EQ(messages_.back(),
            "Warning!  The following users are still logged on to the Library.  Do you wish to proceed anyway?\n"
            "ann, bob");
  EXPECT_EQ(Doc().GetRootPath(), root_);
}

TEST_F(LibraryRootMoveTest, StorageNeedsTheLibrarySizePlusFivePercent) {
  const std::string old = scratch_ / "old";
  ASSERT_TRUE(platform::fs::CreateFolder(old));
  ASSERT_TRUE(platform::fs::CreateFolder(old + "/inner"));
  std::ofstream(old + "/a", std::ios::binary) << std::string(600000, 'a');
  std::ofstream(old + "/inner/b", std::ios::binary) << std::string(400000, 'b');
  EXPECT_FALSE(Mover({}, 1049999).CheckRootMove(old, newRoot_));
  EXPECT_EQ(messages_.back(),
            "There is not enough storage space to move the library root\n( Bytes needed: 1050000   Bytes "
            "available: 1049999 )");
  EXPECT_TRUE(Mover({}, 1050000).CheckRootMove(old, newRoot_));
}

TEST_F(LibraryRootMoveTest, FolderSumsCountHugeFilesAndNeverFollowLinks) {
  const std::string folder = scratch_ / "sizes";
  ASSERT_TRUE(platform::fs::CreateFolder(folder));
  std::ofstream(folder + "/sparse").close();
  ASSERT_EQ(::truncate((folder + "/sparse").c_str(), 4ll << 30), 0);
  std::ofstream(folder + "/small") << "12345";
  ASSERT_EQ(::symlink(folder.c_str(), (folder + "/loop").c_str()), 0);
  ASSERT_EQ(::symlink((folder + "/small").c_str(), (folder + "/alias").c_str()), 0);
  EXPECT_EQ(LibraryRootMove::SumFolderBytes(folder), (4ull << 30) + 5);
  EXPECT_EQ(LibraryRootMove::SumFolderBytes(folder + "/missing"), 0u);
  EXPECT_EQ(LibraryRootMove::ScanFolderContents(folder), LibraryRootMove::kHoldsFiles);
  EXPECT_EQ(LibraryRootMove::ScanFolderContents(root_),
            LibraryRootMove::kHoldsFiles | LibraryRootMove::kHoldsFolders);
  EXPECT_GT(LibraryRootMove::GetFreeBytes(newRoot_), 0u);  // not made yet: its parent's disk
}

TEST_F(LibraryRootMoveTest, AFailedLibraryFileWriteKeepsTheOldRootAndLeavesNothingBehind) {
  BuildLibrary();
  const std::string rootPathFile = work_ + "/" + CWexmoorDoc::kRootPathFileName;
  const std::string before = ReadFile(rootPathFile);
  for (int n = 1; n <= 5; ++n) {  // counters, users, groups, inventory, root-path file
    FailWrite(n);
    EXPECT_FALSE(Mover().BeginMove(newRoot_)) << n;
    StopFailing();
    EXPECT_EQ(Doc().GetRootPath(), root_);
    EXPECT_EQ(Doc().GetPendingOldRoot(), "");
    EXPECT_EQ(ReadFile(rootPathFile), before);
    EXPECT_FALSE(std::filesystem::exists(newRoot_)) << n;
  }
  FailWrite(6);  // the five writes above are all there are
  EXPECT_TRUE(Mover().BeginMove(newRoot_));
  StopFailing();
  EXPECT_TRUE(LibraryRootMove::IsSameOrBelow(Doc().GetProjectFolderPath(top_), root_));
}

TEST_F(LibraryRootMoveTest, AnInterruptedMoveResumesOverReadOnlyCopiesAfterARestart) {
  BuildLibrary();
  LibraryRootMove first = Mover();
  ASSERT_TRUE(first.BeginMove(newRoot_));
  const std::string oldSub = Doc().GetProjectFolderPath(sub_);
  ASSERT_TRUE(first.MoveProject(top_));
  // Moving the top project moved its sub-project too; put the sub-project back as if
  // the run had died while copying it, leaving a stale read-only copy behind.
  const std::string stale = FolderOf(sub_) + file_ + "Ver1.wxf";
  ASSERT_TRUE(Doc().SwitchProjectFolder(sub_, oldSub));
  ASSERT_TRUE(platform::fs::DeleteFile(stale));
  std::ofstream(stale) << "half";
  ASSERT_EQ(::chmod(stale.c_str(), 0444), 0);

  Restart();
  EXPECT_EQ(Doc().GetPendingOldRoot(), root_);
  EXPECT_TRUE(Mover().MoveAllProjects());
  EXPECT_TRUE(Doc().EndRootMove());
  EXPECT_EQ(ReadFile(stale), "version 1");
  EXPECT_TRUE(LibraryRootMove::IsSameOrBelow(Doc().GetProjectFolderPath(sub_), newRoot_));
  // A resume with everything moved already succeeds at once.
  Doc().SetPendingOldRoot(root_);
  EXPECT_TRUE(Mover().MoveAllProjects());
}

TEST_F(LibraryRootMoveTest, AnUnreadableFileListFailsItsProjectInsteadOfLosingDocuments) {
  BuildLibrary();
  std::ofstream(FolderOf(sub_) + sub_ + "_ProjectFileList.wxf", std::ios::binary) << "Plan.doc\r\r\n";
  LibraryRootMove mover = Mover();
  ASSERT_TRUE(mover.BeginMove(newRoot_));
  EXPECT_FALSE(mover.MoveAllProjects());
  ASSERT_FALSE(messages_.empty());
  EXPECT_NE(messages_.back().find("MoveProject(): Failed to read "), std::string::npos);
  EXPECT_TRUE(LibraryRootMove::IsSameOrBelow(Doc().GetProjectFolderPath(top_), newRoot_));
  EXPECT_TRUE(LibraryRootMove::IsSameOrBelow(Doc().GetProjectFolderPath(sub_), root_));
  EXPECT_EQ(Doc().GetPendingOldRoot(), root_);
}

// A move killed at its n-th record write (one instance per write of the whole move),
// the way a crash or a power cut would end it.
class LibraryRootMoveCrashTest : public LibraryRootMoveTest, public ::testing::WithParamInterface<int> {
 protected:
  // Runs the whole move in a child process that kills itself at the n-th write.
  void MoveInAChildKilledAtWrite(int n) {
    doc_.reset();  // the child takes the library's guards
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CWexmoorDoc document(CWexmoorDoc::Setup{work_, locks_, CertificateBuiltInKey()});
      if (!document.OnNewDocument()) ::_exit(2);
      int writes = 0;
      platform::AtomicFile::SetWriteHookForTesting([&writes, n](std::size_t) {
        if (++writes == n) ::raise(SIGKILL);
        return true;
      });
      LibraryRootMove::Environment environment;
      environment.freeBytes = [](const std::string&) { return std::uint64_t{1} << 40; };
      LibraryRootMove mover(document, environment);
      const bool moved = mover.BeginMove(newRoot_) && mover.MoveAllProjects() && document.EndRootMove();
      ::_exit(moved ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
    Restart();
  }
};

TEST_P(LibraryRootMoveCrashTest, AKilledMoveLeavesTheOldRootWholeOrResumesToTheNewOne) {
  BuildLibrary();
  doc_.reset();
  const auto oldRoot = Snapshot(root_);
  Restart();
  MoveInAChildKilledAtWrite(GetParam());
  if (Doc().GetRootPath() == root_) {
    // Killed before the switch: the old root is in force and untouched.
    EXPECT_EQ(Doc().GetPendingOldRoot(), "");
  } else {
    EXPECT_EQ(Doc().GetRootPath(), newRoot_);
    EXPECT_TRUE(Mover().MoveAllProjects());
    EXPECT_TRUE(Doc().EndRootMove());
    Restart();
  }
  EXPECT_EQ(Doc().GetPendingOldRoot(), "");
  const std::string root = Doc().GetRootPath();
  for (const std::string& project : {top_, sub_}) {
    ASSERT_TRUE(ProjectExists(project)) << project;
    EXPECT_TRUE(LibraryRootMove::IsSameOrBelow(Doc().GetProjectFolderPath(project), root)) << project;
  }
  EXPECT_EQ(ReadFile(FolderOf(sub_) + file_ + "Ver3.wxf"), "version three");
  EXPECT_EQ(ReadFile(Doc().GetVersionFilePath(StatisticsOf(top_, reference_))), "version 2");
  doc_.reset();
  auto oldNow = Snapshot(root_);
  oldNow.erase(root_ + "/WXUsers.wxf");  // rewritten by every shutdown
  auto oldBefore = oldRoot;
  oldBefore.erase(root_ + "/WXUsers.wxf");
  EXPECT_EQ(oldNow, oldBefore);  // nothing in the old root ever changes
  Restart();
}

// Every record write of the move: four library files, then per project its list,
// its statistics and the inventory, then the root-path file that ends the move.
INSTANTIATE_TEST_SUITE_P(EveryWrite, LibraryRootMoveCrashTest, ::testing::Range(1, 13));

}  // namespace
