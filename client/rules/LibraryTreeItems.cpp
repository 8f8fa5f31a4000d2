#include "client/rules/LibraryTreeItems.h"

#include <algorithm>

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return LowerAscii(x) < LowerAscii(y); });
}

std::string ItemText(const ProjectNode& node) {
  if (node.IsEdition()) return node.GetName() + " [" + node.GetEdition().GetProjectName() + "]";
  if (node.IsSupplement()) return node.GetName() + " [" + node.GetSupplement().GetProjectName() + "]";
  return node.GetName();
}

bool IsPlainProject(const ProjectNode& node) { return !node.IsEdition() && !node.IsSupplement(); }

}  // namespace

const LibraryTreeItems::Item* LibraryTreeItems::Find(TreeItem id) const {
  const auto found = items_.find(id);
  return found == items_.end() ? nullptr : &found->second;
}

LibraryTreeItems::Item* LibraryTreeItems::FindItem(TreeItem id) {
  const auto found = items_.find(id);
  return found == items_.end() ? nullptr : &found->second;
}

void LibraryTreeItems::VisitSubtree(TreeItem id, const std::function<bool(const Item&)>& visit) const {
  std::vector<TreeItem> pending{id};
  while (!pending.empty()) {
    const Item* item = Find(pending.back());
    pending.pop_back();
    if (item == nullptr) continue;
    if (!visit(*item)) return;
    pending.insert(pending.end(), item->children.rbegin(), item->children.rend());
  }
}

void LibraryTreeItems::Clear(const std::string& rootText) {
  items_.clear();
  tree_.ClearTreeItems();
  if (listener_ != nullptr) listener_->ItemsCleared();
  ProjectNode& root = tree_.GetRoot();
  root_ = nextId_++;
  Item item;
  item.id = root_;
  item.text = rootText;
  items_[root_] = item;
  tree_.SetTreeItem(root, root_);
  if (listener_ != nullptr) listener_->ItemInserted(item, 0);
}

TreeItem LibraryTreeItems::Insert(ProjectNode& node, TreeItem parent, int state) {
  Item item;
  item.id = nextId_++;
  item.parent = parent;
  item.text = ItemText(node);
  const bool plain = IsPlainProject(node);
  item.image = plain ? kClosedProject : kHouse;
  item.selectedImage = plain ? kOpenProject : kGreyHouse;
  item.state = state;
  std::vector<TreeItem>& siblings = items_[parent].children;
  // After every sibling that does not sort behind it, so equal texts keep their order.
  const auto place = std::find_if(siblings.begin(), siblings.end(),
                                  [&](TreeItem other) { return LessIgnoringCase(item.text, items_[other].text); });
  const int row = static_cast<int>(place - siblings.begin());
  siblings.insert(place, item.id);
  items_[item.id] = item;
  tree_.SetTreeItem(node, item.id);
  if (listener_ != nullptr) listener_->ItemInserted(item, row);
  return item.id;
}

void LibraryTreeItems::RebuildPlain(const std::string& rootText) {
  Clear(rootText);
  InsertMissing();
}

void LibraryTreeItems::InsertMissing() {
  ProjectNode& root = tree_.GetRoot();
  if (root.GetTreeItem() == 0 || Find(root.GetTreeItem()) == nullptr) return;
  for (int c = 0; c < root.GetChildCount(); ++c) InsertMissing(*root.GetChild(c), root.GetTreeItem());
}

void LibraryTreeItems::InsertMissing(ProjectNode& node, TreeItem parent) {
  if (node.GetTreeItem() == 0) Insert(node, parent, kNoBox);
  for (int c = 0; c < node.GetChildCount(); ++c) InsertMissing(*node.GetChild(c), node.GetTreeItem());
}

void LibraryTreeItems::RebuildForPublication(const std::string& rootText, const PublicationSelection& selection) {
  Clear(rootText);
  const ProjectNode* base = tree_.FindProjectByPath(selection.baseIndexName);
  selection_ = &selection;
  baseIsEdition_ = base != nullptr && base->IsEdition();
  ProjectNode& root = tree_.GetRoot();
  const bool rootTicked =
      root.GetIndexName() == selection.baseIndexName ||
      (root.GetIndexName() == selection.projectIndexName &&
       selection.versionChoice == PublicationSelection::kLatestProjectVersions);
  for (int c = 0; c < root.GetChildCount(); ++c) Fill(*root.GetChild(c), root_, rootTicked, rootTicked);
  selection_ = nullptr;
}

