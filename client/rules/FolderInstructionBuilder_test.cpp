#include "client/rules/FolderInstructionBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "client/document/LocalFolderScan.h"
#include "client/library/ProjectTree.h"
#include "client/library/ServerTreeText.h"
#include "platform/ScratchFolder.h"

namespace {

// On disk: top/{d.txt, loop -> top, sub1/{s.txt, deep/x.txt}, sub2/}. In the library the
// root has "TOP" (PT) with "Sub1" (PS1), and "Ghost" (PG) that its index does not know.
class FolderInstructionBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    fs::create_directories(disk_ / "top/sub1/deep");
    fs::create_directories(disk_ / "top/sub2");
    fs::create_directories(disk_ / "ghost");
    disk_.Put("top/d.txt", "d");
    disk_.Put("top/sub1/s.txt", "s");
    disk_.Put("top/sub1/deep/x.txt", "x");
    fs::create_directory_symlink(disk_ / "top", disk_ / "top/loop");
    ASSERT_TRUE(tree_.ApplyServerTree(
        ServerTreeText().Node("Lib", "Root", 1).Node("TOP", "PT", 1).Node("Sub1", "PS1", 0).Text()));
    ProjectNode ghost;
    ASSERT_TRUE(ghost.DecodeServer(ServerTreeText().Node("Ghost", "PG", 0).Text()));
    tree_.GetRoot().AddChild(ghost);
  }

  // Each instruction after the placeholder as kind:name:prerequisite:index name, "+" when done.
  std::vector<std::string> Build(const std::vector<std::pair<int, std::string>>& inclusions,
                                 const std::vector<std::pair<int, std::string>>& exclusions,
                                 const std::vector<std::string>& folders, bool expectedResult) {
    for (const auto& [type, parameter] : inclusions) batch_.GetRuleSet().AddInclusion(type, parameter);
    for (const auto& [type, parameter] : exclusions) batch_.GetRuleSet().AddExclusion(type, parameter);
    FolderInstructionBuilder builder(
        tree_, [](std::vector<LocalFileEntry>& entries, const std::string& folder, const FolderRuleSet& rules) {
          LocalFolderScan(LocalFolderLookups()).Scan(folder, rules, entries);
        });
    EXPECT_EQ(builder.AddFolders(batch_, folders, "/conf", disk_.Path()), expectedResult);
    mismatch_ = builder.GetMismatch();
    std::vector<std::string> shown;
    for (int i = 1; i < batch_.GetCount(); ++i) {
      const Instruction& in = *batch_.GetInstruction(i);
      shown.push_back(std::to_string(in.GetKind()) + ":" + in.GetName() + ":" + std::to_string(in.GetPrerequisite()) +
                      ":" + in.GetIndexName() + (in.IsDone() && in.IsSent() && in.HasSucceeded() ? "+" : ""));
    }
    return shown;
  }

  platform::ScratchFolder disk_;
  ProjectTree tree_;
  InstructionBatch batch_;
  std::string mismatch_;
};

using Rules = std::vector<std::pair<int, std::string>>;
const Rules kEverything = {{FolderRule::kAllFolders, ""}, {FolderRule::kAllDocuments, ""}};

TEST_F(FolderInstructionBuilderTest, WalksDepthFirstReusingExistingProjectsAndNeverFollowingLinks) {
  EXPECT_EQ(Build(kEverything, {}, {"top"}, true),
            (std::vector<std::string>{"2:top:0:PT+", "3:top:1:PT", "2:sub1:1:PS1+", "3:sub1:3:PS1",
                                      "2:deep:3:", "3:deep:5:", "2:sub2:1:", "3:sub2:7:"}));
  EXPECT_EQ(batch_.GetInstruction(5)->GetTargetFolder(), "/conf/top/sub1/deep");
  EXPECT_EQ(batch_.GetInstruction(5)->GetSourceFolder(), disk_ / "top/sub1/deep");
}

TEST_F(FolderInstructionBuilderTest, TheRulesDecideWhatIsTakenBelowEachFolder) {
  struct Case {
    const char* what;
    Rules inclusions;
    Rules exclusions;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"no sub-folders, no documents",
       kEverything,
       {{FolderRule::kNoFolders, ""}, {FolderRule::kNoDocumentsNamed, "*"}},
       {"2:top:0:PT+"}},
      {"documents only", {{FolderRule::kAllDocuments, ""}}, {}, {"2:top:0:PT+", "3:top:1:PT"}},
      {"sub-folders named *.*", kEverything, {{FolderRule::kNoFoldersNamed, "*.*"}}, {"2:top:0:PT+", "3:top:1:PT"}},
      {"no inclusions", {}, {}, {"2:top:0:PT+"}},
  };
  for (const Case& c : cases) {
    batch_.Clear();
    EXPECT_EQ(Build(c.inclusions, c.exclusions, {"top"}, true), c.expected) << c.what;
  }
}

TEST_F(FolderInstructionBuilderTest, AnExistingProjectNotFoundAgainStopsTheBatch) {
  Build(kEverything, {}, {"ghost", "top"}, false);
  EXPECT_EQ(mismatch_, "ghost");
  EXPECT_EQ(FolderInstructionBuilder::MismatchText("ghost"),
            "The local path mapping you specified for project [ghost] does not match the known path mapping for "
            "the project.  Add operation will not proceed");
  FolderInstructionBuilder builder(tree_, nullptr);
  EXPECT_TRUE(builder.BuildFolderInstructions(batch_, 99));
}

}  // namespace
