#include "client/rules/OpenAction.h"

#include <gtest/gtest.h>

namespace {

TEST(OpenActionTest, FoldersAreEnteredAndDocumentsOpenTheirLocalCopyOrAFetchedOne) {
  using Row = OpenAction::Row;
  using Action = OpenAction::Action;
  const struct {
    Row row;
    bool localExists;
    Action action;
  } cases[] = {
      {Row::kFolder, false, Action::kEnterFolder},      {Row::kLocalFile, true, Action::kOpenLocalCopy},
      {Row::kDocument, true, Action::kOpenLocalCopy},   {Row::kDocument, false, Action::kOpenFetchedCopy},
      {Row::kVersion, true, Action::kOpenFetchedCopy},  {Row::kVersion, false, Action::kOpenFetchedCopy},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OpenAction::For(c.row, c.localExists), c.action) << static_cast<int>(c.row) << " " << c.localExists;
  }
}

}  // namespace
