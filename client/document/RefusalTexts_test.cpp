#include "client/document/RefusalTexts.h"

#include <gtest/gtest.h>

#include "client/library/ProjectTree.h"
#include "client/library/ServerTreeText.h"

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
      {"a project with everything listed", RefusalTexts::DeleteProject("Delete?", "many", 2, 1, true),
       "Delete?\n\"many\" is deleted with 2 sub-projects and 1 document in it."},
      {"a project with lists never read", RefusalTexts::DeleteProject("Delete?", "tree", 1, 3, false),
       "Delete?\n\"tree\" is deleted with 1 sub-project and all documents in it (3 listed so far; some lists have "
       "not been read yet)."},
  };
  for (const Case& c : cases) EXPECT_EQ(c.shown, c.expected) << c.what;
}

}  // namespace
