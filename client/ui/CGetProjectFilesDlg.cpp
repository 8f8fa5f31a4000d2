#include "client/ui/CGetProjectFilesDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/ui/ModalRunner.h"
#include "common/FileHelpers.h"
#include "common/ui/CChooseDirectoryDlg.h"
#include "platform/Notifier.h"

namespace {

constexpr int kPathColumns = 50;

std::optional<std::string> ChooseWithDialog(QWidget* parent, const std::string& start) {
  CChooseDirectoryDlg dialog(parent);
  dialog.SetInitialPath(start, false);
  if (ModalRunner::Exec(dialog) != QDialog::Accepted) return std::nullopt;
  return dialog.GetPath();
}

CGetProjectFilesDlg::FolderChooser& Chooser() {
  static CGetProjectFilesDlg::FolderChooser chooser = ChooseWithDialog;
  return chooser;
}

struct Choice {
  int id;
  const char* text;
  const char* help;
};

constexpr Choice kBackupChoices[] = {
    {1026, "Overwrite existing documents in local folders", "Local copies are replaced without a backup."},
    {1080, "Backup existing documents in local folders before overwriting",
     "Every local copy is saved below the backup root folder before it is replaced."},
    {1081, "Backup write enabled documents in local folders before overwriting",
     "Local copies you can write to are saved below the backup root folder before they are replaced."},
    {1082, "Backup existing documents in local folders only if different from retrieved documents",
     "Local copies that differ from the library's are saved below the backup root folder before they are "
     "replaced."},
};

constexpr Choice kVersionChoices[] = {
    {1057, "Get original document versions", "Gets the versions the edition or supplement was made with."},
    {1056, "Get latest document versions", "Gets the newest version of every document."},
};

QButtonGroup* AddChoices(QWidget* owner, QLayout& layout, const Choice* first, const Choice* last) {
  auto* group = new QButtonGroup(owner);
  int value = 0;
  for (const Choice* choice = first; choice != last; ++choice) {
    auto* button = new QRadioButton(choice->text, owner);
    ClientDialog::SetControlHelp(button, choice->id, choice->help);
    group->addButton(button, value++);
    layout.addWidget(button);
  }
  return group;
}

QCheckBox* AddCheck(QWidget* owner, int id, const char* text, const char* help) {
  auto* box = new QCheckBox(text, owner);
  ClientDialog::SetControlHelp(box, id, help);
  return box;
}

QPushButton* AddBrowseButton(QWidget* owner, int id, const char* help) {
  auto* button = new QPushButton("...", owner);
  ClientDialog::SetControlHelp(button, id, help);
  button->setMaximumWidth(owner->fontMetrics().horizontalAdvance(button->text()) * 4);
  return button;
}

QLineEdit* AddPathEdit(QWidget* owner, int id, const char* help) {
  auto* edit = new QLineEdit(owner);
  ClientDialog::SetControlHelp(edit, id, help);
  edit->setMinimumWidth(owner->fontMetrics().averageCharWidth() * kPathColumns);
  return edit;
}

void CheckChoice(QButtonGroup& group, int value) {
  if (QAbstractButton* button = group.button(value)) {
    button->setChecked(true);
    return;
  }
  // No choice made yet: the group shows none.
  group.setExclusive(false);
  for (QAbstractButton* button : group.buttons()) button->setChecked(false);
  group.setExclusive(true);
}

// Only an absolute path: a relative one would land wherever the program runs.
bool IsUsableBackupRoot(const std::string& root) {
  return !root.empty() && root.front() == '/' && CreateFolderPath(root);
}

}  // namespace

void CGetProjectFilesDlg::SetFolderChooser(FolderChooser chooser) {
  Chooser() = chooser ? std::move(chooser) : FolderChooser(ChooseWithDialog);
}

CGetProjectFilesDlg::CGetProjectFilesDlg(CBrannockDoc& document, QWidget* parent)
    : ClientDialog("CGetProjectFilesDlg", kDialogId, Caption(" - Get Project Files"), parent),
      document_(document) {
  BuildControls();
}

