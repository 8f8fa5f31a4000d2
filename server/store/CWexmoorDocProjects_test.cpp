#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>

#include "server/store/StoreTestLibrary.h"

namespace {

class CWexmoorDocProjectsTest : public StoreTestLibrary {
 protected:
  void SetUp() override {
    StoreTestLibrary::SetUp();
    Doc().GetSettings().SetLibraryName("Main");
  }
  ServerProject Node(const std::string& internalName) {
    std::shared_lock<std::shared_mutex> latch(Doc().GetProjectTreeLatch());
    const ServerProject* node = Doc().FindProjectByInternalName(internalName);
    return node ? *node : ServerProject();
  }
  std::string Inventory() const { return platform::ScratchFolder::Read(root_ + "/WexmoorInventory.wxf"); }
  int Reference(const std::string& name, const std::string& destination, const std::string& original, int version,
                bool originalEdition = false) {
    FileStatistics result;
    return Doc().AddReference(name, destination, "ref", original, version, result, originalEdition, false);
  }
  // Runs `operation` and fails the test (ending the run) when it takes longer than 20 s.
  static int Bounded(const std::function<int()>& operation) {
    auto result = std::async(std::launch::async, operation);
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      ADD_FAILURE() << "the operation did not finish within 20 s";
      std::abort();
    }
    return result.get();
  }
};

// --- creating -------------------------------------------------------------------------

TEST_F(CWexmoorDocProjectsTest, SiblingNamesAreUniqueByExactComparison) {
  ServerProject created;
  ASSERT_EQ(Doc().CreateProject("", " Plans ", "", created, true), 0);
  EXPECT_EQ(created.GetName(), "Plans");
  EXPECT_TRUE(created.IsOriginalProject());
  EXPECT_EQ(created.GetFolderPath(), root_ + "/" + created.GetInternalName());
  EXPECT_TRUE(platform::fs::IsFolder(created.GetFolderPath()));
  const std::string plans = created.GetInternalName();

  EXPECT_EQ(Doc().CreateProject("", "Plans", "", created, false), CWexmoorDoc::kDuplicateProjectName);
  EXPECT_EQ(created.GetInternalName(), "");
  EXPECT_EQ(Doc().CreateProject("", "plans", "", created, false), 0);
  EXPECT_EQ(Doc().CreateProject(plans, "Plans", "", created, false), 0);  // a child, not a sibling
  EXPECT_EQ(created.GetFolderPath(), root_ + "/" + plans + "/" + created.GetInternalName());
  EXPECT_EQ(Doc().CreateProject("WXFiName_Hi9Lo9", "X", "", created, false), CWexmoorDoc::kNoProjectMatch);

  Restart();  // the inventory holds all three
  EXPECT_EQ(Node(plans).GetName(), "Plans");
  EXPECT_EQ(Node(plans).GetSubProjectCount(), 1);
  EXPECT_EQ(Doc().GetProjects().GetSize(), 2);
}

TEST_F(CWexmoorDocProjectsTest, BlankAndUnsafeNamesAreRefused) {
  const std::string p = NewProject("P");
  const auto before = Snapshot(root_);
  ServerProject created;
  for (const std::string name : {"", "   "}) {
    EXPECT_EQ(Doc().CreateProject("", name, "", created, false), CWexmoorDoc::kBadProjectName);
    EXPECT_EQ(Doc().RenameProject(p, name), CWexmoorDoc::kBadProjectName);
  }
  for (const std::string name : {"a/b", "a\\b", ".", "..", "!x", "a\tb", "a\nb"}) {
    EXPECT_EQ(Doc().CreateProject(p, name, "", created, false), CWexmoorDoc::kBadProjectName) << name;
    EXPECT_EQ(Doc().RenameProject(p, name), CWexmoorDoc::kBadProjectName) << name;
    EXPECT_EQ(Doc().CreateEdition(p, name, "", "ann", "", created), CWexmoorDoc::kBadProjectName) << name;
    EXPECT_EQ(Doc().CreateSupplement(p, name, "", "ann", "", created), CWexmoorDoc::kBadProjectName) << name;
  }
  EXPECT_EQ(Snapshot(root_), before);
  EXPECT_EQ(Node(p).GetName(), "P");
}

