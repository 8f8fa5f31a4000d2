#include <gtest/gtest.h>

#include <filesystem>
#include <shared_mutex>

#include "server/store/BackupLeftover.h"
#include "server/store/ProjectFolders.h"
#include "server/store/StoreChange.h"
#include "server/store/StoreTestLibrary.h"

namespace {

enum class Original { Kept, Removed };

// Disk changes of an added document from the last one of its list write to its end.
constexpr int kStepsAfterListWrite = 2;

// A library copied to another folder, its working folder's root-path file naming
// the copy, and a server started there.
class LibraryCopyTest : public StoreTestLibrary, public ::testing::WithParamInterface<Original> {
 protected:
  // Projects, a sub-project chain that the copy's longer root lays out deeper, a
  // document with two versions, references, an edition and a checked-out document.
  void BuildLibrary() {
    const std::string top = NewProject("Top");
    std::string chain = NewProject("Sub", top);
    for (int level = 0; level < 5; ++level) chain = NewProject("Level " + std::to_string(level), chain);
    deep_ = chain;
    NewDocument(top, "Plan.doc", "plan 1");
    ASSERT_EQ(CheckOut(top, "Plan.doc"), 0);
    ASSERT_EQ(CheckIn(top, "Plan.doc", "plan 2"), 0);
    NewDocument(deep_, "Held.doc", "held 1");
    FileStatistics reference;
    ASSERT_EQ(Doc().AddReference("Plan.doc", deep_, "ref", top, 1, reference, false, false), 0);
    ServerProject edition;
    ASSERT_EQ(Doc().CreateEdition(top, "2026", "", "ann", "", edition), 0);
    ASSERT_EQ(Doc().AddReference("Plan.doc", edition.GetInternalName(), "", top, 2, reference, true, false), 0);
    ASSERT_EQ(CheckOut(deep_, "Held.doc"), 0);
  }

  // What the library serves: the tree, each project's list, and each document's
  // statistics and version bytes.
  std::map<std::string, std::string> Served() {
    std::vector<std::string> projects;
    std::map<std::string, std::string> served;
    {
      std::shared_lock<std::shared_mutex> latch(Doc().GetProjectTreeLatch());
      for (const auto& [internalName, node] : Doc().GetProjectMap()) {
        projects.push_back(internalName);
        served["project " + internalName] = node->GetName() + " with " + std::to_string(node->GetSubProjectCount());
      }
    }
    for (const std::string& project : projects) {
      EXPECT_TRUE(IsFolderOrBelow(Doc().GetProjectFolderPath(project), root_)) << Doc().GetProjectFolderPath(project);
      const RecordCache::ListRecord list = Doc().GetRecordCache().List(ProjectFileListPath(FolderOf(project), project));
      StringList names;
      list->GetKeys(names);
      for (int i = 0; i < names.GetSize(); ++i) {
        const std::string document = project + "/" + names.GetAt(i);
        const FileStatistics statistics = StatisticsOf(project, list->Lookup(names.GetAt(i)));
        served["statistics " + document] =
            platform::ScratchFolder::Read(StatisticsPath(FolderOf(project), statistics.GetInternalFileName()));
        for (int v = 0; v < statistics.GetVersionCount(); ++v) {
          FileStatistics version = statistics;
          version.SetHeader(statistics.GetVersion(v));
          served["version " + document + "#" + std::to_string(v)] =
              platform::ScratchFolder::Read(Doc().GetVersionFilePath(version));
        }
      }
    }
    return served;
  }

