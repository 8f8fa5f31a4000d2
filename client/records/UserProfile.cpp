#include "client/records/UserProfile.h"

#include "client/records/ClientAppState.h"
#include "client/records/FieldCursor.h"
#include "common/RecordFields.h"

namespace {

constexpr std::int32_t kRecordVersion = 2;
constexpr std::array<std::int32_t, 6> kDefaultLayout{350, 0, 0, 450, 0, 450};

}  // namespace

UserProfile::UserProfile() : maximised_(kDefaultLayout), restored_(kDefaultLayout) {}

void UserProfile::MarkModified() { ClientAppState::MarkUsersModified(); }

void UserProfile::SetLoginName(const std::string& name) {
  loginName_ = name;
  MarkModified();
}

const UserProfile::Layout* UserProfile::LayoutFor(int layout) const {
  switch (layout) {
    case kMaximisedLayout:
      return &maximised_;
    case kRestoredLayout:
      return &restored_;
    case kCurrentLayout:
      return ClientAppState::GetWindowState() == ClientAppState::kMaximised ? &maximised_ : &restored_;
    default:
      return nullptr;
  }
}

UserProfile::Layout& UserProfile::CurrentLayout() {
  return ClientAppState::GetWindowState() == ClientAppState::kMaximised ? maximised_ : restored_;
}

int UserProfile::Pane(int layout, PaneIndex pane) const {
  const Layout* chosen = LayoutFor(layout);
  return (chosen != nullptr ? *chosen : *LayoutFor(kCurrentLayout))[pane];
}

void UserProfile::SetPane(PaneIndex pane, int size) {
  CurrentLayout()[pane] = size;
  MarkModified();
}

void UserProfile::GetPaneSizes(int& treeWidth, int& treeHeight, int& rowListWidth, int& rowListHeight,
                               int& localWidth, int& localHeight, int layout) const {
  const Layout* chosen = LayoutFor(layout);
  if (chosen == nullptr) return;
  treeWidth = (*chosen)[kTreeWidth];
  treeHeight = (*chosen)[kTreeHeight];
  rowListWidth = (*chosen)[kRowListWidth];
  rowListHeight = (*chosen)[kRowListHeight];
  localWidth = (*chosen)[kLocalWidth];
  localHeight = (*chosen)[kLocalHeight];
}

void UserProfile::SetPaneSizes(int treeWidth, int treeHeight, int rowListWidth, int rowListHeight, int localWidth,
                               int localHeight, int layout) {
  Layout& chosen = layout == kMaximisedLayout ? maximised_ : layout == kCurrentLayout ? CurrentLayout() : restored_;
  chosen = {treeWidth, treeHeight, rowListWidth, rowListHeight, localWidth, localHeight};
  MarkModified();
}

void UserProfile::SetWindowState(int state) {
  windowState_ = state;
  MarkModified();
}

void UserProfile::SetBackupRoot(const std::string& root) {
  if (root == backupRoot_) return;
  backupRoot_ = root;
  MarkModified();
}

void UserProfile::SetCompareProgram(const std::string& program) {
  if (program == compareProgram_) return;
  compareProgram_ = program;
  MarkModified();
}

void UserProfile::SetCurrentConnection(const LibraryConnection& connection) {
  currentConnection_ = connection;
  MarkModified();
}

LibraryConnection* UserProfile::GetConnection(int i) {
  return i >= 0 && i < GetConnectionCount() ? &connections_[static_cast<std::size_t>(i)] : nullptr;
}

const LibraryConnection* UserProfile::GetConnection(int i) const {
  return i >= 0 && i < GetConnectionCount() ? &connections_[static_cast<std::size_t>(i)] : nullptr;
}

LibraryConnection* UserProfile::FindConnection(const std::string& name, int userNumber) {
  for (LibraryConnection& connection : connections_) {
    if (connection.GetName() == name && connection.GetUserNumber() == userNumber) return &connection;
  }
  return nullptr;
}