void LibraryTreeItems::Fill(ProjectNode& node, TreeItem parent, bool inside, bool parentTicked) {
  bool ticked = false;
  if (node.GetTreeItem() == 0) {
    const int state = FillState(node, parent, inside, parentTicked);
    Insert(node, parent, state);
    ticked = state == kTicked;
  } else {
    const Item* item = Find(node.GetTreeItem());
    ticked = item != nullptr && item->state == kTicked;
  }
  for (int c = 0; c < node.GetChildCount(); ++c) Fill(*node.GetChild(c), node.GetTreeItem(), inside, ticked);
}

int LibraryTreeItems::FillState(const ProjectNode& node, TreeItem parent, bool& inside, bool parentTicked) const {
  const PublicationSelection& selection = *selection_;
  const std::string& indexName = node.GetIndexName();
  if (node.IsEdition()) {
    if (!baseIsEdition_) return kGreyEmpty;
    if (indexName == selection.baseIndexName) {
      inside = true;
      return kTicked;
    }
    const ProjectNode* project = tree_.FindProjectByPath(selection.projectIndexName);
    for (int c = 0; project != nullptr && c < project->GetChildCount(); ++c) {
      if (project->GetChild(c)->GetIndexName() == indexName) return kGreyEmpty;
    }
    return parentTicked ? kEmpty : kGreyEmpty;
  }
  if (node.IsSupplement()) {
    if (!inside) return kGreyEmpty;
    if (selection.IncludesSupplement(indexName)) return kTicked;
    return parentTicked ? kEmpty : kGreyEmpty;
  }
  if (indexName == selection.baseIndexName ||
      (indexName == selection.projectIndexName && baseIsEdition_ &&
       selection.versionChoice == PublicationSelection::kLatestProjectVersions)) {
    inside = true;
  }
  const ProjectNode* above = tree_.FindProjectByTreeItem(parent);
  if (above == nullptr) return kGreyEmpty;
  if (!inside) return parentTicked ? kTicked : kGreyEmpty;
  const bool abovePlain = IsPlainProject(*above) && !above->GetFlag2() && !above->GetFlag3();
  return abovePlain || parentTicked ? kTicked : kGreyEmpty;
}

void LibraryTreeItems::SetState(Item& item, int state) {
  if (item.state == state) return;
  item.state = state;
  if (listener_ != nullptr) listener_->StateChanged(item.id, state);
}

void LibraryTreeItems::MapSubtreeStates(TreeItem id, const int (&from)[2], const int (&to)[2]) {
  std::vector<TreeItem> pending;
  if (const Item* item = Find(id)) pending = item->children;
  while (!pending.empty()) {
    Item* item = FindItem(pending.back());
    pending.pop_back();
    if (item == nullptr) continue;
    for (int i = 0; i < 2; ++i) {
      if (item->state == from[i]) {
        SetState(*item, to[i]);
        break;
      }
    }
    pending.insert(pending.end(), item->children.begin(), item->children.end());
  }
}

LibraryTreeItems::Click LibraryTreeItems::ClickCheckBox(TreeItem id) {
  Item* item = FindItem(id);
  if (item == nullptr) return Click::kNone;
  if (item->state == kTicked) {
    SetState(*item, kEmpty);
    MapSubtreeStates(id, {kEmpty, kTicked}, {kGreyEmpty, kGreyTicked});
    return Click::kUnticked;
  }
  if (item->state != kEmpty) return Click::kNone;
  SetState(*item, kTicked);
  MapSubtreeStates(id, {kGreyEmpty, kGreyTicked}, {kEmpty, kTicked});
  const ProjectNode* node = tree_.FindProjectByTreeItem(id);
  const TreeItem parent = item->parent;
  if (node != nullptr && node->IsEdition() && parent != root_) {
    const std::vector<TreeItem> siblings = items_[parent].children;
    for (const TreeItem sibling : siblings) {
      const ProjectNode* other = tree_.FindProjectByTreeItem(sibling);
      if (sibling == id || other == nullptr || !other->IsEdition()) continue;
      SetState(items_[sibling], kEmpty);
      MapSubtreeStates(sibling, {kEmpty, kTicked}, {kGreyEmpty, kGreyTicked});
    }
  }
  return Click::kTicked;
}
