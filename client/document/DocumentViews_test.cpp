#include "client/document/DocumentViews.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

class RecordingView : public DocumentView {
 public:
  explicit RecordingView(std::uint32_t kind) : DocumentView(kind) {}
  std::vector<int> codes;
  std::function<void()> onUpdate;

 protected:
  void OnUpdate(int code) override {
    codes.push_back(code);
    if (onUpdate) onUpdate();
  }
};

class DocumentViewsTest : public testing::Test {
 protected:
  DocumentViewsTest() {
    views.Attach(tree);
    views.Attach(list);
    views.Attach(local);
  }
  DocumentViews views;
  RecordingView tree{UpdateHint::kTreeView};
  RecordingView list{UpdateHint::kDocumentListView};
  RecordingView local{UpdateHint::kLocalFileListView};
};

TEST_F(DocumentViewsTest, EachTargetReachesItsViewOnly) {
  UpdateHint hint(UpdateHint::kTreeView);
  views.UpdateAllViews(5005, &hint);
  hint.SetValue(UpdateHint::kDocumentListView);
  views.UpdateAllViews(5005, &hint);
  hint.SetValue(UpdateHint::kLocalFileListView);
  views.UpdateAllViews(5022, &hint);
  EXPECT_EQ(tree.codes, std::vector<int>{5005});
  EXPECT_EQ(list.codes, std::vector<int>{5005});
  EXPECT_EQ(local.codes, std::vector<int>{5022});
}

TEST_F(DocumentViewsTest, UpdateWithoutHintOrForViewZeroChangesNoView) {
  views.UpdateAllViews(5005, nullptr);
  const UpdateHint none;
  views.UpdateAllViews(5005, &none);
  EXPECT_TRUE(tree.codes.empty());
  EXPECT_TRUE(list.codes.empty());
  EXPECT_TRUE(local.codes.empty());
}

TEST_F(DocumentViewsTest, ViewDestroyedDuringAnUpdateIsNotCalledAgain) {
  auto doomed = std::make_unique<RecordingView>(UpdateHint::kTreeView);
  views.Attach(*doomed);
  // The first tree view closes the second one from inside its update.
  tree.onUpdate = [&] {
    if (doomed) {
      views.Detach(*doomed);
      doomed.reset();
    }
  };
  const UpdateHint hint(UpdateHint::kTreeView);
  views.UpdateAllViews(-1090, &hint);
  EXPECT_EQ(tree.codes, std::vector<int>{-1090});
  EXPECT_EQ(views.GetCount(), 3u);
  views.UpdateAllViews(-1090, &hint);
  EXPECT_EQ(tree.codes.size(), 2u);
}

TEST_F(DocumentViewsTest, ViewAttachedDuringAnUpdateWaitsForTheNext) {
  RecordingView late(UpdateHint::kTreeView);
  tree.onUpdate = [&] { views.Attach(late); };
  const UpdateHint hint(UpdateHint::kTreeView);
  views.UpdateAllViews(5014, &hint);
  EXPECT_TRUE(late.codes.empty());
  views.UpdateAllViews(5014, &hint);
  EXPECT_EQ(late.codes, std::vector<int>{5014});
  EXPECT_EQ(views.GetCount(), 4u);
}

}  // namespace
