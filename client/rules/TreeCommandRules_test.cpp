#include "client/rules/TreeCommandRules.h"

#include <gtest/gtest.h>

#include "client/library/ProjectDocumentList.h"
#include "client/rules/LibraryTreeFixture_test.h"
#include "platform/Clock.h"
#include "platform/NumberLocale.h"
#include "client/rules/LibraryTreeItems.h"

namespace {

using namespace tree_test;
using Command = TreeCommandRules::Command;

class TreeCommandRulesTest : public LibraryTreeFixture {
 protected:
  void SetUp() override {
    LibraryTreeFixture::SetUp();
    items_.RebuildPlain("Lib");
    document_.GetViews().Attach(tree_);
  }
  void TearDown() override { document_.GetViews().Detach(tree_); }
  void Select(const std::string& index) { document_.SetCurrentProject(index.empty() ? 0 : Node(index).GetTreeItem()); }
  // A publication whose batch is queued and not yet run.
  void StartPublication() {
    document_.SetPreparingPublication(true);
    document_.SetPublicationSelection(PublicationSelection::OfProject("PA", 0), "First", "why");
    document_.QueueEditionBatch();
  }
  std::string Enabled() {
    std::string flags;
    for (Command c : {Command::kMap, Command::kRetrieve, Command::kChooseLocalFolder, Command::kAdd, Command::kPublish,
                      Command::kConfirm, Command::kTips, Command::kDelete, Command::kRename}) {
      const TreeCommandRules::State state = rules_.Query(c);
      flags += !state.handled ? '-' : state.enabled ? 'E' : '.';
    }
    return flags;
  }

  // The tree collects one ticked project when asked, so the publication's batch is queued.
  class CollectingView : public DocumentView {
   public:
    explicit CollectingView(CBrannockDoc& document) : DocumentView(UpdateHint::kTreeView), document_(document) {}

   protected:
    void OnUpdate(int code) override {
      if (code == -1030) document_.GetPublicationMapping().SetProjectName("Alpha");
    }
    CBrannockDoc& document_;
  };

  LibraryTreeItems items_{Tree()};
  TreeCommandRules rules_{document_};
  CollectingView tree_{document_};
};

TEST_F(TreeCommandRulesTest, CommandsFollowTheCurrentProjectTheProgramAndThePublication) {
  // Map, Retrieve, Choose folder, Add, Publish, Confirm, Tips, Delete, Rename.
  Select("");
  EXPECT_EQ(Enabled(), "..E...E..");
  Select("Root");
  EXPECT_EQ(Enabled(), "EEE.E.E..");
  Select("PG");
  document_.SetLocalSelection(true);
  EXPECT_EQ(Enabled(), "EEEEE.EEE");
  Node("PG").DecodeServer(TreeText().Project("Gamma", "PG", 0, {false, true, false}).Text());
  EXPECT_EQ(rules_.Query(Command::kPublish).enabled, false);   // a project published elsewhere
  Select("E1");
  EXPECT_EQ(rules_.Query(Command::kPublish).enabled, true);

  document_.SetPreparingPublication(true);
  EXPECT_EQ(Enabled(), "..E.EEE..");
  EXPECT_TRUE(rules_.Query(Command::kPublish).checked);
  StartPublication();
  EXPECT_TRUE(document_.IsPublicationRunning());
  EXPECT_EQ(Enabled(), "..E...E..");

  document_.SetPublisher(false);
  document_.AbandonPublication();
  EXPECT_EQ(Enabled(), "EEEE..E--");
}

// The details name what a user sees (no internal names), with size and dates.
TEST_F(TreeCommandRulesTest, TheInformationTextDescribesTheCurrentProjectInUserTerms) {
  platform::SetNumberLocaleForTesting([] { return platform::NumberLocale{3, ","}; });
  platform::SetDateLocaleForTesting([] { return platform::DateLocale{"DD.MM.YYYY", "."}; });
  ProjectDocumentList documents;
  for (const char* date : {"20261201093000", "20261203100000", "20261202080000"}) {
    DocumentVersionEntry entry;
    DateTime changed;
    ASSERT_TRUE(changed.Parse(date));
    entry.SetVersionDate(changed);
    entry.SetFileSize(600000);
    documents.Add(entry);
  }
  Select("PB");
  EXPECT_EQ(rules_.InformationText(&documents),
            "Beta\nLocal folder: /l/Alpha/Beta\nSub-projects: 3\nDocuments: 3, 1,800,000 Bytes in their latest "
            "versions\nLast change: 03.12.2026 10:00:00");
  EXPECT_EQ(rules_.InformationText(nullptr).substr(49), "Documents: not listed yet; select the project to list them.");
  Select("S1");
  EXPECT_EQ(rules_.InformationText(&documents).rfind("<S> May\nSupplement of the project \"Alpha\", made by ", 0), 0u);
  platform::SetNumberLocaleForTesting(nullptr);
  platform::SetDateLocaleForTesting(nullptr);
}

TEST_F(TreeCommandRulesTest, DragsStartFromTheCurrentPlainProjectAndDropOnlyWhereTheyMay) {
  Select("PB");
  struct Case {
    std::string node;
    bool startProject, documents, project;
  } cases[] = {
      {"PB", true, false, false},      // itself
      {"PA", false, true, false},      // its parent takes documents but not the project
      {"PD", false, true, true},
      {"PG", false, true, true},       // its own child
      {"Root", false, false, true},    // the root takes a project only
      {"E1", false, false, true},      // so does an edition
      {"S1", false, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rules_.CanStartProjectDrag(&Node(c.node)), c.startProject) << c.node;
    EXPECT_EQ(rules_.MayDropDocuments(&Node(c.node)), c.documents) << c.node;
    EXPECT_EQ(rules_.MayDropProject("PB", &Node(c.node)), c.project) << c.node;
  }
  EXPECT_FALSE(rules_.MayDropProject("PB", nullptr));
  Select("Root");
  EXPECT_FALSE(rules_.CanStartProjectDrag(&Tree().GetRoot()));
  Select("E1");
  EXPECT_FALSE(rules_.CanStartProjectDrag(&Node("E1")));
  EXPECT_FALSE(rules_.MayDropDocuments(&Node("PD")));   // documents of an edition stay there
}

}  // namespace
