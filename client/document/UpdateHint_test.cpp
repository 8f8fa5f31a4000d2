#include "client/document/UpdateHint.h"

#include <gtest/gtest.h>

namespace {

TEST(UpdateHint, DefaultNamesNoViewAndTargetsNothing) {
  const UpdateHint none;
  EXPECT_EQ(none.GetValue(), UpdateHint::kNoView);
  EXPECT_FALSE(UpdateHint::Targets(&none, UpdateHint::kNoView));
  EXPECT_FALSE(UpdateHint::Targets(&none, UpdateHint::kTreeView));
  EXPECT_FALSE(UpdateHint::Targets(nullptr, UpdateHint::kTreeView));
}

TEST(UpdateHint, TargetsOnlyTheViewItNames) {
  UpdateHint hint(UpdateHint::kDocumentListView);
  EXPECT_TRUE(UpdateHint::Targets(&hint, UpdateHint::kDocumentListView));
  EXPECT_FALSE(UpdateHint::Targets(&hint, UpdateHint::kTreeView));
  hint.SetValue(UpdateHint::kLocalFileListView);
  EXPECT_TRUE(hint == UpdateHint(UpdateHint::kLocalFileListView));
  EXPECT_TRUE(hint != UpdateHint(UpdateHint::kTreeView));
  EXPECT_TRUE(hint == 3u);
  EXPECT_TRUE(hint != 2u);
}

}  // namespace
