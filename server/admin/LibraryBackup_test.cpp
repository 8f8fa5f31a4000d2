#include "server/admin/LibraryBackup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <shared_mutex>

#include "server/engine/LibraryRootMove.h"
#include "server/store/BackupLeftover.h"
#include "server/store/StoreTestLibrary.h"

namespace {

namespace stdfs = std::filesystem;

class LibraryBackupTest : public StoreTestLibrary {
 protected:
  std::string Backup(const std::string& folder) { return LibraryBackup(Doc()).Make(folder); }
  std::string Copy() const { return backup_ + "/" + BackupLeftover::kCopyName; }
  bool HoldsRootPathFile() const { return stdfs::exists(backup_ + "/" + CWexmoorDoc::kRootPathFileName); }

  // Projects (two unless told), documents with versions, a checked-out one.
  void BuildLibrary(std::size_t projects = 2) {
    for (const std::string& name : std::vector<std::string>{"Plans", "Drawings"}) {
      if (projects-- == 0) break;
      const std::string project = NewProject(name);
      for (const std::string document : {"a.doc", "b.doc"}) NewDocument(project, document, name + document);
      ASSERT_EQ(CheckOut(project, "a.doc"), 0);
      ASSERT_EQ(CheckIn(project, "a.doc", name + " second"), 0);
      ASSERT_EQ(CheckOut(project, "b.doc"), 0);
    }
  }
  // What the library serves: each project's name, and each listed document's version bytes.
  std::map<std::string, std::string> Served() {
    std::map<std::string, std::string> projects;
    {
      std::shared_lock<std::shared_mutex> latch(Doc().GetProjectTreeLatch());
      for (const auto& [internalName, node] : Doc().GetProjectMap()) projects[internalName] = node->GetName();
    }
    std::map<std::string, std::string> served;
    for (const auto& [project, name] : projects) {
      served[project] = name;
      const ProjectFileList list = ListOf(project);
      StringList documents;
      list.GetKeys(documents);
      for (int d = 0; d < documents.GetSize(); ++d) {
        const FileStatistics statistics = StatisticsOf(project, list.Lookup(documents.GetAt(d)));
        for (int v = 0; v < statistics.GetVersionCount(); ++v) {
          FileStatistics version = statistics;
          version.SetHeader(statistics.GetVersion(v));
          served[name + "/" + documents.GetAt(d) + "#" + std::to_string(statistics.GetVersion(v).GetVersion())] =
              platform::ScratchFolder::Read(Doc().GetVersionFilePath(version));
        }
      }
    }
    return served;
  }

  std::string backup_ = scratch_ / "backups/nightly";
};

TEST_F(LibraryBackupTest, RefusedWhereverTheCopyWouldReallyLieInsideTheRootOrHoldIt) {
  ASSERT_TRUE(platform::fs::CreateFolder(root_ + "/zz_backups"));
  stdfs::create_symlink(root_ + "/zz_backups", scratch_ / "into-root");
  stdfs::create_symlink(root_ + "/not-yet", scratch_ / "dangling");
  stdfs::create_symlink(root_, scratch_ / "root-link");
  stdfs::create_symlink(scratch_.Path(), scratch_ / "up");
  const std::map<std::string, std::string> before = Files(root_);
  const std::string cases[] = {
      root_ + "/copy",
      scratch_ / "into-root",
      scratch_ / "dangling",
      scratch_ / "root-link/sub/deeper",
      scratch_ / "up",  // the root lies inside it
  };
  for (const std::string& folder : cases) {
    const std::string refusal = Backup(folder);
    EXPECT_NE(refusal.find("lies inside"), std::string::npos) << folder << ": " << refusal;
  }
  EXPECT_EQ(Files(root_), before);
}

TEST_F(LibraryBackupTest, KilledAtAnyDiskChangeLeavesNoLibraryAndTheNextBackupIsWhole) {
  BuildLibrary(1);
  const std::map<std::string, std::string> original = Files(root_);
  stdfs::create_directories(stdfs::path(backup_).parent_path());
  const int changes = CountDiskChanges([&] { ASSERT_EQ(Backup(backup_), ""); });
  ASSERT_EQ(Files(Copy()), original);
  stdfs::remove_all(backup_);
  for (int n = 1; n <= changes; ++n) {
    ASSERT_EQ(RunInChild([&] {
                if (!StartDocument()) return 1;
                ExitAtDiskChange(n);
                Backup(backup_);
                return 0;
              }),
              kKilledExit)
        << n;
    Restart();
    if (HoldsRootPathFile()) {
      EXPECT_EQ(Files(Copy()), original) << n;  // cut after the copy was whole and named
    } else {
      EXPECT_TRUE(!stdfs::exists(backup_) || stdfs::is_empty(backup_) || BackupLeftover::IsIn(backup_)) << n;
      EXPECT_EQ(Backup(backup_), "") << n;
      EXPECT_EQ(Files(Copy()), original) << n;
      EXPECT_FALSE(BackupLeftover::IsIn(backup_)) << n;
    }
    stdfs::remove_all(backup_);
  }
  EXPECT_EQ(Files(root_), original);
}

TEST_F(LibraryBackupTest, TemporariesOfWritesInFlightAreNeverCopied) {
  BuildLibrary();
  const std::string project = NewProject("Other");
  const std::map<std::string, std::string> withProject = Files(root_);
  Plant(root_ + "/." + ServerSettings::kUsersFileName + ".tmp-0badf00d", "half a users file");
  Plant(FolderOf(project) + ".list.copy-12345678", "half a copy");
  ASSERT_EQ(Backup(backup_), "");
  EXPECT_EQ(Files(Copy()), withProject);
}

TEST_F(LibraryBackupTest, ABackupWhileTheRootMovesIsWholeOrRefused) {
  BuildLibrary();
  const std::map<std::string, std::string> served = Served();
  enum class Move { Begun, Finished };
  for (const Move move : {Move::Begun, Move::Finished}) {
    SCOPED_TRACE(move == Move::Begun ? "begun" : "finished");
    // The move starts as soon as the backup changes the disk, before it holds anything.
    const std::string newRoot = scratch_ / (move == Move::Begun ? "moved-once" : "moved-twice");
    bool started = false;
    platform::SetDiskChangeHookForTesting([&] {
      if (std::exchange(started, true)) return;
      LibraryRootMove rootMove(Doc(), {});
      ASSERT_TRUE(rootMove.BeginMove(newRoot));
      if (move == Move::Finished) {
        ASSERT_TRUE(rootMove.MoveAllProjects() && Doc().EndRootMove());
      }
    });
    const std::string made = Backup(backup_);
    platform::SetDiskChangeHookForTesting(nullptr);
    ASSERT_TRUE(started);
    if (!made.empty()) {
      EXPECT_NE(made.find("moved"), std::string::npos) << made;
      EXPECT_FALSE(stdfs::exists(backup_)) << made;
    } else {
      const std::string live = Doc().GetRootPath();
      StartOn(Copy());
      EXPECT_EQ(Served(), served);
      StartOn(live);
    }
    if (move == Move::Begun) {
      EXPECT_NE(made, "");
      ASSERT_TRUE(LibraryRootMove(Doc(), {}).MoveAllProjects() && Doc().EndRootMove());
    }
    stdfs::remove_all(backup_);
  }
}

}  // namespace