void CGetProjectFilesDlg::BuildControls() {
  auto* backupBox = new QGroupBox("Backup options", this);
  auto* backupLayout = new QVBoxLayout(backupBox);
  backupGroup_ = AddChoices(this, *backupLayout, std::begin(kBackupChoices), std::end(kBackupChoices));
  auto* rootRow = new QHBoxLayout;
  rootRow->addWidget(new QLabel("Backup root folder", this));
  backupRootEdit_ = AddPathEdit(this, 1058, "The folder below which the backups of replaced documents are kept.");
  rootRow->addWidget(backupRootEdit_, 1);
  QPushButton* rootBrowse = AddBrowseButton(this, 1059, "Chooses the backup root folder.");
  rootRow->addWidget(rootBrowse);
  backupLayout->addLayout(rootRow);

  auto* editionsBox = new QGroupBox("Editions and supplements", this);
  auto* editionsLayout = new QVBoxLayout(editionsBox);
  editionBox_ = AddCheck(this, 1055, "Get edition and all of its supplements",
                         "Gets the supplements of the edition together with it.");
  editionsLayout->addWidget(editionBox_);
  versionGroup_ = AddChoices(this, *editionsLayout, std::begin(kVersionChoices), std::end(kVersionChoices));

  createProjectFolderBox_ = AddCheck(this, 1042, "Create project folder in specified local folder",
                                     "Makes a folder named after the project inside the local folder.");
  subProjectsBox_ = AddCheck(this, 1030, "Get sub-projects", "Gets the projects below this one as well.");
  writeableBox_ = AddCheck(this, 1060, "Make documents writeable", "Retrieved documents can be written to.");
  mappedBox_ = AddCheck(this, 1085, "Use mapped local folders",
                        "Puts every project's documents into the local folder it is mapped to.");
  connect(mappedBox_, &QCheckBox::clicked, this, &CGetProjectFilesDlg::OnUseMappedFolders);

  projectEdit_ = AddPathEdit(this, 1023, "The project whose documents are retrieved.");
  projectEdit_->setReadOnly(true);
  localFolderEdit_ = AddPathEdit(this, 1024, "The folder that receives the documents.");
  localFolderBrowse_ = AddBrowseButton(this, 1077, "Chooses the local folder.");
  auto* paths = new QGridLayout;
  paths->addWidget(new QLabel("Project", this), 0, 0);
  paths->addWidget(projectEdit_, 0, 1, 1, 2);
  paths->addWidget(new QLabel("Local folder", this), 1, 0);
  paths->addWidget(localFolderEdit_, 1, 1);
  paths->addWidget(localFolderBrowse_, 1, 2);

  connect(rootBrowse, &QPushButton::clicked, this, [this] { Browse(backupRoot_); });
  connect(localFolderBrowse_, &QPushButton::clicked, this, [this] { Browse(localFolder_); });

  QDialogButtonBox* buttons = MakeButtonBox();
  AddButton(*buttons, 1078, "Retrieve Now", QDialogButtonBox::AcceptRole)->setDefault(true);
  AddButton(*buttons, 1079, "Cancel", QDialogButtonBox::RejectRole);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(paths);
  for (QCheckBox* box : {mappedBox_, createProjectFolderBox_, subProjectsBox_, writeableBox_}) {
    layout->addWidget(box);
  }
  layout->addWidget(editionsBox);
  layout->addWidget(backupBox);
  layout->addWidget(buttons);
}

void CGetProjectFilesDlg::showEvent(QShowEvent* event) {
  ClientDialog::showEvent(event);
  if (initialised_) return;
  initialised_ = true;
  OnInitDialog();
}

