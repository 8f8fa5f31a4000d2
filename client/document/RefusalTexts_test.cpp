#include "client/document/RefusalTexts.h"

#include <gtest/gtest.h>

#include <map>

#include "client/library/ProjectDocumentList.h"
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

TEST(RefusalTextsTest, DeleteDocumentsCountsAndNamesThem) {
  const auto listOf = [](int count) {
    ProjectDocumentList list;
    list.SetProjectName("Plans");
    for (int i = 1; i <= count; ++i) {
      DocumentVersionEntry entry;
      entry.SetName("d" + std::to_string(i));
      list.Add(entry);
    }
    return list;
  };
  EXPECT_EQ(RefusalTexts::DeleteDocuments(listOf(1)),
            "Delete 1 document from the project \"Plans\", with every version of it?\n    d1");
  std::string twelve = "Delete 12 documents from the project \"Plans\", with every version of each?";
  for (int i = 1; i <= 10; ++i) twelve += "\n    d" + std::to_string(i);
  EXPECT_EQ(RefusalTexts::DeleteDocuments(listOf(12)), twelve + "\n    and 2 more");
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
  const ProjectNode& main = *tree.FindProjectByPath("PM");
  const std::map<std::string, int> listed = {{"PM", 1}, {"PD", 2}, {"PO", 0}, {"PE", 3}, {"PED", 4}, {"PS", 5}};
  const auto count = [&](const std::string& unread) {
    return [&listed, unread](const ProjectNode& node) -> std::optional<int> {
      if (node.GetIndexName() == unread) return std::nullopt;
      return listed.at(node.GetIndexName());
    };
  };
  struct Case {
    const char* what;
    std::string shown;
    std::string expected;
  };
  const Case cases[] = {
      {"every list read", RefusalTexts::DeleteProject("Delete?", main, count("")),
       "Delete?\n\"Main\" is deleted with 2 sub-projects and 3 documents, and 2 editions and supplements holding 1 "
       "copy of a sub-project and 12 copies of documents."},
      {"a list never read", RefusalTexts::DeleteProject("Delete?", main, count("PO")),
       "Delete?\n\"Main\" is deleted with 2 sub-projects and 3 documents, and 2 editions and supplements holding 1 "
       "copy of a sub-project and 12 copies of documents.\nSome document lists have not been read yet: more "
       "documents than counted may go."},
      {"no editions", RefusalTexts::DeleteProject("Delete?", *tree.FindProjectByPath("PD"), count("")),
       "Delete?\n\"Docs\" is deleted with 1 sub-project and 2 documents."},
  };
  for (const Case& c : cases) EXPECT_EQ(c.shown, c.expected) << c.what;
}

// A rename the server would refuse is refused before sending, naming the rule that holds.
TEST(RefusalTextsTest, RenameDocumentNamesTheRuleThatHolds) {
  const auto version = [](const std::string& name, const std::string& indexName, int number, bool copy,
                          bool used) {
    DocumentVersionEntry entry;
    entry.SetName(name);
    entry.SetIndexName(indexName);
    entry.SetVersion(number);
    entry.SetHasInternalProjectName(copy);
    entry.SetHasReferences(used);
    return entry;
  };
  VersionedDocumentList list;
  list.SetProjectName("Plans");
  const auto add = [&list](std::vector<DocumentVersionEntry> versions) {
    VersionedDocument document;
    for (const DocumentVersionEntry& entry : versions) document.AddVersion(entry);
    list.Add(document);
  };
  add({version("a.txt", "F1", 2, false, false), version("a.txt", "F1", 1, false, false)});
  add({version("b.txt", "F2", 1, false, false)});
  add({version("copy.txt", "F3", 1, true, false)});
  add({version("used.txt", "F4", 2, false, false), version("used.txt", "F4", 1, false, true)});
  struct Case {
    const char* indexName;
    const char* name;
    std::string expected;
  };
  const Case cases[] = {
      {"F1", "b.txt",
       "\"a.txt\" cannot be renamed to \"b.txt\".\nThe project \"Plans\" already holds a document named \"b.txt\". "
       "Choose another name, or rename that document first."},
      {"F1", "B.txt", "(sent)"},
      {"F1", "c.txt", "(sent)"},
      {"F3", "c.txt",
       "\"copy.txt\" cannot be renamed to \"c.txt\".\nIt is a copy of a document under an edition or supplement, "
       "and a copy keeps the name of its original. Rename the original instead."},
      {"F4", "c.txt",
       "\"used.txt\" cannot be renamed to \"c.txt\".\nVersion 1 is used by an edition or supplement, which keeps "
       "it under this name. Delete that edition or supplement first, or keep the name."},
      {"F9", "b.txt", "(sent)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RefusalTexts::RenameDocument(list, c.indexName, c.name).value_or("(sent)"), c.expected)
        << c.indexName << " " << c.name;
  }
}

}  // namespace
