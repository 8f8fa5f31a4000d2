#pragma once
// The modal folder-choosing dialog: the chosen folder in a line on top (it follows
// the highlighted folder and can be typed into), the folder tree in the middle, the
// drive list below and, in the client's form, the check box "Derive all sub-project
// mappings from this path"; New Folder makes a folder in the highlighted one. It remembers,
// for its own lifetime, the last folder shown on each drive, so that switching
// drives back and forth returns to where the user was.
#include <QDialog>
#include <QList>
#include <QPixmap>
#include <QString>
#include <string>

#include "common/ui/DrivePathList.h"
#include "common/ui/DriveSource.h"
#include "platform/Notifier.h"

class QCheckBox;
class QLineEdit;
class QShowEvent;
class CDirectoryTree;
class CDriveComboBox;

class CChooseDirectoryDlg : public QDialog {
  Q_OBJECT

 public:
  // The client's dialog, with the derive check box (disabled until enabled).
  explicit CChooseDirectoryDlg(QWidget* parent = nullptr, DriveSource drives = DriveSource());

  // A non-empty `path` is shown first and remembered for its drive; `derive` is the
  // check box's first state. An empty path changes nothing (`derive` neither).
  void SetInitialPath(const std::string& path, bool derive);
  // Lets the user change the check box; it is disabled unless enabled here.
  void SetDeriveEnabled(bool enabled) { deriveDisabled_ = !enabled; }

  // The folder highlighted last; after Accept, the folder in the path line.
  std::string GetPath() const { return chosenPath_; }
  // The check box's state when Accept was pressed.
  bool GetDeriveSubMappings() const { return derive_; }

  // Accept: takes the folder in the path line (a relative one lies under the
  // folder shown) and the check box's state, then closes the dialog with Accepted.
  // A folder that does not exist is offered to be made (No by default); the
  // dialog stays open when it is not made or the path is no folder.
  void accept() override;

 protected:
  // What differs between the forms of the dialog.
  struct Look {
    QString caption;
    QString programName;  // the title of the dialog's message boxes
    QList<QPixmap> treeImages;  // sub-folder, selected, path node, selected
    bool offersDerive = false;
  };
  CChooseDirectoryDlg(QWidget* parent, DriveSource drives, const Look& look);

  void showEvent(QShowEvent* event) override;
  // Remembers `path` for the drive it lies on.
  void RememberInitialPath(const std::string& path);

 private:
  void OnInitDialog();
  void OnPathChanged();
  void OnHighlightChanged();
  void OnNewFolder();
  // True when `folder` is a folder, or was made at the user's request.
  bool EnsureFolder(const std::string& folder);
  platform::NotifyAnswer Tell(const std::string& text, platform::NotifyIcon icon,
                              platform::NotifyButtons buttons = platform::NotifyButtons::Ok) const;
  void OnDriveChanged(int item);

  DriveSource drives_;
  QLineEdit* pathEdit_ = nullptr;
  CDirectoryTree* tree_ = nullptr;
  CDriveComboBox* driveList_ = nullptr;
  QCheckBox* deriveBox_ = nullptr;  // null in a form without it
  bool derive_ = false;
  std::string chosenPath_;
  DrivePathList driveMemory_;
  std::string initialPath_;
  QString programName_;
  bool deriveDisabled_ = true;
  bool initialised_ = false;
};
