#pragma once
// The drive memory of the folder-choosing dialog: the last folder shown on each
// drive (a mount root, compared exactly), at most one entry per drive, in order
// of first use. Lives only as long as its dialog; nothing is stored on disk.
#include <string>
#include <vector>

// One remembered folder; an empty drive means unset.
struct DrivePathEntry {
  std::string drive;
  std::string path;

  bool operator==(const std::string& otherDrive) const { return drive == otherDrive; }
};

class DrivePathList {
 public:
  // Gives `drive` the folder `path`, appending an entry when the drive has none.
  void SetDrivePath(const std::string& drive, const std::string& path);
  // The folder remembered for exactly `drive`; empty when there is none.
  std::string GetDrivePath(const std::string& drive) const;

  void RemoveAll() { entries_.clear(); }
  int GetCount() const { return static_cast<int>(entries_.size()); }
  // Requires 0 <= index < GetCount().
  const DrivePathEntry& GetAt(int index) const { return entries_.at(static_cast<std::size_t>(index)); }

 private:
  std::vector<DrivePathEntry> entries_;
};
