#include "client/document/RefusalTexts.h"

#include <gtest/gtest.h>

#include <map>

#include "client/library/ProjectNode.h"
#include "client/library/ProjectTree.h"
#include "client/library/ServerTreeText.h"
#include "client/library/VersionedDocumentList.h"

namespace {

constexpr const char* kRefused = "Wexmoor refused to rename the project.";
constexpr const char* kDependentsRemedy =
    "Each document version above was not deleted: the edition or project named last on its line uses it.\n"
    "Delete that edition or project first, or keep the document.";

TEST(RefusalTextsTest, EachRefusalKeepsItsTextFirstNamesTheCauseInUserTermsAndTheRemedy) {
  ProjectTree tree;
  ASSERT_TRUE(tree.ApplyServerTree(ServerTreeText()
                                        .Node("Lib", "Root", 1)
                                        .Node("many", "PM", 2)
                                        .Node("tree", "PT", 0)
                                        .Node("Plans", "PP", 0)
                                        .Text()));
  const auto rename = [&](const char* indexName, const char* name) {
    return RefusalTexts::RenameToSibling(tree, indexName, name, kRefused).value_or("(sent)");
  };
  const std::string dependentLine =
      "[tree (WXFiName_Hi1Lo1)]:[doc8.txt;1 (WXFiName_Hi1Lo9)] has dependent in project "
      "[Lib->many (old) (WXFiName_Hi1Lo5)]\r\n";
  struct Case {
    const char* what;
    std::string shown;
    std::string expected;
  };
  const Case cases[] = {
      {"rename to a sibling's name", rename("PT", "Plans"),
       std::string(kRefused) +
           "\n\"many\" already holds a project named \"Plans\". Choose another name, or rename that project first."},
      {"another case is another name", rename("PT", "plans"), "(sent)"},
      {"its own name", rename("PT", "tree"), "(sent)"},
      {"a top-level project", rename("PM", "many"), "(sent)"},
      {"dependents after the separator",
       RefusalTexts::Dependents(std::string(57, '-') + "\r\n" + dependentLine).value_or("(as sent)"),
       "[tree]:[doc8.txt;1] has dependent in project [Lib->many (old)]\n" + std::string(kDependentsRemedy)},
      {"a report without dependents",
       RefusalTexts::Dependents("Plan.doc is referenced by Other\r\n").value_or("(as sent)"), "(as sent)"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.shown, c.expected) << c.what;
}

// Copies under editions and supplements are counted apart from the project's own
// sub-projects and documents.
TEST(RefusalTextsTest, DeleteProjectCountsCopiesUnderEditionsApart) {
  EditionRecord edition;
  edition.SetName("Release 1");
  SupplementRecord supplement;
  supplement.SetName("Fix 1");
  ProjectTree tree;
  ASSERT_TRUE(tree.ApplyServerTree(ServerTreeText()
                                       .Node("Lib", "Root", 1)
                                       .Node("Main", "PM", 3)
                                       .Node("Docs", "PD", 1)
                                       .Node("Old", "PO", 0)
                                       .Node("Release 1", "PE", 1, edition)
                                       .Node("Docs", "PED", 0)
                                       .Node("Fix 1", "PS", 0, EditionRecord(), supplement)
                                       .Text()));
  const std::map<std::string, int> listed = {{"PM", 1}, {"PD", 2}, {"PE", 3}, {"PED", 4}, {"PS", 5}};
  const auto count = [&listed](const ProjectNode& node) -> std::optional<int> {
    const auto found = listed.find(node.GetIndexName());
    return found == listed.end() ? std::nullopt : std::optional<int>(found->second);   // "PO" never read
  };
  EXPECT_EQ(RefusalTexts::DeleteProject("Delete?", *tree.FindProjectByPath("PM"), count),
            "Delete?\n\"Main\" is deleted with 2 sub-projects and 3 documents, and 2 editions and supplements "
            "holding 1 copy of a sub-project and 12 copies of documents.\nSome document lists have not been read "
            "yet: more documents than counted may go.");
}

// The rules the server would refuse a document rename by, said before sending.
TEST(RefusalTextsTest, RenameDocumentNamesTheRuleThatHolds) {
  const auto document = [](const std::string& name, const std::string& index, bool copy, bool used) {
    DocumentVersionEntry entry;
    entry.SetName(name);
    entry.SetIndexName(index);
    entry.SetVersion(1);
    entry.SetHasInternalProjectName(copy);
    entry.SetHasReferences(used);
    VersionedDocument versioned;
    versioned.AddVersion(entry);
    return versioned;
  };
  VersionedDocumentList list;
  list.Add(document("b.txt", "F2", false, false));
  list.Add(document("copy.txt", "F3", true, false));
  list.Add(document("used.txt", "F4", false, true));
  const auto rename = [&list](const char* index, const char* name) {
    return RefusalTexts::RenameDocument(list, index, name).value_or("(sent)");
  };
  EXPECT_EQ(rename("F3", "B.txt"), "\"copy.txt\" cannot be renamed to \"B.txt\".\nIt is a copy of a document under "
                                   "an edition or supplement, and a copy keeps the name of its original. Rename the "
                                   "original instead.");
  EXPECT_EQ(rename("F4", "c.txt"), "\"used.txt\" cannot be renamed to \"c.txt\".\nVersion 1 is used by an edition "
                                   "or supplement, which keeps it under this name. Delete that edition or supplement "
                                   "first, or keep the name.");
  EXPECT_EQ(rename("F2", "c.txt"), "(sent)");
}

}  // namespace
