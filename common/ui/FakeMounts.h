#pragma once
// For tests: a DriveSource whose drives are "/" and the given folders, labelled
// by a table and with the listed devices counting as removable, so temporary
// folders act as mounted volumes.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/ui/DriveSource.h"

// Each mount: its root, the device it comes from and whether it is remote.
struct FakeMount {
  std::string root;
  std::string device;
  bool remote = false;
};

inline DriveSource MakeFakeDrives(const std::vector<FakeMount>& mounts,
                                  const std::map<std::string, std::string>& labels = {},
                                  const std::set<std::string>& removable = {}) {
  std::vector<platform::fs::Volume> volumes{{"/", "", false}};
  for (const FakeMount& mount : mounts) {
    volumes.push_back({mount.root, mount.device + (mount.remote ? " (nfs)" : " (ext4)"), mount.remote});
  }
  return DriveSource([volumes] { return volumes; },
                     [labels](const std::string& device) {
                       const auto known = labels.find(device);
                       return known != labels.end() ? known->second : std::string();
                     },
                     [removable](const std::string& device) { return removable.count(device) > 0; });
}
