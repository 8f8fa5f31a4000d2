#include "client/rules/LocalAddRules.h"

#include <gtest/gtest.h>

#include "client/library/ProjectTree.h"
#include "client/library/ServerTreeText.h"

namespace {

using Plan = LocalAddRules::QuickPlan;

LocalFileEntry Entry(const std::string& name, bool folder = false, bool member = false) {
  LocalFileEntry entry;
  entry.SetBaseName(name);
  entry.SetDirectory(folder);
  entry.SetProjectMember(member);
  return entry;
}

class LocalAddRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        tree_.ApplyServerTree(ServerTreeText().Node("Lib", "Root", 2).Node("A", "PA", 0).Node("B", "PB", 0).Text()));
    tree_.GetRoot().SetLocalFolder("/lib", true);
  }
  ProjectNode* Project(const std::string& indexName) { return tree_.FindProjectByPath(indexName); }
  ProjectTree tree_;
};

TEST_F(LocalAddRulesTest, QuickPathTakesNewFilesOfTheCurrentProjectsOwnFolder) {
  struct Case {
    const char* what;
    const char* current;
    const char* folder;
    std::vector<LocalFileEntry> selected;
    Plan::Outcome outcome;
    std::vector<std::string> files;
  };
  const std::vector<std::string> known = {"Known.txt"};
  const Case cases[] = {
      {"new files only", "PA", "/lib/A", {Entry("new.txt"), Entry("known.TXT")}, Plan::kSend, {"new.txt"}},
      {"trailing separator", "PA", "/lib/A/", {Entry("new.txt")}, Plan::kSend, {"new.txt"}},
      {"nothing new still asks", "PA", "/lib/A", {Entry("known.txt")}, Plan::kSend, {}},
      {"a folder row", "PA", "/lib/A", {Entry("new.txt"), Entry("sub", true)}, Plan::kGeneral, {}},
      {"folder of another case", "PA", "/lib/a", {Entry("new.txt")}, Plan::kGeneral, {}},
      {"no current project", "", "/lib/A", {Entry("new.txt")}, Plan::kGeneral, {}},
      {"files for the root", "Root", "/lib", {Entry("new.txt"), Entry("sub", true)}, Plan::kRootRefused, {}},
  };
  for (const Case& c : cases) {
    const ProjectNode* current = *c.current == '\0' ? nullptr : Project(c.current);
    const Plan plan = LocalAddRules::PlanQuick(current, c.folder, known, c.selected);
    EXPECT_EQ(plan.outcome, c.outcome) << c.what;
    EXPECT_EQ(plan.files, c.files) << c.what;
  }
}

TEST_F(LocalAddRulesTest, PresetParentPrefersTheCurrentProjectAmongSeveralMapped) {
  struct Case {
    std::vector<std::string> mapped;
    const char* mappedProject;
    const char* current;
    const char* preset;
  };
  for (const Case& c : {Case{{"PA", "PB"}, "PA", "PB", "PB"}, Case{{"PA", "PB"}, "PA", "Root", "PA"},
                        Case{{"PA"}, "PA", "PB", "PA"}, Case{{}, "", "PB", "PB"}, Case{{}, "", "", ""}}) {
    const ProjectNode* mapped = *c.mappedProject == '\0' ? nullptr : Project(c.mappedProject);
    const ProjectNode* current = *c.current == '\0' ? nullptr : Project(c.current);
    EXPECT_EQ(LocalAddRules::PresetParent(c.mapped, mapped, current), c.preset) << c.current;
  }
}

TEST_F(LocalAddRulesTest, TheFolderBeingAddedIsNeverProposedAsItsOwnParent) {
  struct Case {
    const char* preset;
    std::vector<std::string> added;
    const char* expected;
  };
  const Case cases[] = {
      {"PA", {"/lib/A"}, "Root"},             // re-adding A from the library folder
      {"PA", {"/lib/B", "/lib/A/"}, "Root"},
      {"PA", {"/lib/B"}, "PA"},
      {"PA", {}, "PA"},
      {"Root", {"/lib"}, "Root"},
      {"", {"/lib/A"}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LocalAddRules::OutsideAddedFolders(c.preset, tree_, c.added), c.expected) << c.preset;
  }
}

TEST_F(LocalAddRulesTest, GeneralPathSendsUnknownFilesAndRefusesFilesForTheRoot) {
  const std::vector<LocalFileEntry> selected = {Entry("..", true), Entry("sub", true), Entry("a.txt"),
                                                Entry("B.TXT", false, true)};
  EXPECT_EQ(LocalAddRules::FilesToSend(selected, {"b.txt"}), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(LocalAddRules::FoldersToAdd(selected), std::vector<std::string>{"sub"});
  EXPECT_TRUE(LocalAddRules::RefusesRoot("Root", selected));
  EXPECT_TRUE(LocalAddRules::RefusesRoot("", selected));
  EXPECT_FALSE(LocalAddRules::RefusesRoot("PA", selected));
  EXPECT_FALSE(LocalAddRules::RefusesRoot("Root", {Entry("sub", true), Entry("m.txt", false, true)}));
}

}  // namespace
