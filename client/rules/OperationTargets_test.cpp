#include "client/rules/OperationTargets.h"

#include <gtest/gtest.h>

namespace {

using OperationTargets::Operation;
using OperationTargets::Pane;

TEST(OperationTargets, TickedDocumentsTakeTheOperationsFromWhicheverPaneHasTheFocus) {
  const struct {
    Pane focused;
    int ticked;
    Pane answering;
  } cases[] = {
      {Pane::kTree, 0, Pane::kTree},          {Pane::kTree, 1, Pane::kDocuments},
      {Pane::kLocal, 0, Pane::kLocal},        {Pane::kLocal, 4, Pane::kDocuments},
      {Pane::kDocuments, 0, Pane::kDocuments}, {Pane::kDocuments, 2, Pane::kDocuments},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OperationTargets::Answering(c.focused, c.ticked), c.answering)
        << static_cast<int>(c.focused) << " " << c.ticked;
  }
}

TEST(OperationTargets, TheMenuItemCountsTheDocumentsAndKeepsItsAccessKey) {
  const struct {
    Operation operation;
    int documents;
    std::string text;
  } cases[] = {
      {Operation::kCheckOut, 3, "Check-&out 3 documents ..."},
      {Operation::kCheckOut, 1, "Check-&out 1 document ..."},
      {Operation::kCheckIn, 2, "Check-&in 2 documents ..."},
      {Operation::kRetrieve, 12, "&Retrieve 12 documents from Library ..."},
      {Operation::kDelete, 1, "&Delete 1 document from Library ..."},
      {Operation::kRename, 1, "Re&name 1 document ..."},
      {Operation::kCheckOut, 0, ""},   // nothing ticked: the item keeps its own text
  };
  for (const auto& c : cases) EXPECT_EQ(OperationTargets::MenuText(c.operation, c.documents), c.text) << c.text;
}

}  // namespace
