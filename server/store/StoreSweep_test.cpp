#include "server/store/StoreSweep.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "server/store/StoreTestLibrary.h"

namespace {

class StoreSweepTest : public StoreTestLibrary {
 protected:
  // Projects Alpha and its Beta with a document and a reference to it, files of the
  // user's own beside the library, then one leftover of each kind (each holding its
  // path in the dated folder). `kept_` is the library before the leftovers.
  void BuildLibraryWithLeftovers() {
    const std::string alpha = NewProject("Alpha");
    const std::string beta = NewProject("Beta", alpha);
    const std::string document = NewDocument(alpha, "Plan");
    FileStatistics reference;
    ASSERT_EQ(Doc().AddReference("Plan", beta, "ref", alpha, 1, reference, false, false), 0);
    referenceStatistics_ = StatisticsPath(FolderOf(beta), reference.GetInternalFileName());
    for (const char* own : {"notes.txt", ".notes.txt.tmp-0badc0de", "WXFiName_Project/a.txt", "WXFiName_Hi1Lo5.txt"}) {
      Plant(root_ + "/" + own, own);
    }
    Plant(scratch_ / "outside/WXFiName_Hi9Lo8_FileStatistics.bak", "outside");
    std::filesystem::create_directory_symlink(scratch_ / "outside", root_ + "/WXFiName_Hi9Lo9");
    // Projects whose folders lie outside the root and inside a folder no node owns.
    ServerProject away, nested;
    ASSERT_EQ(Doc().CreateProject("", "Away", scratch_ / "elsewhere", away, false), 0);
    ASSERT_EQ(Doc().CreateProject("", "Nested", root_ + "/WXFiName_Hi7Lo4", nested, false), 0);
    kept_ = Snapshot(root_);

    const std::string a = alpha + "/", b = alpha + "/" + beta + "/";
    leftovers_ = {"TemporaryFiles/Temp3_7.wxf",                    // partly received
                  ".WexmoorInventory.wxf.tmp-0123abcd",            // cut atomic write
                  a + "." + document + "_FileStatistics.wxf.tmp-89abcdef",
                  "Journal/.00000000000000000001-000001.wxj.tmp-0000beef",
                  a + document + "_FileStatistics.bak",            // cut check-in
                  a + "WXFiName_Hi7Lo1Ver1.wxf",                   // cut add
                  a + "WXFiName_Hi7Lo1_FileStatistics.wxf",
                  a + document + "Ver2.wxf",                       // beyond the statistics
                  b + reference.GetVersionFileName(),              // a reference has no file
                  "WXFiName_Hi7Lo2/WXFiName_Hi7Lo2_ProjectFileList.wxf",  // cut project deletion
                  a + "WXFiName_Hi7Lo3/WXFiName_Hi7Lo3_ProjectFileList.wxf",
                  "Outside" + away.GetFolderPath() + "/WXFiName_Hi7Lo6Ver1.wxf"};
    for (const std::string& leftover : leftovers_) Plant(PlantedPath(leftover), leftover);
  }
  // Where a leftover was planted: under the root, or "Outside" + a full path.
  std::string PlantedPath(const std::string& leftover) const {
    return leftover.rfind("Outside/", 0) == 0 ? leftover.substr(std::string("Outside").size()) : root_ + "/" + leftover;
  }
  // The dated folders under "DeletedProjects".
  std::vector<std::string> SweepFolders() const {
    std::vector<std::string> folders;
    for (const auto& entry : std::filesystem::directory_iterator(root_ + "/DeletedProjects")) {
      if (entry.path().filename().string().rfind("Leftovers ", 0) == 0) folders.push_back(entry.path());
    }
    return folders;
  }
  // The library without "DeletedProjects".
  std::map<std::string, std::string> Library() const {
    std::map<std::string, std::string> files = Snapshot(root_);
    std::erase_if(files, [this](const auto& file) { return file.first.rfind(root_ + "/DeletedProjects", 0) == 0; });
    return files;
  }

  std::map<std::string, std::string> kept_;
  std::vector<std::string> leftovers_;
  std::string referenceStatistics_;
};

TEST_F(StoreSweepTest, LeftoversGoIntoOneDatedFolderAndEverythingElseStays) {
  BuildLibraryWithLeftovers();
  RecordNotices();
  Restart();
  const std::vector<std::string> folders = SweepFolders();
  ASSERT_EQ(folders.size(), 1u);
  for (const std::string& leftover : leftovers_) {
    EXPECT_EQ(platform::ScratchFolder::Read(folders[0] + "/" + leftover), leftover);
  }
  EXPECT_EQ(Library(), kept_);
  EXPECT_EQ(platform::ScratchFolder::Read(scratch_ / "outside/WXFiName_Hi9Lo8_FileStatistics.bak"), "outside");
  EXPECT_FALSE(platform::fs::Exists(PlantedPath(leftovers_.back())));
  FileStatistics reference;
  int lines = 0;
  ASSERT_EQ(reference.Load(referenceStatistics_, lines), 0);
  EXPECT_EQ(platform::ScratchFolder::Read(Doc().GetVersionFilePath(reference)), "v1");
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_NE(notices_[0].find(std::to_string(leftovers_.size()) + " leftover"), std::string::npos) << notices_[0];
  EXPECT_NE(notices_[0].find(folders[0]), std::string::npos) << notices_[0];
}

TEST_F(StoreSweepTest, SecondStartMovesNothingAndSaysNothing) {
  BuildLibraryWithLeftovers();
  Restart();
  const auto afterFirst = Snapshot(root_);
  RecordNotices();
  Restart();
  EXPECT_EQ(Snapshot(root_), afterFirst);
  EXPECT_TRUE(notices_.empty());
}

TEST_F(StoreSweepTest, PendingJournalRecordStopsTheSweep) {
  BuildLibraryWithLeftovers();
  // A record that recovery cannot finish stays for the next start.
  Plant(root_ + "/Journal/00000000000000000001-000001.wxj", "not a record");
  Restart();
  EXPECT_FALSE(platform::fs::Exists(root_ + "/DeletedProjects"));
  for (const std::string& leftover : leftovers_) {
    EXPECT_EQ(platform::ScratchFolder::Read(PlantedPath(leftover)), leftover);
  }
}

}  // namespace
