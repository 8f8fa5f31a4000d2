#include "client/library/ProjectNode.h"

#include <algorithm>
#include <utility>

#include "common/NameValidation.h"
#include "common/RecordFields.h"
#include "common/StringHelpers.h"

namespace {

bool IsRecordOfType(const std::string& line, std::int32_t type) {
  std::int32_t found = 0;
  ReadIntField(found, line);
  return found == type;
}

}  // namespace

ProjectNode::ProjectNode() { Clear(); }

ProjectNode::ProjectNode(const ProjectNode& other) : ProjectNode() {
  CopyOwnFields(other);
  std::vector<std::pair<const ProjectNode*, ProjectNode*>> pending{{&other, this}};
  while (!pending.empty()) {
    const auto [source, target] = pending.back();
    pending.pop_back();
    for (const auto& child : source->children_) {
      auto copy = std::make_unique<ProjectNode>();
      copy->CopyOwnFields(*child);
      pending.emplace_back(child.get(), copy.get());
      target->children_.push_back(std::move(copy));
    }
  }
}

ProjectNode& ProjectNode::operator=(const ProjectNode& other) {
  if (this == &other) return *this;
  ProjectNode copy(other);  // `other` may lie inside this tree: copy before clearing
  Clear();
  CopyOwnFields(copy);
  children_ = std::move(copy.children_);
  return *this;
}

ProjectNode::~ProjectNode() { Clear(); }

void ProjectNode::DeleteSubtrees(std::vector<std::unique_ptr<ProjectNode>>& children) {
  std::vector<std::unique_ptr<ProjectNode>> pending = std::move(children);
  children.clear();
  while (!pending.empty()) {
    std::unique_ptr<ProjectNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children_) pending.push_back(std::move(child));
    node->children_.clear();
  }
}

void ProjectNode::Clear() {
  name_.clear();
  indexName_.clear();
  localFolder_.clear();
  cacheFileName_.clear();
  newNode_ = true;
  refreshNeeded_ = true;
  flag1_ = flag2_ = flag3_ = false;
  DeleteSubtrees(children_);
  edition_ = EditionRecord();
  supplement_ = SupplementRecord();
  treeItem_ = 0;
}

void ProjectNode::CopyOwnFields(const ProjectNode& other) {
  name_ = other.name_;
  indexName_ = other.indexName_;
  localFolder_ = other.localFolder_;
  newNode_ = other.newNode_;
  cacheFileName_ = other.cacheFileName_;
  flag1_ = other.flag1_;
  flag2_ = other.flag2_;
  flag3_ = other.flag3_;
  edition_ = other.edition_;
  supplement_ = other.supplement_;
  treeItem_ = other.treeItem_;
}

void ProjectNode::ClearTreeItems() {
  std::vector<ProjectNode*> pending{this};
  while (!pending.empty()) {
    ProjectNode* node = pending.back();
    pending.pop_back();
    node->treeItem_ = 0;
    for (auto& child : node->children_) pending.push_back(child.get());
  }
}

std::string ProjectNode::GetVersionsCacheFilePath() const { return cacheFileName_ + "WithVersions"; }

void ProjectNode::SetCacheFileName(const std::string& name) {
  cacheFileName_ = name;
  TrimString(cacheFileName_);
}

void ProjectNode::SetLocalFolder(const std::string& folder, bool recurse) {
  localFolder_ = folder;
  TrimString(localFolder_);
  if (!recurse) return;
  std::vector<ProjectNode*> pending{this};
  while (!pending.empty()) {
    ProjectNode* node = pending.back();
    pending.pop_back();
    for (auto& child : node->children_) {
      child->localFolder_ = node->ChildFolder(*child);
      pending.push_back(child.get());
    }
  }
}

std::string ProjectNode::ChildFolder(const ProjectNode& child) const {
  if (localFolder_.empty()) return std::string();
  if (child.IsEdition() || child.IsSupplement()) return localFolder_;
  if (!IsValidStoredName(child.name_)) return std::string();
  std::string name = child.name_;
  return EnsureTrailingBackslash(localFolder_) + TrimString(name);
}

void ProjectNode::MakeCacheFileName() {
  std::string name = indexName_;
  for (char& c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ':' || c == '\\' || c == '/' || byte < 0x20 || byte == 0x7F) c = '.';
  }
  if (!name.empty() && name.find_first_not_of('.') == std::string::npos) name = "_" + name;
  cacheFileName_ = name;
}

