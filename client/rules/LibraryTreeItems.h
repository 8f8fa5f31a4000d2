#pragma once
// The items of a library's tree view, headless: one root item for the library and one
// per project, edition and supplement, each with its text, images and check-box state
// (0 none, 1 empty, 2 ticked, 3 greyed empty, 4 greyed ticked). Siblings are kept in
// order of their text, ASCII case ignored. Item ids come from a counter, never from
// addresses; each node records its item id in the project tree's item map, so nodes are
// looked up afresh on every use. A listener (the window) mirrors every change.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "client/library/ProjectTree.h"
#include "client/library/PublicationSelection.h"

class LibraryTreeItems {
 public:
  enum State { kNoBox = 0, kEmpty = 1, kTicked = 2, kGreyEmpty = 3, kGreyTicked = 4 };
  enum Image { kHouse = 0, kGreyHouse = 1, kClosedProject = 4, kOpenProject = 7 };

  struct Item {
    TreeItem id = 0;
    TreeItem parent = 0;
    std::string text;
    int image = kHouse;
    int selectedImage = kGreyHouse;
    int state = kNoBox;
    std::vector<TreeItem> children;   // in display order
  };

  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void ItemsCleared() = 0;
    // `row` is the item's place among its parent's children.
    virtual void ItemInserted(const Item& item, int row) = 0;
    virtual void StateChanged(TreeItem id, int state) = 0;
  };

  // What a click on a check box asks of the document.
  enum class Click { kNone, kTicked, kUnticked };

  explicit LibraryTreeItems(ProjectTree& tree) : tree_(tree) {}
  void SetListener(Listener* listener) { listener_ = listener; }

  // Empties the items and the item map and inserts the root item (text `rootText`) and
  // one item per node, all without boxes.
  void RebuildPlain(const std::string& rootText);
  // Inserts the nodes that have no item yet, without boxes, under their parents' items.
  void InsertMissing();
  // Empties and refills with the boxes the selection gives each item (the root has none).
  void RebuildForPublication(const std::string& rootText, const PublicationSelection& selection);
  // A click on the item's box: empty becomes ticked, ticked becomes empty, the subtree
  // follows (greyed boxes become available or unavailable) and one ticked edition per
  // project stays. Greyed boxes and items without a box do not react.
  Click ClickCheckBox(TreeItem id);

  TreeItem GetRoot() const { return root_; }
  // Null when there is no such item.
  const Item* Find(TreeItem id) const;
  int GetCount() const { return static_cast<int>(items_.size()); }
  // Visits the item and every item below it in display order until `visit` returns false.
  void VisitSubtree(TreeItem id, const std::function<bool(const Item&)>& visit) const;

 private:
  // Inserts an item for `node` under `parent`; its id.
  TreeItem Insert(ProjectNode& node, TreeItem parent, int state);
  void Clear(const std::string& rootText);
  void InsertMissing(ProjectNode& node, TreeItem parent);
  void Fill(ProjectNode& node, TreeItem parent, bool inside, bool parentTicked);
  int FillState(const ProjectNode& node, TreeItem parent, bool& inside, bool parentTicked) const;
  void SetState(Item& item, int state);
  // In the subtree below `id` (the item itself excepted), each state found in `from`
  // becomes the one at the same place in `to`.
  void MapSubtreeStates(TreeItem id, const int (&from)[2], const int (&to)[2]);
  Item* FindItem(TreeItem id);

  ProjectTree& tree_;
  Listener* listener_ = nullptr;
  std::map<TreeItem, Item> items_;
  TreeItem root_ = 0;
  TreeItem nextId_ = 1;
  // During a publication fill: the selection and its base and project.
  const PublicationSelection* selection_ = nullptr;
  bool baseIsEdition_ = false;
};
