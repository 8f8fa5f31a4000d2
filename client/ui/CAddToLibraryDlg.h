#pragma once
// Asks, before local files and folders are added, for the parent project (chosen on
// a copy of the library's tree), the local folder, the comments and the folder rules.
// The rules are one of the ten numbered rule sets of the user's profile, edited in
// place and saved to the profiles when the set is left or the dialog is confirmed.
#include <map>
#include <optional>
#include <string>

#include "client/library/ProjectTree.h"
#include "client/records/FolderRuleSet.h"
#include "client/rules/LibraryTreeItems.h"
#include "client/ui/ClientDialog.h"

class CBrannockDoc;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

class CAddToLibraryDlg : public ClientDialog, private LibraryTreeItems::Listener {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 139;

  // `presetParent` empty: the first project mapped to `presetFolder`, if any. With
  // `addsFolders` Add Now refuses a rule set that takes nothing from them.
  CAddToLibraryDlg(CBrannockDoc& document, const std::string& presetFolder, const std::string& presetParent,
                   bool addsFolders, QWidget* parent = nullptr);

  // After Add Now.
  const std::string& GetParentIndexName() const { return parentIndexName_; }
  const std::string& GetConfirmedFolder() const { return confirmedFolder_; }
  const std::string& GetComments() const { return comments_; }
  const FolderRuleSet& GetRuleSet() const { return rules_; }

  void accept() override;

 protected:
  bool HasTypedInput() const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // LibraryTreeItems::Listener: mirrors the copied tree into the tree control.
  void ItemsCleared() override;
  void ItemInserted(const LibraryTreeItems::Item& item, int row) override;
  void StateChanged(TreeItem, int) override {}

  QWidget* MakeRuleGroup(bool inclusion);
  void FillTree(const std::string& rootText);
  void FillRuleLists();
  void AddRule(bool inclusion);
  void DeleteRule(bool inclusion);
  void ChangeRuleSet(int position);
  void Browse();
  // Stores the working set as the profile's set `position` - 1 and saves the profiles.
  void SaveRuleSet(int position);
  std::optional<std::string> SelectedParent();
  static void Refuse(const std::string& text);

  CBrannockDoc& document_;
  ProjectTree copy_;
  LibraryTreeItems items_;
  std::map<TreeItem, QTreeWidgetItem*> shown_;
  FolderRuleSet rules_;
  bool modified_ = false;
  bool addsFolders_;
  int position_ = 1;
  std::string parentIndexName_;
  std::string confirmedFolder_;
  std::string comments_;

  QTreeWidget* tree_;
  QSpinBox* ruleSet_;
  QTreeWidget* lists_[2];  // inclusions, exclusions
  QComboBox* types_[2];
  QLineEdit* parameters_[2];
  QPlainTextEdit* commentsEdit_;
  QLineEdit* folderEdit_;
};