TEST_F(CWexmoorDocProjectsTest, ExistingOrUncreatableFolderIsRefused) {
  const std::string a = NewProject("A");
  const std::string next = Doc().GenerateInternalName();
  const std::string following = "WXFiName_Hi1Lo" + std::to_string(std::stoi(next.substr(next.find("Lo") + 2)) + 1);
  ASSERT_TRUE(platform::fs::CreateFolder(root_ + "/" + following));
  const std::string inventory = Inventory();
  ServerProject created;
  EXPECT_EQ(Doc().CreateProject("", "B", "", created, false), CWexmoorDoc::kProjectFolderExists);

  ASSERT_TRUE(platform::fs::RemoveFolder(FolderOf(a)));
  std::ofstream(root_ + "/" + a, std::ios::binary) << "a file where the folder was";
  EXPECT_EQ(Doc().CreateProject(a, "B", "", created, false), CWexmoorDoc::kProjectFolderNotCreated);
  EXPECT_EQ(Inventory(), inventory);
  EXPECT_EQ(Doc().GetProjects().GetSize(), 1);
  EXPECT_EQ(Node(a).GetSubProjectCount(), 0);
}

TEST_F(CWexmoorDocProjectsTest, EditionsAndSupplementsCarryTheirRecords) {
  const std::string a = NewProject("A");
  ServerProject edition;
  ASSERT_EQ(Doc().CreateEdition(a, "2024", "", "ann", "first cut", edition), 0);
  EXPECT_EQ(edition.GetName(), "<E> 2024");
  EXPECT_EQ(edition.GetFolderPath(), FolderOf(a) + edition.GetInternalName());
  EXPECT_EQ(edition.GetEdition().GetName(), "<E> 2024");
  EXPECT_EQ(edition.GetEdition().GetInternalName(), edition.GetInternalName());
  EXPECT_EQ(edition.GetEdition().GetProjectName(), "A");
  EXPECT_EQ(edition.GetEdition().GetProjectInternalName(), a);
  EXPECT_EQ(edition.GetEdition().GetCreator(), "ann");
  EXPECT_EQ(edition.GetEdition().GetComments(), "first cut");
  EXPECT_FALSE(edition.IsWithinEdition());

  ServerProject supplement;
  ASSERT_EQ(Doc().CreateSupplement(edition.GetInternalName(), "May", "", "bob", "", supplement), 0);
  EXPECT_EQ(supplement.GetName(), "<S> May");
  EXPECT_EQ(supplement.GetSupplement().GetProjectName(), "A");
  EXPECT_EQ(supplement.GetSupplement().GetProjectInternalName(), a);
  EXPECT_EQ(supplement.GetSupplement().GetEditionInternalName(), edition.GetInternalName());
  EXPECT_EQ(supplement.GetSupplement().GetInternalName(), supplement.GetInternalName());
  EXPECT_TRUE(supplement.GetSupplement().IsIncluded());
  EXPECT_FALSE(supplement.IsWithinSupplement());

  ServerProject other;
  EXPECT_EQ(Doc().CreateEdition(a, "2024", "", "ann", "", other), CWexmoorDoc::kDuplicateProjectName);
  ASSERT_EQ(Doc().CreateEdition("", " loose ", "", "ann", "", other), 0);
  EXPECT_EQ(other.GetName(), "<E>  loose");
  EXPECT_EQ(other.GetEdition().GetProjectName(), "");
  EXPECT_EQ(other.GetEdition().GetProjectInternalName(), "");
  ASSERT_EQ(Doc().CreateSupplement(a, "", "", "ann", "", other), 0);
  EXPECT_EQ(other.GetName(), "<S>");

  Restart();  // the records are in the inventory
  EXPECT_EQ(Node(supplement.GetInternalName()).GetSupplement().GetEditionInternalName(), edition.GetInternalName());
  EXPECT_EQ(Node(edition.GetInternalName()).GetEdition().GetProjectInternalName(), a);
}

TEST_F(CWexmoorDocProjectsTest, ProjectsBelowEditionsAndSupplementsAreWithinThem) {
  const std::string a = NewProject("A");
  ServerProject edition, supplement;
  ASSERT_EQ(Doc().CreateEdition(a, "1", "", "ann", "", edition), 0);
  ASSERT_EQ(Doc().CreateSupplement(edition.GetInternalName(), "1", "", "ann", "", supplement), 0);
  const std::string inEdition = NewProject("P", edition.GetInternalName());
  const std::string deeper = NewProject("Q", inEdition);
  const std::string inSupplement = NewProject("R", supplement.GetInternalName());
  EXPECT_TRUE(Node(inEdition).IsWithinEdition());
  EXPECT_TRUE(Node(deeper).IsWithinEdition());
  EXPECT_FALSE(Node(deeper).IsWithinSupplement());
  EXPECT_TRUE(Node(inSupplement).IsWithinSupplement());
  EXPECT_FALSE(Node(NewProject("S", a)).IsWithinEdition());
}

