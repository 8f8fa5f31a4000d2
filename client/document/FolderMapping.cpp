#include "client/document/FolderMapping.h"

#include <algorithm>

void FolderMapping::Clear() {
  projectName_.clear();
  secondName_.clear();
  folderList_.clear();
  localFolder_.clear();
  children_.clear();
}

void FolderMapping::SetFolderList(const std::string& list) {
  folderList_ = list;
  if (!folderList_.empty() && folderList_.back() == ';') folderList_.pop_back();
}

bool FolderMapping::AddFolder(const std::string& path) {
  const std::size_t separator = path.find(';');
  if (separator != std::string::npos && separator + 1 != path.size()) return false;
  std::string list = folderList_;
  if (!list.empty()) list += ';';
  SetFolderList(list + path);
  return true;
}

int FolderMapping::GetFolderCount() const {
  if (folderList_.empty()) return 0;
  return static_cast<int>(std::count(folderList_.begin(), folderList_.end(), ';')) + 1;
}

std::string FolderMapping::GetFolder(int i) const {
  if (i < 0 || i >= GetFolderCount()) return std::string();
  std::size_t start = 0;
  for (int piece = 0; piece < i; ++piece) start = folderList_.find(';', start) + 1;
  const std::size_t end = folderList_.find(';', start);
  return folderList_.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

FolderMapping* FolderMapping::GetChild(int i) {
  return i >= 0 && i < GetChildCount() ? &children_[static_cast<std::size_t>(i)] : nullptr;
}

const FolderMapping* FolderMapping::GetChild(int i) const {
  return i >= 0 && i < GetChildCount() ? &children_[static_cast<std::size_t>(i)] : nullptr;
}

int FolderMapping::FindChild(const std::string& name) const {
  for (int i = 0; i < GetChildCount(); ++i) {
    if (children_[static_cast<std::size_t>(i)].projectName_ == name) return i;
  }
  return -1;
}
