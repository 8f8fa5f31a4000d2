#pragma once
// The drives the folder widgets offer: "/" always, then the mount roots of local
// and network file systems, never pseudo or removable ones. A drive keeps its
// root (the key everywhere) and its display text: root, a blank, the volume label
// when there is one, then " (Local Fixed Disk)" or " (Mapped Remote Disk)".
// Where mounts, labels and removability come from can be replaced, so tests use
// plain folders as mounts.
#include <functional>
#include <string>
#include <vector>

#include "platform/fs.h"

struct Drive {
  std::string root;
  std::string text;
};

class DriveSource {
 public:
  using VolumeLister = std::function<std::vector<platform::fs::Volume>()>;
  using DeviceLabeler = std::function<std::string(const std::string& device)>;
  using RemovableTest = std::function<bool(const std::string& device)>;

  // The machine's own mounts, labels and disks.
  DriveSource();
  DriveSource(VolumeLister volumes, DeviceLabeler labelOf, RemovableTest isRemovable);

  // Every drive, sorted by text ("/" is always present).
  std::vector<Drive> Drives() const;
  // The mount root that holds the absolute `folder`: the longest root of any
  // listed volume (removable ones too) that it is equal to or below; "/" else.
  std::string RootOf(const std::string& folder) const;

  // The device of a Volume's "device (type)" label; empty when there is none.
  static std::string DeviceOf(const platform::fs::Volume& volume);

 private:
  VolumeLister volumes_;
  DeviceLabeler labelOf_;
  RemovableTest isRemovable_;
};