void CGetProjectFilesDlg::OnInitDialog() {
  getSubProjects_ = true;
  versions_ = 0;
  useMappedFolders_ = true;
  projectEdit_->setEnabled(false);
  localFolderEdit_->setEnabled(false);
  localFolderBrowse_->setEnabled(false);
  subProjectsBox_->setEnabled(true);
  createProjectFolderBox_->setEnabled(true);

  const ProjectNode* project =
      document_.GetProjectTree().FindProjectByTreeItem(document_.GetCurrentProjectItem());
  if (project == nullptr) {
    PutFields();
    platform::NotifyText(kProjectNotFound, platform::NotifyIcon::Warning);
    // Cancelled from the dialog's own loop, which has not started yet.
    QTimer::singleShot(0, this, &CGetProjectFilesDlg::Dismiss);
    return;
  }
  projectIndexName_ = project->GetIndexName();
  const bool publication = project->IsEdition() || project->IsSupplement();
  editionAndSupplements_ = false;
  editionBox_->setEnabled(false);
  for (int i = 0; publication && i < project->GetChildCount(); ++i) {
    if (project->GetChild(i)->IsSupplement()) {
      editionAndSupplements_ = true;
      editionBox_->setEnabled(true);
      break;
    }
  }
  for (QAbstractButton* button : versionGroup_->buttons()) button->setEnabled(publication);

  {
    CBrannockApp& app = document_.GetApp();
    platform::CriticalSection::Lock lock(app.GetProfileLock());
    if (const UserProfile* user = app.GetCurrentUser()) backupRoot_ = user->GetBackupRoot();
  }
  PutFields();
}

const ProjectNode* CGetProjectFilesDlg::FindProject() const {
  if (projectIndexName_.empty()) return nullptr;
  return document_.GetProjectTree().FindProjectByPath(projectIndexName_);
}

void CGetProjectFilesDlg::PutFields() {
  CheckChoice(*backupGroup_, backupOption_);
  CheckChoice(*versionGroup_, versions_);
  backupRootEdit_->setText(QString::fromStdString(backupRoot_));
  localFolderEdit_->setText(QString::fromStdString(localFolder_));
  projectEdit_->setText(QString::fromStdString(projectText_));
  createProjectFolderBox_->setChecked(createProjectFolder_);
  subProjectsBox_->setChecked(getSubProjects_);
  editionBox_->setChecked(editionAndSupplements_);
  writeableBox_->setChecked(makeWriteable_);
  mappedBox_->setChecked(useMappedFolders_);
}

void CGetProjectFilesDlg::ReadFields() {
  backupOption_ = backupGroup_->checkedId();
  versions_ = versionGroup_->checkedId();
  backupRoot_ = backupRootEdit_->text().trimmed().toStdString();
  localFolder_ = localFolderEdit_->text().trimmed().toStdString();
  projectText_ = projectEdit_->text().toStdString();
  createProjectFolder_ = createProjectFolderBox_->isChecked();
  getSubProjects_ = subProjectsBox_->isChecked();
  editionAndSupplements_ = editionBox_->isChecked();
  makeWriteable_ = writeableBox_->isChecked();
  useMappedFolders_ = mappedBox_->isChecked();
}

void CGetProjectFilesDlg::OnUseMappedFolders() {
  ReadFields();
  localFolderEdit_->setEnabled(!useMappedFolders_);
  localFolderBrowse_->setEnabled(!useMappedFolders_);
}

void CGetProjectFilesDlg::Browse(std::string& field) {
  ReadFields();
  std::optional<std::string> chosen;
  {
    OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
    chosen = Chooser()(this, field);
  }
  if (document_.IsClosePending()) {
    Dismiss();
    return;
  }
  if (chosen) field = *chosen;
  PutFields();
}

void CGetProjectFilesDlg::accept() {
  ReadFields();
  supplements_.RemoveAll();
  const ProjectNode* project = FindProject();
  if (project == nullptr) {
    platform::NotifyText(kProjectNotFound, platform::NotifyIcon::Warning);
    Dismiss();
    return;
  }
  if (editionAndSupplements_) {
    for (int i = 0; i < project->GetChildCount(); ++i) {
      const ProjectNode& child = *project->GetChild(i);
      if (child.IsSupplement()) supplements_.Add(child.GetSupplement());
    }
  }
  if (backupOption_ > 0 && !IsUsableBackupRoot(backupRoot_)) {
    platform::NotifyText(kInvalidBackupRoot, platform::NotifyIcon::Warning);
    return;
  }
  {
    CBrannockApp& app = document_.GetApp();
    platform::CriticalSection::Lock lock(app.GetProfileLock());
    if (UserProfile* user = app.GetCurrentUser()) user->SetBackupRoot(backupRoot_);
  }
  ClientDialog::accept();
}