  // Stops the server, copies its root as `cp -a` does, and starts on the copy.
  void StartOnCopy() {
    original_ = root_;
    doc_.reset();
    originalFiles_ = Snapshot(original_);
    const std::string copy = ScratchPathOfLength(150, "copy");
    std::filesystem::create_directories(std::filesystem::path(copy).parent_path());
    std::filesystem::copy(original_, copy,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
    if (GetParam() == Original::Removed) std::filesystem::remove_all(original_);
    StartOn(copy);
  }

  std::string deep_, original_;
  std::map<std::string, std::string> originalFiles_;
};

TEST_P(LibraryCopyTest, ACopyServesItsOwnFilesAndNeverTouchesTheOriginal) {
  BuildLibrary();
  const std::map<std::string, std::string> served = Served();
  RecordNotices();
  StartOnCopy();
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_NE(notices_[0].find(original_), std::string::npos) << notices_[0];
  EXPECT_EQ(Served(), served);

  EXPECT_EQ(CheckIn(deep_, "Held.doc", "held 2"), 0);
  Restart();
  EXPECT_EQ(Served().size(), served.size() + 1);
  if (GetParam() == Original::Kept) {
    EXPECT_EQ(Snapshot(original_), originalFiles_);
  } else {
    EXPECT_FALSE(std::filesystem::exists(original_));
  }
}

TEST_P(LibraryCopyTest, AChangeCutShortBeforeTheCopyIsFinishedInTheCopyOnly) {
  const std::string project = NewProject("Top");
  NewDocument(project, "First.doc", "first");  // the next ones append to its list
  const int changes = CountDiskChanges([&] { NewDocument(project, "Counted.doc", "counted"); });
  const std::string list = ProjectFileListPath(FolderOf(project), project);
  // A crash while the list is written: the record names the steps still to make.
  ASSERT_EQ(RunInChild([&] {
              if (!StartDocument()) return 1;
              ExitAtDiskChange(changes - kStepsAfterListWrite);
              NewDocument(project, "Plan.doc", "plan");
              return 0;
            }),
            kKilledExit);
  ASSERT_TRUE(StoreChange::HasRecords(root_ + "/" + CWexmoorDoc::kJournalFolderName));
  ASSERT_EQ(platform::ScratchFolder::Read(list).find("Plan.doc"), std::string::npos);

  StartOnCopy();
  const FileStatistics plan = StatisticsOf(project, ListOf(project).Lookup("Plan.doc"));
  EXPECT_EQ(platform::ScratchFolder::Read(Doc().GetVersionFilePath(plan)), "plan");
  if (GetParam() == Original::Kept) {
    EXPECT_EQ(Snapshot(original_), originalFiles_);
  }
}

using CutBackupTest = StoreTestLibrary;

TEST_F(CutBackupTest, AServerNeverStartsOnWhatACutBackupLeftAndRemovesIt) {
  const struct {
    bool copyPlaced;    // moved out of the in-progress folder
    bool rootPathFile;  // the copy named: the backup was whole
  } cases[] = {{false, false}, {true, false}, {true, true}};
  doc_.reset();
  for (const auto& c : cases) {
    work_ = scratch_ / ("cut" + std::to_string(&c - cases));
    const std::string inProgress = work_ + "/" + BackupLeftover::kInProgressName;
    Plant(inProgress + "/" + BackupLeftover::kCopyName + "/" + CWexmoorDoc::kInventoryFileName, "");
    if (c.copyPlaced) Plant(work_ + "/" + BackupLeftover::kCopyName + "/" + CWexmoorDoc::kInventoryFileName, "");
    if (c.rootPathFile) Plant(work_ + "/" + CWexmoorDoc::kRootPathFileName, "\"" + root_ + "\",\"\",0");
    notices_.clear();
    RecordNotices();
    EXPECT_EQ(StartDocument(), c.rootPathFile);
    doc_.reset();
    ASSERT_FALSE(notices_.empty());
    EXPECT_NE(notices_.back().find("cut short"), std::string::npos) << notices_.back();
    EXPECT_FALSE(std::filesystem::exists(inProgress));
    if (!c.rootPathFile) {
      EXPECT_TRUE(std::filesystem::is_empty(work_)) << work_;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Original, LibraryCopyTest, ::testing::Values(Original::Kept, Original::Removed));

}  // namespace
