#include "client/rules/LibraryTreeItems.h"

#include <gtest/gtest.h>

#include "client/rules/LibraryTreeFixture_test.h"

namespace {

using namespace tree_test;

class LibraryTreeItemsTest : public LibraryTreeFixture {
 protected:
  const LibraryTreeItems::Item& ItemOf(const std::string& index) {
    static const LibraryTreeItems::Item none;
    const LibraryTreeItems::Item* item = items_.Find(Node(index).GetTreeItem());
    EXPECT_NE(item, nullptr) << index;
    return item == nullptr ? none : *item;
  }
  int StateOf(const std::string& index) { return ItemOf(index).state; }
  std::vector<std::string> ChildTexts(const std::string& index) {
    std::vector<std::string> texts;
    for (TreeItem child : ItemOf(index).children) texts.push_back(items_.Find(child)->text);
    return texts;
  }
  void Publish(const std::string& project, const std::string& base, int choice,
               const std::vector<std::string>& included = {}) {
    selection_ = PublicationSelection::OfProject(project, choice);
    selection_.baseIndexName = base;
    for (const std::string& index : included) selection_.supplements.Add(Node(index).GetSupplement());
    items_.RebuildForPublication("Lib : (TCP/IP)", selection_);
  }

  LibraryTreeItems items_{Tree()};
  PublicationSelection selection_;
};

TEST_F(LibraryTreeItemsTest, APlainRebuildShowsEveryNodeSortedIgnoringCaseWithItsImagesAndNoBoxes) {
  items_.RebuildPlain("Lib : (TCP/IP)");
  EXPECT_EQ(items_.GetCount(), 12);
  EXPECT_EQ(items_.Find(items_.GetRoot())->text, "Lib : (TCP/IP)");
  EXPECT_EQ(Tree().FindProjectByTreeItem(items_.GetRoot()), &Tree().GetRoot());
  EXPECT_EQ(ChildTexts("Root"), (std::vector<std::string>{"Alpha", "delta"}));
  EXPECT_EQ(ChildTexts("PA"), (std::vector<std::string>{"<E> One [Alpha]", "<E> Two [Alpha]", "Beta"}));
  struct Row {
    const char* index;
    int image, selected;
  } rows[] = {{"Root", 0, 1}, {"PA", 4, 7}, {"E1", 0, 1}, {"S1", 0, 1}, {"E1B", 4, 7}};
  for (const Row& row : rows) {
    EXPECT_EQ(ItemOf(row.index).image, row.image) << row.index;
    EXPECT_EQ(ItemOf(row.index).selectedImage, row.selected) << row.index;
    EXPECT_EQ(StateOf(row.index), 0) << row.index;
  }
  EXPECT_EQ(ItemOf("S1").text, "<S> May [Alpha]");
}

TEST_F(LibraryTreeItemsTest, PublicationBoxesFollowTheSelection) {
  struct Case {
    const char* what;
    std::string project, base;
    int choice;
    std::vector<std::string> included;
    std::vector<std::pair<std::string, int>> states;
  } cases[] = {
      {"fresh edition of Alpha", "PA", "PA", 0, {},
       {{"Root", 0}, {"PA", 2}, {"PB", 2}, {"PG", 2}, {"EX", 3}, {"E1", 3}, {"E1B", 3}, {"S1", 3}, {"PD", 3}}},
      {"based on One, its edition versions", "PA", "E1", 0, {"S1"},
       {{"PA", 3}, {"PB", 3}, {"E1", 2}, {"E1B", 2}, {"S1", 2}, {"E2", 3}, {"EX", 3}, {"PD", 3}}},
      {"based on One, supplement left out", "PA", "E1", 0, {}, {{"E1", 2}, {"S1", 1}}},
      {"based on One, project versions", "PA", "E1", 1, {},
       {{"PA", 2}, {"PB", 2}, {"PG", 2}, {"EX", 1}, {"EY", 1}, {"YG", 3}, {"E1", 2}, {"E2", 3}, {"PD", 3}}},
      {"the whole library", "Root", "Root", 0, {}, {{"Root", 0}, {"PA", 2}, {"PD", 2}, {"E1", 3}}},
  };
  for (const Case& c : cases) {
    Publish(c.project, c.base, c.choice, c.included);
    for (const auto& [index, state] : c.states) EXPECT_EQ(StateOf(index), state) << c.what << ": " << index;
  }
}

TEST_F(LibraryTreeItemsTest, ClicksTickAndUntickSubtreesKeepOneEditionPerProjectAndGreyBoxesAreInert) {
  Publish("PA", "E1", 1);
  using Click = LibraryTreeItems::Click;
  struct Step {
    std::string index;
    Click click;
    std::vector<std::pair<std::string, int>> states;
  } steps[] = {
      {"E2", Click::kNone, {{"E2", 3}}},                              // greyed: inert
      {"EY", Click::kTicked, {{"EY", 2}, {"YG", 1}, {"EX", 1}}},      // greyed boxes below come alive
      {"EX", Click::kTicked, {{"EX", 2}, {"EY", 1}, {"YG", 3}}},      // one ticked edition per project
      {"YG", Click::kNone, {{"YG", 3}}},
      {"PB", Click::kUnticked, {{"PB", 1}, {"PG", 4}, {"EX", 4}, {"EY", 3}}},
      {"PB", Click::kTicked, {{"PB", 2}, {"PG", 2}, {"EX", 2}, {"EY", 1}, {"YG", 1}}},
      {"Root", Click::kNone, {{"Root", 0}}},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(items_.ClickCheckBox(Node(step.index).GetTreeItem()), step.click) << step.index;
    for (const auto& [index, state] : step.states) EXPECT_EQ(StateOf(index), state) << step.index << ": " << index;
  }
}

}  // namespace
