#include "common/ui/CDriveComboBox.h"

#include <vector>

#include "platform/Notifier.h"
#include "platform/Process.h"

CDriveComboBox::CDriveComboBox(QWidget* parent, DriveSource drives) : QComboBox(parent), drives_(std::move(drives)) {}

void CDriveComboBox::FillDrives() {
  clear();
  for (const Drive& drive : drives_.Drives()) {
    addItem(QString::fromStdString(drive.text), QString::fromStdString(drive.root));
  }
  SelectDrive(drives_.RootOf(platform::WorkingFolder()));
}

std::string CDriveComboBox::DriveAt(int item) const {
  if (item < 0 || item >= count()) return "";
  return itemData(item).toString().toStdString();
}

bool CDriveComboBox::IsDriveReady(int item) {
  const std::string root = DriveAt(item);
  std::vector<platform::fs::FolderEntry> entries;
  if (!root.empty() && platform::fs::ListFolder(root, entries)) return true;
  platform::Notify({"Drive " + root + ": is not ready.", "Error", platform::NotifyIcon::Warning, platform::NotifyButtons::Ok});
  return false;
}

void CDriveComboBox::SelectDrive(const std::string& root) {
  const int item = findData(QString::fromStdString(root), Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (item >= 0) setCurrentIndex(item);
}
