#pragma once
// The administrator's dialog over the library's groups: the list of groups, and for
// the selected one its name, its role and the projects it covers, ticked in the
// library's tree (none ticked: the whole library). New, rename, save and delete go
// through GroupAdministration, as the shell's commands do: each change is saved at
// once and recorded, and a refusal is shown with its rule.
#include <QDialog>
#include <string>
#include <vector>

class CWexmoorDoc;
class RunningServer;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CGroupsDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpTopic = 200005;

  explicit CGroupsDlg(CWexmoorDoc& document, QWidget* parent = nullptr);

  // Each change saved is recorded on the running server's console (none: not recorded).
  void SetChangeRecorder(const RunningServer* server) { recorder_ = server; }

  // A new group of the name, role and ticked projects shown.
  void NewGroup();
  // The selected group takes the name shown.
  void RenameGroup();
  // The selected group takes the role and ticked projects shown.
  void SaveGroup();
  // After a question (default No) deletes the selected group.
  void DeleteGroup();

  // Escape and the close button: edits not saved are given up only when the user agrees.
  void reject() override;

 private:
  void FillGroups(const std::string& select);
  void ShowSelected();
  // Selects the row of `name` without acting on it.
  void SelectRow(const std::string& name);
  std::string SelectedGroup() const;
  std::vector<std::string> TickedProjects() const;
  void SetTicks(const std::vector<std::string>& paths);
  // Records a done change and shows the groups afresh, or tells the refusal; true when done.
  bool Apply(bool done, const std::string& text, const std::string& select);

  CWexmoorDoc& document_;
  const RunningServer* recorder_ = nullptr;
  bool modified_ = false;
  std::string shownGroup_;   // the group whose details the fields show; "" for none
  bool shownHasSubtrees_ = false;
  bool filling_ = false;
  QListWidget* groupList_ = nullptr;
  QLineEdit* nameEdit_ = nullptr;
  QComboBox* roleBox_ = nullptr;
  QTreeWidget* projects_ = nullptr;
  std::vector<std::pair<std::string, QTreeWidgetItem*>> projectItems_;   // by project path
  QPushButton* renameButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
};
