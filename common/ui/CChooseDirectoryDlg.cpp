#include "common/ui/CChooseDirectoryDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/ui/CDirectoryTree.h"
#include "common/ui/CDriveComboBox.h"
#include "common/ui/FolderImages.h"
#include "common/ui/FolderPaths.h"
#include "platform/Process.h"
#include "platform/fs.h"
#include "platform/ui/WindowPlacement.h"

CChooseDirectoryDlg::CChooseDirectoryDlg(QWidget* parent, DriveSource drives)
    : CChooseDirectoryDlg(parent, std::move(drives),
                          Look{QApplication::applicationName() + " - Choose Directory / Path", QApplication::applicationName(),
                               MakeFolderTreeImages(), true}) {}

CChooseDirectoryDlg::CChooseDirectoryDlg(QWidget* parent, DriveSource drives, const Look& look)
    : QDialog(parent), drives_(std::move(drives)), programName_(look.programName) {
  setWindowTitle(look.caption);
  setWindowIcon(MakeChooserIcon());

  pathEdit_ = new QLineEdit(this);
  pathEdit_->setObjectName("pathEdit");
  pathEdit_->setWhatsThis("The folder to choose: the highlighted one, or type a path. A folder that does not "
                          "exist is offered to be made.");
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
  QPushButton* newFolder = buttons->addButton("&New Folder...", QDialogButtonBox::ActionRole);
  newFolder->setObjectName("newFolder");
  newFolder->setWhatsThis("Makes a folder in the highlighted folder and highlights it.");
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &CChooseDirectoryDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CChooseDirectoryDlg::reject);
  connect(newFolder, &QPushButton::clicked, this, &CChooseDirectoryDlg::OnNewFolder);
  connect(tree_, &CDirectoryTree::PathChanged, this, &CChooseDirectoryDlg::OnPathChanged);
  connect(tree_, &QTreeWidget::currentItemChanged, this, &CChooseDirectoryDlg::OnHighlightChanged);
  connect(driveList_, &QComboBox::activated, this, &CChooseDirectoryDlg::OnDriveChanged);
  platform::ui::FinishDialog(*this);
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
  OnHighlightChanged();
  driveMemory_.SetDrivePath(tree_->GetCurrentDrive(), tree_->GetCurrentPath());
}

void CChooseDirectoryDlg::OnHighlightChanged() {
  chosenPath_ = tree_->GetHighlightedPath();
  pathEdit_->setText(QString::fromStdString(chosenPath_));
}

void CChooseDirectoryDlg::OnNewFolder() {
  const std::string parent = tree_->GetHighlightedPath();
  QInputDialog ask(this);
  ask.setObjectName("newFolderName");
  ask.setWindowTitle(programName_ + " - New Folder");
  ask.setLabelText("Name of the new folder in " + QString::fromStdString(parent) + ":");
  if (ask.exec() != QDialog::Accepted) return;
  const std::string name = ask.textValue().trimmed().toStdString();
  const std::string rule = NewFolderNameRule(name);
  if (!rule.empty()) {
    Tell("The folder cannot be made with this name.\n\n" + rule, platform::NotifyIcon::Warning);
    return;
  }
  const std::string folder = JoinFolderPath(parent, name);
  std::error_code error;
  if (platform::fs::Exists(folder)) {
    Tell("There is already a file or folder named " + name + " in " + parent + ".", platform::NotifyIcon::Warning);
  } else if (!std::filesystem::create_directory(folder, error)) {
    Tell("The folder " + folder + " could not be made: " + error.message(), platform::NotifyIcon::Error);
  } else {
    tree_->DisplayPath(folder);
    OnPathChanged();
  }
}

bool CChooseDirectoryDlg::EnsureFolder(const std::string& folder) {
  if (platform::fs::IsFolder(folder)) return true;
  if (platform::fs::Exists(folder)) {
    Tell(folder + " is not a folder.\n\nPath: type or pick a folder.", platform::NotifyIcon::Warning);
    return false;
  }
  if (Tell("The folder " + folder + " does not exist.\nDo you want to make it?", platform::NotifyIcon::Question,
           platform::NotifyButtons::YesNo) != platform::NotifyAnswer::Yes) {
    return false;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error) return true;
  Tell("The folder " + folder + " could not be made: " + error.message(), platform::NotifyIcon::Error);
  return false;
}

platform::NotifyAnswer CChooseDirectoryDlg::Tell(const std::string& text, platform::NotifyIcon icon,
                                                 platform::NotifyButtons buttons) const {
  return platform::Notify({text, programName_.toStdString(), icon, buttons});
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
  const std::string typed = pathEdit_->text().trimmed().toStdString();
  if (typed.empty()) {
    Tell("Path: type or pick a folder.", platform::NotifyIcon::Warning);
    return;
  }
  const char* home = std::getenv("HOME");
  const std::string folder = TypedFolderPath(typed, tree_->GetCurrentPath(), home != nullptr ? home : "/");
  if (!EnsureFolder(folder)) return;
  chosenPath_ = folder;
  if (deriveBox_ != nullptr) derive_ = deriveBox_->isChecked();
  QDialog::accept();
}
