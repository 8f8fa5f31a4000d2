#pragma once
// The options of getting a project's documents from the library (Retrieve): how
// existing local documents are backed up and where, sub-projects, editions with
// their supplements, original or latest versions, writeable copies and the local
// folder. Retrieve Now checks the backup root, collects the supplements to get and
// stores the backup root in the current user's profile.
#include <functional>
#include <optional>
#include <string>

#include "common/EditionList.h"
#include "common/SupplementList.h"
#include "client/ui/ClientDialog.h"

class CBrannockDoc;
class ProjectNode;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QShowEvent;

class CGetProjectFilesDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 146;
  static constexpr const char* kProjectNotFound = "The project you selected was not found";
  static constexpr const char* kInvalidBackupRoot = "The backup root path is invalid";

  // Chooses a folder starting at `start`; none when the user cancels. The program
  // runs the folder-choosing dialog; tests install their own.
  using FolderChooser = std::function<std::optional<std::string>(QWidget* parent, const std::string& start)>;
  static void SetFolderChooser(FolderChooser chooser);

  CGetProjectFilesDlg(CBrannockDoc& document, QWidget* parent = nullptr);

  void SetBackupOption(int option) { backupOption_ = option; }
  int GetBackupOption() const { return backupOption_; }
  void SetCreateProjectFolder(bool create) { createProjectFolder_ = create; }
  bool GetCreateProjectFolder() const { return createProjectFolder_; }
  void SetGetSubProjects(bool get) { getSubProjects_ = get; }
  bool GetGetSubProjects() const { return getSubProjects_; }
  bool GetEditionAndSupplements() const { return editionAndSupplements_; }
  void SetProjectText(const std::string& text) { projectText_ = text; }
  const std::string& GetProjectText() const { return projectText_; }
  void SetLocalFolder(const std::string& folder) { localFolder_ = folder; }
  const std::string& GetLocalFolder() const { return localFolder_; }
  const std::string& GetBackupRoot() const { return backupRoot_; }
  // 0: original versions, 1: latest versions.
  int GetVersions() const { return versions_; }
  bool GetMakeWriteable() const { return makeWriteable_; }
  bool GetUseMappedFolders() const { return useMappedFolders_; }
  void SetEditionList(const EditionList& editions) { editions_ = editions; }
  const EditionList& GetEditionList() const { return editions_; }
  const SupplementList& GetSupplements() const { return supplements_; }

  // Retrieve Now.
  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  // Set-up once the dialog runs, after the caller's presets.
  void OnInitDialog();
  // The project the dialog was opened for; null when it has gone from the tree since.
  const ProjectNode* FindProject() const;
  void PutFields();
  void ReadFields();
  void OnUseMappedFolders();
  void Browse(std::string& field);

  CBrannockDoc& document_;
  QButtonGroup* backupGroup_ = nullptr;
  QButtonGroup* versionGroup_ = nullptr;
  QLineEdit* backupRootEdit_ = nullptr;
  QLineEdit* localFolderEdit_ = nullptr;
  QLineEdit* projectEdit_ = nullptr;
  QPushButton* localFolderBrowse_ = nullptr;
  QCheckBox* createProjectFolderBox_ = nullptr;
  QCheckBox* subProjectsBox_ = nullptr;
  QCheckBox* editionBox_ = nullptr;
  QCheckBox* writeableBox_ = nullptr;
  QCheckBox* mappedBox_ = nullptr;

  int backupOption_ = -1;
  std::string backupRoot_;
  bool createProjectFolder_ = false;
  bool getSubProjects_ = false;
  bool editionAndSupplements_ = false;
  std::string localFolder_;
  int versions_ = -1;
  std::string projectText_;
  bool makeWriteable_ = false;
  bool useMappedFolders_ = false;
  EditionList editions_;
  SupplementList supplements_;
  std::string projectIndexName_;
  bool initialised_ = false;
};
