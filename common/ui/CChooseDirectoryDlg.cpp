#include "common/ui/CChooseDirectoryDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "common/ui/CDirectoryTree.h"
#include "common/ui/CDriveComboBox.h"
#include "common/ui/FolderImages.h"
#include "common/ui/FolderPaths.h"
#include "platform/Process.h"

CChooseDirectoryDlg::CChooseDirectoryDlg(QWidget* parent, DriveSource drives)
    : CChooseDirectoryDlg(parent, std::move(drives),
                          Look{"Brannock Publisher - Choose Directory / Path", MakeFolderTreeImages(), true}) {}

CChooseDirectoryDlg::CChooseDirectoryDlg(QWidget* parent, DriveSource drives, const Look& look)
    : QDialog(parent), drives_(std::move(drives)) {
  setWindowTitle(look.caption);
  setWindowIcon(MakeChooserIcon());

  pathEdit_ = new QLineEdit(this);
  pathEdit_->setObjectName("pathEdit");
  pathEdit_->setReadOnly(true);
  tree_ = new CDirectoryTree(this, drives_);
  tree_->SetImageList(look.treeImages);
  tree_->SetImageIndices(0, 1, 2, 3);
  driveList_ = new CDriveComboBox(this, drives_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pathEdit_);
  layout->addWidget(tree_, 1);
  layout->addWidget(driveList_);
  if (look.offersDerive) {
    deriveBox_ = new QCheckBox("Derive all sub-project mappings from this path", this);
    layout->addWidget(deriveBox_);
  }
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton("Accept", QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &CChooseDirectoryDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CChooseDirectoryDlg::reject);
  connect(tree_, &CDirectoryTree::PathChanged, this, &CChooseDirectoryDlg::OnPathChanged);
  connect(driveList_, &QComboBox::activated, this, &CChooseDirectoryDlg::OnDriveChanged);
}

void CChooseDirectoryDlg::SetInitialPath(const std::string& path, bool derive) {
  if (path.empty()) return;
  RememberInitialPath(path);
  derive_ = derive;
}

void CChooseDirectoryDlg::RememberInitialPath(const std::string& path) {
  const std::string absolute = path[0] == '/' ? path : JoinFolderPath(platform::WorkingFolder(), path);
  driveMemory_.SetDrivePath(drives_.RootOf(absolute), absolute);
  initialPath_ = absolute;
}

void CChooseDirectoryDlg::showEvent(QShowEvent* event) {
  if (!initialised_) {
    initialised_ = true;
    OnInitDialog();
  }
  QDialog::showEvent(event);
}

void CChooseDirectoryDlg::OnInitDialog() {
  driveList_->FillDrives();
  const std::string startDrive = initialPath_.empty() ? std::string() : drives_.RootOf(initialPath_);
  tree_->DisplayPath(driveMemory_.GetDrivePath(startDrive));
  OnPathChanged();
  driveList_->SelectDrive(tree_->GetCurrentDrive());
  if (deriveBox_ != nullptr) {
    deriveBox_->setEnabled(!deriveDisabled_);
    deriveBox_->setChecked(derive_);
  }
}

void CChooseDirectoryDlg::OnPathChanged() {
  pathEdit_->setText(QString::fromStdString(tree_->GetCurrentPath()));
  chosenPath_ = pathEdit_->text().toStdString();
  driveMemory_.SetDrivePath(tree_->GetCurrentDrive(), chosenPath_);
}

void CChooseDirectoryDlg::OnDriveChanged(int item) {
  if (!driveList_->IsDriveReady(item)) {
    driveList_->SelectDrive(tree_->GetCurrentDrive());
    return;
  }
  const std::string drive = driveList_->DriveAt(item);
  tree_->SetCurrentDrive(drive);
  tree_->DisplayPath(driveMemory_.GetDrivePath(drive));
  OnPathChanged();
}

void CChooseDirectoryDlg::accept() {
  if (deriveBox_ != nullptr) derive_ = deriveBox_->isChecked();
  QDialog::accept();
}
