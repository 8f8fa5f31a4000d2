#include "server/store/StoreSweep.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

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
    alpha_ = alpha;
    document_ = document;
    // What can never hold acknowledged data: moved.
    leftovers_ = {"TemporaryFiles/Temp3_7.wxf",                    // partly received
                  ".WexmoorInventory.wxf.tmp-0123abcd",            // cut atomic write
                  a + "." + document + "_FileStatistics.wxf.tmp-89abcdef",
                  "Journal/.00000000000000000001-000001.wxj.tmp-0000beef",
                  "WXFiName_Hi7Lo5/.WXFiName_Hi7Lo5_ProjectFileList.wxf.tmp-0000abcd"};  // cut project creation
    // Project data no record names, and what the console names for it: left in place.
    strays_ = {{a + document + "_FileStatistics.bak", a + document + "_FileStatistics.bak"},
               {a + "WXFiName_Hi7Lo1Ver1.wxf", a + "WXFiName_Hi7Lo1Ver1.wxf"},  // a document no list names
               {a + "WXFiName_Hi7Lo1_FileStatistics.wxf", a + "WXFiName_Hi7Lo1_FileStatistics.wxf"},
               {"WXFiName_Hi7Lo2/WXFiName_Hi7Lo2_ProjectFileList.wxf", "WXFiName_Hi7Lo2"},  // a project no node owns
               {"WXFiName_Hi7Lo2/WXFiName_Hi7Lo8Ver1.wxf", "WXFiName_Hi7Lo2"},
               {a + "WXFiName_Hi7Lo3/WXFiName_Hi7Lo3_ProjectFileList.wxf", a + "WXFiName_Hi7Lo3"},
               {"Outside" + away.GetFolderPath() + "/WXFiName_Hi7Lo6Ver1.wxf",
                "Outside" + away.GetFolderPath() + "/WXFiName_Hi7Lo6Ver1.wxf"}};
    // Version files their listed document does not name: renamed out of the version pattern.
    unnamedVersions_ = {a + document + "Ver2.wxf",          // beyond the statistics
                        b + reference.GetVersionFileName()};  // a reference has no file
    for (const std::string& leftover : leftovers_) Plant(PlantedPath(leftover), leftover);
    for (const auto& [stray, named] : strays_) Plant(PlantedPath(stray), stray);
    for (const std::string& version : unnamedVersions_) Plant(PlantedPath(version), version);
  }
  // Where a leftover was planted: under the root, or "Outside" + a full path.
  std::string PlantedPath(const std::string& leftover) const {
    return leftover.rfind("Outside/", 0) == 0 ? leftover.substr(std::string("Outside").size()) : root_ + "/" + leftover;
  }
  // Whether the console line names the path.
  static bool Names(const std::string& notice, const std::string& path) {
    return notice.find("\"" + path + "\"") != std::string::npos;
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
  std::vector<std::string> leftovers_, unnamedVersions_;
  std::vector<std::pair<std::string, std::string>> strays_;
  std::string referenceStatistics_, alpha_, document_;
};

TEST_F(StoreSweepTest, LeftoversGoIntoOneDatedFolderAndEverythingElseStays) {
  BuildLibraryWithLeftovers();
  RecordNotices();
  Restart();
  const std::vector<std::string> folders = SweepFolders();
  ASSERT_EQ(folders.size(), 1u);
  for (const std::string& leftover : leftovers_) {
    EXPECT_EQ(platform::ScratchFolder::Read(folders[0] + "/" + leftover), leftover);
    EXPECT_FALSE(platform::fs::Exists(PlantedPath(leftover))) << leftover;
  }
  const std::map<std::string, std::string> library = Library();
  for (const auto& [path, content] : kept_) {
    const auto found = library.find(path);
    EXPECT_TRUE(found != library.end() && found->second == content) << path;
  }
  EXPECT_EQ(platform::ScratchFolder::Read(scratch_ / "outside/WXFiName_Hi9Lo8_FileStatistics.bak"), "outside");
  FileStatistics reference;
  int lines = 0;
  ASSERT_EQ(reference.Load(referenceStatistics_, lines), 0);
  EXPECT_EQ(platform::ScratchFolder::Read(Doc().GetVersionFilePath(reference)), "v1");
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_NE(notices_[0].find(std::to_string(leftovers_.size()) + " leftover"), std::string::npos) << notices_[0];
  EXPECT_NE(notices_[0].find(folders[0]), std::string::npos) << notices_[0];
}

