#include "server/store/ProjectFolders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <shared_mutex>

#include "server/store/StoreTestLibrary.h"

namespace {

TEST(ProjectFolderOnDiskTest, ComponentsPastTheLimitLieUnderTheRootsDeepFolder) {
  const std::string root = "/lib";
  const std::string c180(180, 'c');
  const std::string d15(15, 'd');  // "/lib/" + c180 + "/" + d15 is 201 bytes
  const struct {
    std::string recorded, expected;
  } cases[] = {
      {"/lib/A/B", "/lib/A/B"},
      {"/lib/A/B/", "/lib/A/B"},
      {"/lib/" + c180 + "/" + d15, "/lib/MAX_PATH/" + d15},
      {"/lib/" + c180 + "/" + d15 + "/E", "/lib/MAX_PATH/" + d15 + "/E"},
      {"/lib/" + c180 + "/" + d15.substr(1), "/lib/" + c180 + "/" + d15.substr(1)},
      {"/elsewhere/" + c180 + "/" + d15, "/lib/MAX_PATH/" + d15},
  };
  for (const auto& c : cases) EXPECT_EQ(ProjectFolderOnDisk(c.recorded, root), c.expected) << c.recorded;
  // A root written with its separator lays out the same folders.
  EXPECT_EQ(ProjectFolderOnDisk("/lib/" + c180 + "/" + d15, "/lib/"), "/lib/MAX_PATH/" + d15);
}

class DeepProjectTest : public StoreTestLibrary {
 protected:
  // A chain of `depth` nested projects under `parent`; the deepest one's internal name.
  std::string Chain(int depth, std::string parent = "") {
    for (int level = 1; level <= depth; ++level) parent = NewProject("Level " + std::to_string(level), parent);
    return parent;
  }
  std::string Bytes(const std::string& project, const std::string& name, int index = -1) {
    FileStatistics statistics = StatisticsOf(project, ListOf(project).Lookup(name));
    statistics.SetHeader(statistics.GetVersion(index < 0 ? statistics.GetLatestVersionIndex() : index));
    return platform::ScratchFolder::Read(Doc().GetVersionFilePath(statistics));
  }
};

TEST_F(DeepProjectTest, EveryOperationWorksTwentyLevelsDeepUnderALongRoot) {
  StartOn(ScratchPathOfLength(150, "root"));
  const std::string top = NewProject("Top");
  const std::string level19 = Chain(18, top);
  const std::string deep = NewProject("Deep", level19);
  const std::string other = NewProject("Other", level19);
  ASSERT_EQ(Doc().GetProjectFolderPath(deep).rfind(root_ + "/MAX_PATH/", 0), 0u) << Doc().GetProjectFolderPath(deep);

  NewDocument(deep, "Plan.doc", "plan 1");
  const std::string loose = NewDocument(deep, "Loose.doc", "loose");
  FileStatistics reference;
  EXPECT_EQ(Doc().AddReference("Plan.doc", other, "ref", deep, 1, reference, false, false), 0);
  EXPECT_EQ(CheckOut(deep, "Plan.doc"), 0);
  EXPECT_EQ(CheckIn(deep, "Plan.doc", "plan 2"), 0);
  EXPECT_TRUE(Doc().RenameDocument(deep, loose, "Renamed.doc"));
  ServerProject edition;
  ASSERT_EQ(Doc().CreateEdition(deep, "2026", "", "ann", "", edition), 0);
  EXPECT_EQ(Doc().AddReference("Plan.doc", edition.GetInternalName(), "", deep, 2, reference, true, false), 0);
  StringList report;
  EXPECT_EQ(Doc().DeleteDocument(deep, loose, report), 0);

  Restart();
  EXPECT_EQ(Bytes(deep, "Plan.doc"), "plan 2");
  EXPECT_EQ(Bytes(other, "Plan.doc"), "plan 1");
  EXPECT_EQ(Bytes(edition.GetInternalName(), "Plan.doc"), "plan 2");
  EXPECT_FALSE(ListOf(deep).Contains("Renamed.doc"));
  EXPECT_EQ(Doc().DeleteProject(edition.GetInternalName(), "", report), 0);
  EXPECT_EQ(Doc().DeleteProject(other, "", report), 0);
  EXPECT_EQ(Doc().DeleteProject(top, "", report), 0);
  EXPECT_TRUE(std::filesystem::is_empty(root_ + "/MAX_PATH"));
}

TEST_F(DeepProjectTest, ADocumentCanBeAddedAtTheDeepestLevelTheServerAccepts) {
  StartOn(ScratchPathOfLength(200, "root"));
  const std::string deepest = Chain(ServerProject::kMaxTreeDepth);
  NewDocument(deepest, "Plan.doc", "plan");
  Restart();
  EXPECT_EQ(Bytes(deepest, "Plan.doc"), "plan");
}

TEST_F(DeepProjectTest, ARootTooLongForAProjectsFilesIsRefusedAtCreation) {
  StartOn(ScratchPathOfLength(4000, "root"));
  ServerProject created;
  EXPECT_EQ(Doc().CreateProject("", "Top", "", created, false), CWexmoorDoc::kProjectFolderTooDeep);
  Restart();
  std::shared_lock<std::shared_mutex> latch(Doc().GetProjectTreeLatch());
  EXPECT_EQ(Doc().GetProjects().GetSize(), 0);
  EXPECT_FALSE(std::filesystem::exists(root_ + "/MAX_PATH"));
}

}  // namespace
