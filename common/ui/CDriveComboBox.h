#pragma once
// A drop-down list of the drives (see DriveSource), sorted by text. Each item
// keeps its drive's root as item data; every look-up goes by that root, never by
// the text, since mount points may hold blanks.
#include <QComboBox>
#include <string>

#include "common/ui/DriveSource.h"

class CDriveComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit CDriveComboBox(QWidget* parent = nullptr, DriveSource drives = DriveSource());

  // Replaces the items with the current drives and selects the drive of the
  // working folder.
  void FillDrives();
  // True when the drive of `item` can be listed; otherwise shows
  // "Drive %s: is not ready." with its root and returns false.
  bool IsDriveReady(int item);
  // Selects the first item whose root equals `root` exactly; none leaves the
  // selection unchanged.
  void SelectDrive(const std::string& root);
  // The root of `item`; empty outside the list.
  std::string DriveAt(int item) const;

 private:
  DriveSource drives_;
};