ProjectNode* ProjectNode::GetChild(int index) {
  return index >= 0 && index < GetChildCount() ? children_[static_cast<std::size_t>(index)].get() : nullptr;
}

const ProjectNode* ProjectNode::GetChild(int index) const {
  return index >= 0 && index < GetChildCount() ? children_[static_cast<std::size_t>(index)].get() : nullptr;
}

ProjectNode* ProjectNode::AddChild(const ProjectNode& child) {
  children_.push_back(std::make_unique<ProjectNode>(child));
  return children_.back().get();
}

void ProjectNode::EncodeOwnLines(std::string& out) const {
  std::string line = AppendStringField(name_, "");
  line = AppendStringField(indexName_, std::move(line));
  line = AppendStringField(localFolder_, std::move(line));
  line = AppendBoolField(newNode_, std::move(line));
  line = AppendBoolField(refreshNeeded_, std::move(line));
  line = AppendIntField(GetChildCount(), std::move(line));
  line = AppendStringField(cacheFileName_, std::move(line));
  line = AppendBoolField(flag1_, std::move(line));
  line = AppendBoolField(flag2_, std::move(line));
  line = AppendBoolField(flag3_, std::move(line));
  out += EndRecord(line);
  out += edition_.Encode("");
  out += supplement_.Encode("");
}

std::string ProjectNode::Encode() const {
  std::string out;
  std::vector<const ProjectNode*> pending{this};
  while (!pending.empty()) {
    const ProjectNode* node = pending.back();
    pending.pop_back();
    node->EncodeOwnLines(out);
    for (auto child = node->children_.rbegin(); child != node->children_.rend(); ++child) {
      pending.push_back(child->get());
    }
  }
  return out;
}

std::int32_t ProjectNode::ReadNodeLine(const std::string& line, Layout layout) {
  std::int32_t childCount = 0;
  std::string rest = ReadStringField(name_, line);
  rest = ReadStringField(indexName_, rest);
  if (layout == Layout::Stored) {
    rest = ReadStringField(localFolder_, rest);
    rest = ReadBoolField(newNode_, rest);
    rest = ReadBoolField(refreshNeeded_, rest);
    rest = ReadIntField(childCount, rest);
    rest = ReadStringField(cacheFileName_, rest);
  } else {
    rest = ReadIntField(childCount, rest);
  }
  rest = ReadBoolField(flag1_, rest);
  rest = ReadBoolField(flag2_, rest);
  ReadBoolField(flag3_, rest);
  return childCount;
}

bool ProjectNode::ReadRecordLines(QuotedLines& lines) {
  std::string line;
  if (!lines.Next(line) || !IsRecordOfType(line, EditionRecord::kRecordType)) return false;
  edition_.Decode(line);
  if (!lines.Next(line) || !IsRecordOfType(line, SupplementRecord::kRecordType)) return false;
  supplement_.Decode(line);
  return true;
}

bool ProjectNode::DecodeTree(QuotedLines& lines, Layout layout) {
  Clear();
  std::string line;
  if (!lines.Next(line)) return false;
  const std::int32_t rootChildren = ReadNodeLine(line, layout);
  if (!ReadRecordLines(lines)) return false;

  // One entry per level being read: the node and how many of its children are still due.
  struct Level {
    ProjectNode* node;
    std::int32_t childrenDue;
  };
  std::vector<Level> levels{{this, rootChildren}};
  while (!levels.empty()) {
    if (levels.back().childrenDue <= 0) {
      levels.pop_back();
      continue;
    }
    --levels.back().childrenDue;
    if (levels.size() > static_cast<std::size_t>(kMaxDepth)) return false;
    if (!lines.Next(line)) return false;
    ProjectNode* parent = levels.back().node;
    parent->children_.push_back(std::make_unique<ProjectNode>());
    ProjectNode* child = parent->children_.back().get();
    const std::int32_t childCount = child->ReadNodeLine(line, layout);
    if (!child->ReadRecordLines(lines)) return false;
    levels.push_back({child, childCount});
  }
  return true;
}

bool ProjectNode::DecodeLines(QuotedLines& lines) { return DecodeTree(lines, Layout::Stored); }

bool ProjectNode::DecodeServerLines(QuotedLines& lines) { return DecodeTree(lines, Layout::Server); }

bool ProjectNode::DecodeServer(const std::string& text) {
  QuotedLines lines(text);
  return DecodeServerLines(lines);
}