TEST_F(CWexmoorDocProjectsTest, FailedInventorySaveIsUndone) {
  const std::string a = NewProject("A");
  const std::string b = NewProject("B", a);
  NewProject("Z");  // keeps the inventory from being written empty
  ServerProject created;
  FailWrite(2);  // the name counter, then the inventory
  EXPECT_EQ(Doc().CreateProject(a, "C", "", created, false), ServerProject::kWriteFailed);
  FailWrite(2);
  EXPECT_EQ(Doc().CreateEdition(a, "E", "", "ann", "", created), ServerProject::kWriteFailed);
  FailWrite(2);
  EXPECT_EQ(Doc().CreateSupplement(a, "S", "", "ann", "", created), ServerProject::kWriteFailed);
  FailWrite(1);
  EXPECT_EQ(Doc().RenameProject(b, "Renamed"), ServerProject::kWriteFailed);
  NewDocument(b, "Plan.doc");
  const auto files = Snapshot(FolderOf(a));
  const std::string inventory = Inventory();
  StringList report;
  FailWrite(1);
  EXPECT_EQ(Doc().DeleteProject(a, "", report), ServerProject::kWriteFailed);
  StopFailing();
  EXPECT_EQ(Snapshot(FolderOf(a)), files);  // no file moved
  EXPECT_FALSE(platform::fs::Exists(root_ + "/DeletedProjects"));
  EXPECT_EQ(Inventory(), inventory);
  EXPECT_EQ(Node(a).GetSubProjectCount(), 1);
  EXPECT_EQ(Node(b).GetName(), "B");
  EXPECT_EQ(Doc().GetProjects().GetSize(), 2);
  Restart();
  EXPECT_EQ(Node(a).GetSubProjectCount(), 1);
  EXPECT_EQ(Node(b).GetName(), "B");
}

// --- renaming -------------------------------------------------------------------------

TEST_F(CWexmoorDocProjectsTest, RenameRefusesASiblingsNameOnly) {
  const std::string a = NewProject("A");
  const std::string b = NewProject("B", a);
  NewProject("C", a);
  NewProject("Elsewhere");
  const std::string inventory = Inventory();
  EXPECT_EQ(Doc().RenameProject(b, "C"), CWexmoorDoc::kDuplicateProjectName);
  EXPECT_EQ(Inventory(), inventory);
  EXPECT_EQ(Doc().RenameProject("WXFiName_Hi9Lo9", "D"), CWexmoorDoc::kNoProjectMatch);
  EXPECT_EQ(Doc().RenameProject(b, " Elsewhere "), 0);
  EXPECT_EQ(Node(b).GetName(), "Elsewhere");
  EXPECT_EQ(Node(b).GetFolderPath(), FolderOf(a) + b);
  EXPECT_EQ(Doc().RenameProject(a, "Elsewhere"), CWexmoorDoc::kDuplicateProjectName);
  Restart();
  EXPECT_EQ(Node(b).GetName(), "Elsewhere");
}

// --- deleting -------------------------------------------------------------------------