void UserProfile::AddConnection(const LibraryConnection& connection) {
  if (FindConnection(connection.GetName(), connection.GetUserNumber()) == nullptr) connections_.push_back(connection);
  MarkModified();
}

bool UserProfile::RemoveConnection(int i) {
  if (GetConnection(i) == nullptr) return false;
  connections_.erase(connections_.begin() + i);
  MarkModified();
  return true;
}

int UserProfile::AddFolderRuleSet(const FolderRuleSet& set) {
  ruleSets_.push_back(set);
  MarkModified();
  return GetFolderRuleSetCount() - 1;
}

bool UserProfile::SetFolderRuleSet(int i, const FolderRuleSet& set) {
  if (i < 0 || i >= GetFolderRuleSetCount()) return false;
  ruleSets_[static_cast<std::size_t>(i)] = set;
  MarkModified();
  return true;
}

void UserProfile::SetCurrentFolderRuleSet(int i) {
  selectedRuleSet_ = i;
  MarkModified();
}

const FolderRuleSet* UserProfile::GetFolderRuleSet(int i) const {
  return i >= 0 && i < GetFolderRuleSetCount() ? &ruleSets_[static_cast<std::size_t>(i)] : nullptr;
}

bool UserProfile::Write(std::ostream& out) const {
  if (out.fail()) return false;
  std::string line = AppendIntField(kRecordVersion, "");
  line = AppendIntField(GetConnectionCount(), std::move(line));
  line = AppendStringField(loginName_, std::move(line));
  for (std::int32_t size : maximised_) line = AppendIntField(size, std::move(line));
  for (std::int32_t size : restored_) line = AppendIntField(size, std::move(line));
  line = AppendIntField(windowState_, std::move(line));
  line = AppendStringField(backupRoot_, std::move(line));
  line = AppendIntField(selectedRuleSet_, std::move(line));
  line = AppendIntField(GetFolderRuleSetCount(), std::move(line));
  // Written only when set, so that a profile without it keeps its original bytes.
  if (!compareProgram_.empty()) line = AppendStringField(compareProgram_, std::move(line));
  line = EndRecord(line);
  if (!connections_.empty()) {
    line += currentConnection_.Write();
    for (const LibraryConnection& connection : connections_) line += connection.Write();
  }
  out << line;
  for (const FolderRuleSet& set : ruleSets_) set.Write(out);
  return !out.fail();
}

bool UserProfile::Read(std::istream& in) {
  std::string line;
  if (in.fail() || !ReadWholeLine(in, line) || line.empty()) return false;
  std::int32_t version = 0;
  std::int32_t connectionCount = 0;
  std::int32_t ruleSetCount = 0;
  FieldCursor fields(line);
  fields.Int(version).Int(connectionCount).String(loginName_);
  for (std::int32_t& size : maximised_) fields.Int(size);
  for (std::int32_t& size : restored_) fields.Int(size);
  fields.Int(windowState_).String(backupRoot_).Int(selectedRuleSet_).Int(ruleSetCount);
  if (!fields.Ok() || version != kRecordVersion) return false;
  if (!fields.Rest().empty()) fields.String(compareProgram_);
  if (connectionCount > 0) {
    if (!ReadWholeLine(in, line) || !currentConnection_.Read(line)) return false;
    for (std::int32_t i = 0; i < connectionCount; ++i) {
      LibraryConnection connection;
      if (!ReadWholeLine(in, line) || !connection.Read(line)) return false;
      // Every stored one, duplicates too: which of them is kept is DuplicateConnectionMerge's choice.
      connections_.push_back(connection);
    }
  }
  for (std::int32_t i = 0; i < ruleSetCount; ++i) {
    FolderRuleSet set;
    if (!set.Read(in)) return false;
    AddFolderRuleSet(set);
  }
  return true;
}
