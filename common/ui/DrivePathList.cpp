#include "common/ui/DrivePathList.h"

#include <algorithm>

void DrivePathList::SetDrivePath(const std::string& drive, const std::string& path) {
  const auto known = std::find(entries_.begin(), entries_.end(), drive);
  if (known != entries_.end()) {
    known->path = path;
    return;
  }
  entries_.push_back(DrivePathEntry{drive, path});
}

std::string DrivePathList::GetDrivePath(const std::string& drive) const {
  const auto known = std::find(entries_.begin(), entries_.end(), drive);
  return known != entries_.end() ? known->path : std::string();
}