TEST_F(CWexmoorDocProjectsTest, DeleteMovesEverythingAndGivesReferencesBack) {
  Doc().GetSettings().SetLibraryName("../Main");
  const std::string x = NewProject("X");
  const std::string original = NewDocument(x, "Drawing.doc");
  const std::string a = NewProject("A");
  const std::string a1 = NewProject("A1", a);
  const std::string a2 = NewProject("A2", a1);
  const std::string a3 = NewProject("A3", a);
  const std::string top = NewDocument(a, "Top.doc", "top");
  const std::string deep = NewDocument(a2, "Deep.doc", "deep");
  NewDocument(a3, "Other.doc");
  ASSERT_EQ(Reference("Drawing.doc", a1, x, 1), 0);  // the move skips it: it has no file
  const std::string reference = ListOf(a1).Lookup("Drawing.doc");
  ASSERT_EQ(StatisticsOf(x, original).GetVersion(0).GetLinkCount(), 1);

  StringList report;
  ASSERT_EQ(Bounded([&] { return Doc().DeleteProject(a, "", report); }), 0);
  EXPECT_TRUE(report.IsEmpty());
  for (const std::string& node : {a, a1, a2, a3}) EXPECT_FALSE(ProjectExists(node)) << node;
  EXPECT_EQ(Doc().GetProjects().GetSize(), 1);
  EXPECT_EQ(StatisticsOf(x, original).GetVersion(0).GetLinkCount(), 0);
  EXPECT_EQ(Doc().GetLocks().GetCount(), 0u);

  const std::string moved = root_ + "/DeletedProjects/.._Main/" + a + "/";
  EXPECT_EQ(platform::ScratchFolder::Read(moved + top + "Ver1.wxf"), "top");
  EXPECT_TRUE(platform::fs::IsFile(moved + top + "_FileStatistics.wxf"));
  EXPECT_TRUE(platform::fs::IsFile(moved + a + "_ProjectFileList.wxf"));
  EXPECT_EQ(platform::ScratchFolder::Read(moved + a1 + "/" + a2 + "/" + deep + "Ver1.wxf"), "deep");
  EXPECT_TRUE(platform::fs::IsFile(moved + a1 + "/" + reference + "_FileStatistics.wxf"));
  EXPECT_TRUE(platform::fs::IsFile(moved + a3 + "/" + a3 + "_ProjectFileList.wxf"));
  EXPECT_FALSE(platform::fs::Exists(root_ + "/" + a));
  EXPECT_FALSE(platform::fs::Exists(scratch_ / "Main"));

  Restart();
  EXPECT_FALSE(ProjectExists(a2));
}

TEST_F(CWexmoorDocProjectsTest, DeleteWithDependentsChangesNothing) {
  const std::string a = NewProject("A");
  const std::string a1 = NewProject("A1", a);
  const std::string b = NewProject("B");
  const std::string file = NewDocument(a1, "Drawing.doc");
  ASSERT_EQ(Reference("Drawing.doc", b, a1, 1), 0);
  const auto before = Snapshot(root_);
  StringList report;
  EXPECT_EQ(Doc().DeleteProject(a, "", report), CWexmoorDoc::kHasDependents);
  ASSERT_EQ(report.GetSize(), 1);
  EXPECT_EQ(report.GetAt(0), "[A1 (" + a1 + ")]:[Drawing.doc;1 (" + file + ")] has dependent in project [Main->B (" +
                                 b + ")]\r\n");
  EXPECT_EQ(Snapshot(root_), before);
  EXPECT_TRUE(ProjectExists(a1));
}

TEST_F(CWexmoorDocProjectsTest, WrongParentNeitherLeavesANodeNorMovesAnotherProject) {
  const std::string a = NewProject("A");
  const std::string s = NewProject("S", a);
  const std::string b = NewProject("B");
  NewDocument(s, "Plan.doc", "plan");
  NewDocument(b, "Keep.doc");
  const auto bBefore = Snapshot(FolderOf(b));
  StringList report;
  ASSERT_EQ(Bounded([&] { return Doc().DeleteProject(s, b, report); }), 0);
  EXPECT_FALSE(ProjectExists(s));
  EXPECT_EQ(Node(a).GetSubProjectCount(), 0);
  EXPECT_EQ(Snapshot(FolderOf(b)), bBefore);
  EXPECT_TRUE(platform::fs::IsFile(root_ + "/DeletedProjects/" + a + "/" + s + "/" + s + "_ProjectFileList.wxf"));
  EXPECT_EQ(Doc().DeleteProject(s, a, report), 0);  // gone already
  Restart();
  EXPECT_EQ(Node(a).GetSubProjectCount(), 0);
}

TEST_F(CWexmoorDocProjectsTest, DeletingAnEditionGivesReferencesBackToItsOwnParent) {
  const std::string a = NewProject("A");
  const std::string file = NewDocument(a, "Plan.doc");
  ServerProject edition;
  ASSERT_EQ(Doc().CreateEdition(a, "2024", "", "ann", "", edition), 0);
  ASSERT_EQ(Reference("Plan.doc", edition.GetInternalName(), a, 1, true), 0);
  ASSERT_EQ(StatisticsOf(a, file).GetVersion(0).GetLinkCount(), 1);
  StringList report;
  // The parent's lock, held exclusively by the deletion, is the original's lock too.
  ASSERT_EQ(Bounded([&] { return Doc().DeleteProject(edition.GetInternalName(), a, report); }), 0);
  EXPECT_EQ(StatisticsOf(a, file).GetVersion(0).GetLinkCount(), 0);
  EXPECT_EQ(Node(a).GetSubProjectCount(), 0);
  EXPECT_EQ(Doc().GetLocks().GetCount(), 0u);
}

}  // namespace
