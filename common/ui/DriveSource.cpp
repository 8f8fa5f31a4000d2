#include "common/ui/DriveSource.h"

#include <algorithm>

#include "common/ui/BlockDevices.h"
#include "common/ui/FolderPaths.h"

DriveSource::DriveSource()
    : DriveSource(platform::fs::MountedVolumes, [](const std::string& device) { return LabelOfDevice(device); },
                  [](const std::string& device) { return IsRemovableDevice(device); }) {}

DriveSource::DriveSource(VolumeLister volumes, DeviceLabeler labelOf, RemovableTest isRemovable)
    : volumes_(std::move(volumes)), labelOf_(std::move(labelOf)), isRemovable_(std::move(isRemovable)) {}

std::string DriveSource::DeviceOf(const platform::fs::Volume& volume) {
  const auto open = volume.label.rfind(" (");
  return open == std::string::npos ? std::string() : volume.label.substr(0, open);
}

std::vector<Drive> DriveSource::Drives() const {
  std::vector<Drive> drives;
  bool haveRoot = false;
  for (const platform::fs::Volume& volume : volumes_()) {
    const std::string device = DeviceOf(volume);
    const bool isSlash = volume.root == "/";
    if (isSlash && haveRoot) continue;
    if (!isSlash && isRemovable_(device)) continue;
    haveRoot = haveRoot || isSlash;
    const char* suffix = volume.remote ? " (Mapped Remote Disk)" : " (Local Fixed Disk)";
    drives.push_back(Drive{volume.root, volume.root + " " + labelOf_(device) + suffix});
  }
  if (!haveRoot) drives.push_back(Drive{"/", "/  (Local Fixed Disk)"});
  std::sort(drives.begin(), drives.end(), [](const Drive& a, const Drive& b) { return a.text < b.text; });
  return drives;
}

std::string DriveSource::RootOf(const std::string& folder) const {
  std::string best = "/";
  for (const platform::fs::Volume& volume : volumes_()) {
    if (volume.root.size() > best.size() && IsFolderOnRoot(folder, volume.root)) best = volume.root;
  }
  return best;
}
