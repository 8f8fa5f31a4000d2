#pragma once
// The administrator's dialog over the library's user table: a list of every
// account, the details of one account (a working copy, never the table's own
// object), and buttons to add, save, delete, lock or unlock an account and to
// write its connection certificate. It browses (mode 3), adds (mode 1) or edits
// the selected account (mode 2); it keeps its state between showings.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "server/admin/UserDetails.h"
#include "server/store/UserAccount.h"

class CWexmoorDoc;
class RunningServer;
class QComboBox;
class QFileDialog;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CEditUsersDlg : public QDialog {
  Q_OBJECT

 public:
  enum Mode { kAdding = 1, kEditing = 2, kBrowsing = 3 };
  // The help topic of the user details.
  static constexpr int kUserDetailsHelpContext = 200000;

  // Asks for the certificate's full path, offering `defaultName`; "" when cancelled.
  using PathChooser = std::function<std::string(const std::string& defaultName)>;
  // Opens the help topic with that context.
  using HelpRequest = std::function<void(int context)>;

  explicit CEditUsersDlg(CWexmoorDoc& document, QWidget* parent = nullptr);

  // Runs the dialog modally, starting each showing in browsing mode with the list
  // filled afresh.
  int exec() override;
  // Escape and the window's close button: unsaved changes are first offered for
  // saving (Save, Discard, Cancel); Cancel or a failed save keeps the dialog open.
  void reject() override;

  // The default asks with a save-file dialog (no overwrite prompt).
  void SetPathChooser(PathChooser chooser) { choosePath_ = std::move(chooser); }
  // Without one, a "Yes" to the help question opens nothing.
  void SetHelpRequest(HelpRequest request) { requestHelp_ = std::move(request); }
  // Each change saved is recorded on the running server's console (none: not recorded).
  void SetChangeRecorder(const RunningServer* server) { recorder_ = server; }

  int GetMode() const { return mode_; }
  int GetSelectedId() const { return selectedId_; }
  bool IsModified() const { return modified_; }

  // The save-file dialog of the default chooser, unshown (for its settings).
  static void PrepareCertificateFileDialog(QFileDialog& dialog, const std::string& defaultName);

  // The button handlers; every failure is reported in a message box.
  // Starts a new account (adding) after offering to save unsaved changes.
  void AddNewUser();
  // Adding: adds the account. Editing: copies only the edited fields into the
  // table's account. Either saves the users file and returns to browsing; invalid
  // details, a duplicate or a failed save keep the mode.
  void SaveChanges();
  // After confirmation removes the selected account and saves the users file.
  void DeleteUser();
  // Locks the selected account out, or unlocks it, and saves the users file.
  void ToggleLockStatus();
  // Writes the selected account's certificate to the path chosen (see
  // UserCertificateIssuer for what holds when that fails).
  void CreateCertificate();
  // The selected account joins (or leaves) the groups selected in the list of
  // groups it is not in (or is in), or every group of that list with `all`. Each
  // change is saved at once and recorded; the refused ones are named together.
  void JoinGroups(bool all);
  void LeaveGroups(bool all);

 protected:
  // Enter presses the focused button; in the connection type box it saves, as in
  // every other detail field.
  void keyPressEvent(QKeyEvent* event) override;
  // Coming back to the dialog shows the accounts as the table holds them now: the
  // shell may have changed them meanwhile.
  void changeEvent(QEvent* event) override;

 private:
  void BuildControls();
  // The texts F1 shows for the focused control.
  void SetWhatsThisTexts();
  std::vector<QLineEdit*> DetailEdits() const;
  void OnInitDialog();
  // True when the dialog may close: nothing unsaved, or saved or discarded on asking.
  bool ConfirmLeave();
  // Enter in a detail field: saves the details shown, or says what is wrong.
  void OnEnterInDetails();
  // Browsing: the selected account's details (blank without a selection).
  void ShowSelectedAccount();
  // Rebuilds the list from the table and selects the row of `selectId` (< 0: the
  // first row); the selected id becomes the selected row's, -1 for none.
  void FillUserList(int selectId);
  // The groups the selected account is not in (left) and is in (right).
  void FillGroupLists();
  void ChangeMembership(bool join, bool all);
  // The stored name of the selected account; "" without one.
  std::string SelectedAccountName() const;
  // The list afresh from the table; browsing, the selected account's details too.
  // Details being typed are kept, and so is the account they belong to.
  void RefreshFromTable();
  // Selects and shows the row of `id` without acting on it (none: no selection).
  void SelectRow(int id);
  QTreeWidgetItem* RowOf(int id) const;  // null when the list has none
  UserDetails ControlDetails() const;
  void AccountToControls(const UserAccount& account);
  void UpdateControls();
  void UpdateDetailFields(int connectionType);

  void OnConnectionTypeChanged(int item);
  void OnDetailEdited();
  void OnSelectionChanged();
  void OnDoubleClick();
  // The settings' server address, port and mail values into the working account.
  void CopySettingsIntoAccount();
  // Adds the working account to the table; a refusal is reported.
  bool AddWorkingAccount();
  // Back to browsing: list refilled selecting `selectId`, working account reset.
  void FinishSave(int selectId);
  std::string ChoosePathInteractively(const std::string& defaultName);
  static bool AskYesNo(const std::string& text);
  void Record(const std::string& what) const;

  CWexmoorDoc& document_;
  UserAccount working_;
  bool modified_ = false;
  int mode_ = kBrowsing;
  int selectedId_ = -1;
  bool filling_ = false;
  PathChooser choosePath_;
  HelpRequest requestHelp_;
  const RunningServer* recorder_ = nullptr;

  QTreeWidget* userList_ = nullptr;
  QListWidget* groupsLeft_ = nullptr;
  QListWidget* groupsRight_ = nullptr;
  QComboBox* typeBox_ = nullptr;
  QLineEdit* nameEdit_ = nullptr;
  QLineEdit* passwordEdit_ = nullptr;
  QLineEdit* ipAddressEdit_ = nullptr;
  QLineEdit* portEdit_ = nullptr;
  QLineEdit* emailAddressEdit_ = nullptr;
  QLineEdit* emailServerEdit_ = nullptr;
  QLineEdit* emailAccountEdit_ = nullptr;
  QLineEdit* emailPasswordEdit_ = nullptr;
  QLineEdit* dialBackEdit_ = nullptr;
  QLineEdit* dialInAccountEdit_ = nullptr;
  QLineEdit* dialInPasswordEdit_ = nullptr;
  QPushButton* certificateButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* addButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  QPushButton* lockButton_ = nullptr;
  QPushButton* groupButtons_[4] = {};
};