TEST_F(StoreSweepTest, ProjectDataNoRecordNamesIsNamedAndLeftInPlace) {
  BuildLibraryWithLeftovers();
  RecordNotices();
  Restart();
  ASSERT_EQ(notices_.size(), 1u);
  const std::string& notice = notices_[0];
  for (const auto& [stray, named] : strays_) {
    EXPECT_EQ(platform::ScratchFolder::Read(PlantedPath(stray)), stray);
    EXPECT_TRUE(Names(notice, PlantedPath(named))) << named << "\n" << notice;
  }
  // An unnamed version keeps its place and content under a name no version has.
  for (const std::string& version : unnamedVersions_) {
    const std::string renamed = PlantedPath(version) + StoreSweep::kStraySuffix;
    EXPECT_FALSE(platform::fs::Exists(PlantedPath(version))) << version;
    EXPECT_EQ(platform::ScratchFolder::Read(renamed), version);
    EXPECT_TRUE(Names(notice, renamed)) << renamed << "\n" << notice;
  }
  // The stray takes no version's place: the next check-in stores its own bytes.
  ASSERT_EQ(CheckOut(alpha_, "Plan"), 0);
  ASSERT_EQ(CheckIn(alpha_, "Plan", "plan 2"), 0);
  EXPECT_EQ(platform::ScratchFolder::Read(FolderOf(alpha_) + document_ + "Ver2.wxf"), "plan 2");
}

TEST_F(StoreSweepTest, SecondStartMovesNothingAndOnlyNamesWhatItLeft) {
  BuildLibraryWithLeftovers();
  Restart();
  const auto afterFirst = Snapshot(root_);
  RecordNotices();
  Restart();
  EXPECT_EQ(Snapshot(root_), afterFirst);
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].find("Moved"), std::string::npos) << notices_[0];
  for (const auto& [stray, named] : strays_) {
    EXPECT_TRUE(Names(notices_[0], PlantedPath(named))) << named << "\n" << notices_[0];
  }
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
  for (const std::string& version : unnamedVersions_) {
    EXPECT_EQ(platform::ScratchFolder::Read(PlantedPath(version)), version);
  }
}

// As after a copy of the library with the original gone: the inventory names folders
// that no longer exist, and the copy's own project folders are owned by no node.
TEST_F(StoreSweepTest, ProjectFoldersNoNodeOwnsStayInPlace) {
  const std::string alpha = NewProject("Alpha");
  const std::string beta = NewProject("Beta", alpha);
  NewDocument(alpha, "Plan");
  NewDocument(beta, "Notes");
  ASSERT_EQ(CheckOut(alpha, "Plan"), 0);
  ASSERT_EQ(CheckIn(alpha, "Plan", "v2"), 0);
  doc_.reset();
  const std::string copy = scratch_ / "copy";
  std::filesystem::rename(root_, copy);
  root_ = copy;
  std::ofstream(work_ + "/" + CWexmoorDoc::kRootPathFileName, std::ios::binary) << "\"" << root_ << "\",\"\",0";
  const auto projectFiles = [this] {
    std::map<std::string, std::string> files = Snapshot(root_);
    std::erase_if(files, [this](const auto& file) { return file.first.rfind(root_ + "/WXFiName_", 0) != 0; });
    return files;
  };
  const auto before = projectFiles();
  ASSERT_FALSE(before.empty());
  Restart();
  EXPECT_EQ(projectFiles(), before);
  EXPECT_FALSE(platform::fs::Exists(root_ + "/DeletedProjects"));
}

TEST_F(StoreSweepTest, LeftoverFoldersOverTheBoundAreRemovedOldestFirst) {
  constexpr std::int64_t kMiB = std::int64_t{1} << 20;
  const struct {
    const char* what;
    std::vector<std::string> stamps;  // oldest first
    std::int64_t bytesEach;
    std::size_t removed;  // how many of the oldest go
  } cases[] = {
      {"more than five folders",
       {"20200101-000001", "20200101-000001 (2)", "20200102-000000", "20200103-000000", "20200104-000000",
        "20201231-235959"},
       10, 1},
      {"more than 1 GiB", {"20200101-000000", "20200102-000000", "20200103-000000"}, 400 * kMiB, 1},
      {"within the bound", {"20200101-000000", "20200102-000000"}, 500 * kMiB, 0},
  };
  // Project data an earlier sweep moved is never removed and does not count.
  const std::string data = root_ + "/DeletedProjects/Leftovers 20190101-000000/WXFiName_Hi3Lo3";
  for (const auto& [what, stamps, bytesEach, removed] : cases) {
    std::filesystem::remove_all(root_ + "/DeletedProjects");
    Plant(data + "/WXFiName_Hi3Lo3_ProjectFileList.wxf", "list");
    std::vector<std::string> folders;
    for (const std::string& stamp : stamps) {
      folders.push_back(root_ + "/DeletedProjects/Leftovers " + stamp);
      Plant(folders.back() + "/TemporaryFiles/Temp_1.wxf", "");
      std::filesystem::resize_file(folders.back() + "/TemporaryFiles/Temp_1.wxf", bytesEach);  // sparse
    }
    notices_.clear();
    RecordNotices();
    Restart();
    for (std::size_t i = 0; i < folders.size(); ++i) {
      EXPECT_EQ(platform::fs::Exists(folders[i]), i >= removed) << what << ": " << folders[i];
    }
    EXPECT_EQ(platform::ScratchFolder::Read(data + "/WXFiName_Hi3Lo3_ProjectFileList.wxf"), "list") << what;
    ASSERT_EQ(notices_.size(), removed == 0 ? 0u : 1u) << what;
    for (std::size_t i = 0; i < removed; ++i) {
      EXPECT_TRUE(Names(notices_[0], folders[i])) << what << "\n" << notices_[0];
    }
  }
}

}  // namespace
