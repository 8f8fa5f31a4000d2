#include "server/ui/CEditUsersDlg.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "common/DateTime.h"
#include "platform/CriticalSection.h"
#include "platform/Notifier.h"
#include "platform/ui/DialogKeys.h"
#include "platform/ui/WindowPlacement.h"
#include "server/admin/GroupAdministration.h"
#include "server/admin/UserAdministration.h"
#include "server/admin/RunningServer.h"
#include "server/admin/UserCertificateIssuer.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr const char* kInvalidDetails = "User details are invalid.  Do you want help?";
constexpr const char* kSaveFailed = UserAdministration::kSaveFailedText;
constexpr const char* kUserAbsent =
    "This user is absent from the user table.  The user has most likely been deleted by an administrative "
    "client user.  Changes cannot be saved.";
constexpr const char* kReAddQuestion = "Would you like to try re-adding this user to the user table?";
constexpr const char* kSaveFirstQuestion = "Do you wish to save changes to this user first ?";
constexpr const char* kOnlyTcpIp = "Only TCP/IP connections are supported.";

enum Column { kNameColumn, kTrapColumn, kLockColumn, kTypeColumn, kIpColumn, kPortColumn, kEmailColumn, kDialColumn };

QString Text(const std::string& text) { return QString::fromStdString(text); }

void Tell(const std::string& text, platform::NotifyIcon icon = platform::NotifyIcon::Warning) {
  platform::Notify({text, "", icon, platform::NotifyButtons::Ok});
}

const char* LockText(const UserAccount& account) { return account.IsLockedOut() ? "Locked Out" : "Unlocked"; }

QTreeWidgetItem* MakeRow(const UserAccount& account) {
  auto* row = new QTreeWidgetItem;
  row->setText(kNameColumn, Text(account.GetName()));
  row->setText(kTrapColumn, account.IsLockoutTrapSet() ? "On" : "Off");
  row->setText(kLockColumn, LockText(account));
  row->setText(kTypeColumn, UserAdministration::ConnectionTypeText(account.GetConnectionType()));
  row->setText(kIpColumn, Text(account.GetIpAddress()));
  if (!account.GetIpAddress().empty()) row->setText(kPortColumn, QString::number(account.GetPort()));
  row->setText(kEmailColumn, Text(account.GetEmailAddress()));
  row->setText(kDialColumn, Text(account.GetDialBackNumber()));
  row->setData(kNameColumn, Qt::UserRole, account.GetId());
  return row;
}

// The values an account takes from the settings whenever it is opened.
void CopyServerValues(const UserAccount& from, UserAccount& to) {
  to.SetServerAddress(from.GetServerAddress());
  to.SetServerPort(from.GetServerPort());
  to.SetDialInField4(from.GetDialInField4());
  to.SetServerMailField1(from.GetServerMailField1());
  to.SetServerMailField2(from.GetServerMailField2());
  to.SetServerMailField3(from.GetServerMailField3());
  to.SetServerMailField4(from.GetServerMailField4());
}

const char* const kGroupButtonNames[] = {"joinAllButton", "joinButton", "leaveButton", "leaveAllButton"};

// A group's row: its name, and its role and subtrees where the pointer rests.
QListWidgetItem* MakeGroupRow(const GroupAdministration::GroupView& group) {
  auto* row = new QListWidgetItem(Text(group.name));
  std::string over;
  for (const std::string& subtree : group.subtrees) over += (over.empty() ? "" : ", ") + subtree;
  row->setToolTip(Text(std::string(GroupRoleText(group.role)) + " over " + (over.empty() ? "the whole library" : over)));
  return row;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, bool secret = false) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  if (secret) edit->setEchoMode(QLineEdit::Password);
  return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* text, const char* name) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

CEditUsersDlg::CEditUsersDlg(CWexmoorDoc& document, QWidget* parent) : QDialog(parent), document_(document) {
  setWindowTitle("Edit Wexmoor Users");
  BuildControls();
}

void CEditUsersDlg::BuildControls() {
  userList_ = new QTreeWidget(this);
  userList_->setObjectName("userList");
  userList_->setRootIsDecorated(false);
  userList_->setSelectionMode(QAbstractItemView::SingleSelection);
  userList_->setHeaderLabels(
      {"Account Name", "Lockout Trap", "Lock Status", "Connection", "IP Address", "Port", "Email", "Dialback"});
  const int widths[] = {200, 80, 80, 80, 100, 50, 180, 90};
  // Never narrower than the heading.
  for (int column = 0; column < 8; ++column) {
    userList_->setColumnWidth(column, std::max(widths[column], userList_->header()->sectionSizeHint(column)));
  }

  nameEdit_ = MakeEdit(this, "nameEdit");
  passwordEdit_ = MakeEdit(this, "passwordEdit", true);
  typeBox_ = new QComboBox(this);
  typeBox_->setObjectName("typeBox");
  typeBox_->addItems({"<Unspecified>", "TCP/IP", "Email", "FTP", "RAS", "Dial-in"});
  auto* account = new QFormLayout;
  account->addRow("Username", nameEdit_);
  account->addRow("Password", passwordEdit_);
  account->addRow("Connection Type", typeBox_);

  auto* ipBox = new QGroupBox("User Brannock IP Details", this);
  auto* ipForm = new QFormLayout(ipBox);
  ipAddressEdit_ = MakeEdit(ipBox, "ipAddressEdit");
  portEdit_ = MakeEdit(ipBox, "portEdit");
  ipForm->addRow("Address", ipAddressEdit_);
  ipForm->addRow("Port", portEdit_);

  auto* emailBox = new QGroupBox("User Email Details", this);
  auto* emailForm = new QFormLayout(emailBox);
  emailAddressEdit_ = MakeEdit(emailBox, "emailAddressEdit");
  emailServerEdit_ = MakeEdit(emailBox, "emailServerEdit");
  emailAccountEdit_ = MakeEdit(emailBox, "emailAccountEdit");
  emailPasswordEdit_ = MakeEdit(emailBox, "emailPasswordEdit", true);
  emailForm->addRow("Address", emailAddressEdit_);
  emailForm->addRow("Server", emailServerEdit_);
  emailForm->addRow("Account Name", emailAccountEdit_);
  emailForm->addRow("Account Password", emailPasswordEdit_);

  auto* dialBox = new QGroupBox("User Dialback Details", this);
  auto* dialForm = new QFormLayout(dialBox);
  dialBackEdit_ = MakeEdit(dialBox, "dialBackEdit");
  dialInAccountEdit_ = MakeEdit(dialBox, "dialInAccountEdit");
  dialInPasswordEdit_ = MakeEdit(dialBox, "dialInPasswordEdit", true);
  dialForm->addRow("Number", dialBackEdit_);
  dialForm->addRow("Account Name", dialInAccountEdit_);
  dialForm->addRow("Account Password", dialInPasswordEdit_);

  auto* groupBox = new QGroupBox("Group Membership", this);
  auto* groupGrid = new QGridLayout(groupBox);
  groupsLeft_ = new QListWidget(groupBox);
  groupsLeft_->setObjectName("groupsNotJoined");
  groupsRight_ = new QListWidget(groupBox);
  groupsRight_->setObjectName("groupsJoined");
  for (QListWidget* groups : {groupsLeft_, groupsRight_}) {
    groups->setSelectionMode(QAbstractItemView::ExtendedSelection);
  }
  const char* const groupTexts[] = {"Join All Groups -->>>", "Join Group ->", "<- Leave Group",
                                    "<<<--Leave All Groups"};
  auto* groupButtonColumn = new QVBoxLayout;
  for (int i = 0; i < 4; ++i) {
    groupButtons_[i] = MakeButton(groupBox, groupTexts[i], kGroupButtonNames[i]);
    groupButtonColumn->addWidget(groupButtons_[i]);
  }
  groupGrid->addWidget(new QLabel("Groups the user is not in", groupBox), 0, 0);
  groupGrid->addWidget(new QLabel("Groups the user is in", groupBox), 0, 2);
  groupGrid->addWidget(groupsLeft_, 1, 0);
  groupGrid->addLayout(groupButtonColumn, 1, 1);
  groupGrid->addWidget(groupsRight_, 1, 2);

  certificateButton_ = MakeButton(this, "Create Connection Certificate ...", "certificateButton");
  saveButton_ = MakeButton(this, "Save Changes", "saveButton");
  addButton_ = MakeButton(this, "Add New User ", "addButton");
  deleteButton_ = MakeButton(this, "Delete User ...", "deleteButton");
  lockButton_ = MakeButton(this, "Toggle Lock Status", "lockButton");
  // Not a default button: Enter in a detail field saves the user instead of closing.
  auto* closeButton = MakeButton(this, "Close", "closeButton");
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {certificateButton_, saveButton_, addButton_, deleteButton_, lockButton_, closeButton}) {
    buttons->addWidget(button);
  }

  SetWhatsThisTexts();

  auto* details = new QGridLayout;
  details->addLayout(account, 0, 0);
  details->addWidget(ipBox, 1, 0);
  details->addWidget(emailBox, 0, 1, 2, 1);
  details->addWidget(dialBox, 0, 2, 2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(userList_);
  layout->addLayout(details);
  layout->addWidget(groupBox);
  layout->addLayout(buttons);

  connect(addButton_, &QPushButton::clicked, this, &CEditUsersDlg::AddNewUser);
  connect(saveButton_, &QPushButton::clicked, this, &CEditUsersDlg::SaveChanges);
  connect(deleteButton_, &QPushButton::clicked, this, &CEditUsersDlg::DeleteUser);
  connect(lockButton_, &QPushButton::clicked, this, &CEditUsersDlg::ToggleLockStatus);
  connect(certificateButton_, &QPushButton::clicked, this, &CEditUsersDlg::CreateCertificate);
  connect(closeButton, &QPushButton::clicked, this, [this] {
    if (ConfirmLeave()) accept();
  });
  for (QListWidget* groups : {groupsLeft_, groupsRight_}) {
    connect(groups, &QListWidget::itemSelectionChanged, this, &CEditUsersDlg::UpdateControls);
  }
  connect(groupButtons_[0], &QPushButton::clicked, this, [this] { JoinGroups(true); });
  connect(groupButtons_[1], &QPushButton::clicked, this, [this] { JoinGroups(false); });
  connect(groupButtons_[2], &QPushButton::clicked, this, [this] { LeaveGroups(false); });
  connect(groupButtons_[3], &QPushButton::clicked, this, [this] { LeaveGroups(true); });
  connect(typeBox_, &QComboBox::activated, this, &CEditUsersDlg::OnConnectionTypeChanged);
  for (QLineEdit* edit : DetailEdits()) {
    connect(edit, &QLineEdit::textEdited, this, &CEditUsersDlg::OnDetailEdited);
    connect(edit, &QLineEdit::returnPressed, this, &CEditUsersDlg::OnEnterInDetails);
  }
  connect(userList_, &QTreeWidget::itemSelectionChanged, this, &CEditUsersDlg::OnSelectionChanged);
  connect(userList_, &QTreeWidget::itemDoubleClicked, this, &CEditUsersDlg::OnDoubleClick);
  platform::ui::FinishDialog(*this);
}

void CEditUsersDlg::SetWhatsThisTexts() {
  const std::pair<QWidget*, const char*> texts[] = {
      {userList_, "Every account of the library. Select an account to see its details and to lock, delete "
                  "or certify it; double-click it to edit its details."},
      {nameEdit_, "The account's logon name, at most 255 bytes. It must not be \".\" or \"..\", begin with "
                  "\"!\" or hold \"/\", \"\\\" or control characters."},
      {passwordEdit_, "The account's password."},
      {typeBox_, "How the user connects to the library."},
      {ipAddressEdit_, "The user's IP address; may stay empty."},
      {portEdit_, "The user's port: empty, or a number from 0 to 65535."},
      {emailAddressEdit_, "The user's e-mail address."},
      {emailServerEdit_, "The user's mail server."},
      {emailAccountEdit_, "The user's mail account name."},
      {emailPasswordEdit_, "The user's mail account password."},
      {dialBackEdit_, "The number the server dials back."},
      {dialInAccountEdit_, "The user's dial-in account name."},
      {dialInPasswordEdit_, "The user's dial-in account password."},
      {certificateButton_, "Writes a connection certificate for the selected account. The account gets a new "
                           "logon code and key, so its earlier certificates stop working."},
      {saveButton_, "Saves the details shown into the user table."},
      {addButton_, "Starts a new account."},
      {deleteButton_, "Deletes the selected account."},
      {lockButton_, "Locks the selected account out, or lets it log on again."},
      {groupsLeft_, "The groups the selected account is not in. A group gives its members a role (reader, "
                    "author or publisher) over its projects; the pointer on a group shows which."},
      {groupsRight_, "The groups the selected account is in: its role in a project is the highest role of "
                     "these groups over that project."},
      {groupButtons_[0], "Puts the selected account into every group it is not in."},
      {groupButtons_[1], "Puts the selected account into the groups selected on the left."},
      {groupButtons_[2], "Takes the selected account out of the groups selected on the right."},
      {groupButtons_[3], "Takes the selected account out of every group."},
  };
  for (const auto& [widget, text] : texts) widget->setWhatsThis(text);
}

std::vector<QLineEdit*> CEditUsersDlg::DetailEdits() const {
  return {nameEdit_,         passwordEdit_,     ipAddressEdit_, portEdit_,         emailAddressEdit_,
          emailServerEdit_,  emailAccountEdit_, emailPasswordEdit_, dialBackEdit_, dialInAccountEdit_,
          dialInPasswordEdit_};
}

int CEditUsersDlg::exec() {
  OnInitDialog();
  return QDialog::exec();
}

void CEditUsersDlg::OnInitDialog() {
  selectedId_ = -1;
  working_.Reset();
  mode_ = kBrowsing;
  modified_ = false;
  FillUserList(-1);
  ShowSelectedAccount();
  UpdateControls();
}

void CEditUsersDlg::reject() {
  if (ConfirmLeave()) QDialog::reject();
}

bool CEditUsersDlg::ConfirmLeave() {
  if (mode_ == kBrowsing || !modified_) return true;
  const std::string question = "Save changes to user " + nameEdit_->text().toStdString() + "?";
  switch (platform::Notify({question, "", platform::NotifyIcon::Question, platform::NotifyButtons::SaveDiscardCancel})) {
    case platform::NotifyAnswer::Yes:
      SaveChanges();
      return mode_ == kBrowsing;
    case platform::NotifyAnswer::No:
      FinishSave(selectedId_);  // nothing saved: the list and the details as stored
      return true;
    default:
      return false;
  }
}

void CEditUsersDlg::keyPressEvent(QKeyEvent* event) {
  if (platform::ui::PressFocusedButton(*this, *event)) return;
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && focusWidget() == typeBox_) {
    OnEnterInDetails();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CEditUsersDlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible()) RefreshFromTable();
}

void CEditUsersDlg::RefreshFromTable() {
  if (mode_ == kBrowsing) {
    FillUserList(selectedId_);
    ShowSelectedAccount();
    UpdateControls();
    return;
  }
  const int edited = selectedId_;
  FillUserList(edited);
  selectedId_ = edited;
  if (edited < 0) userList_->clearSelection();
  UpdateControls();
}

void CEditUsersDlg::OnEnterInDetails() {
  if (mode_ == kBrowsing) return;
  modified_ = true;  // Enter saves what is shown, typed or not
  SaveChanges();
}

void CEditUsersDlg::ShowSelectedAccount() {
  std::optional<UserAccount> account;
  if (selectedId_ >= 0) {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    account = document_.GetSettings().FindUser(selectedId_);
  }
  AccountToControls(account.value_or(UserAccount()));
  FillGroupLists();
}

std::string CEditUsersDlg::SelectedAccountName() const {
  if (selectedId_ < 0 || mode_ == kAdding) return std::string();
  platform::CriticalSection::Lock hold(document_.GetUserTableSection());
  const std::optional<UserAccount> account = document_.GetSettings().FindUser(selectedId_);
  return account ? account->GetName() : std::string();
}

void CEditUsersDlg::FillGroupLists() {
  groupsLeft_->clear();
  groupsRight_->clear();
  const std::string user = SelectedAccountName();
  if (!user.empty()) {
    for (const GroupAdministration::GroupView& group : GroupAdministration(document_).List()) {
      const bool member = std::find(group.members.begin(), group.members.end(), user) != group.members.end();
      (member ? groupsRight_ : groupsLeft_)->addItem(MakeGroupRow(group));
    }
  }
  UpdateControls();
}

void CEditUsersDlg::JoinGroups(bool all) { ChangeMembership(true, all); }

void CEditUsersDlg::LeaveGroups(bool all) { ChangeMembership(false, all); }

void CEditUsersDlg::ChangeMembership(bool join, bool all) {
  const std::string user = SelectedAccountName();
  QListWidget* from = join ? groupsLeft_ : groupsRight_;
  if (user.empty()) return;
  std::vector<std::string> names;
  for (int i = 0; i < from->count(); ++i) {
    if (all || from->item(i)->isSelected()) names.push_back(from->item(i)->text().toStdString());
  }
  GroupAdministration groups(document_);
  std::string refusals;
  for (const std::string& name : names) {
    const GroupAdministration::Outcome outcome = join ? groups.Join(user, name) : groups.Leave(user, name);
    if (outcome.done) {
      Record(outcome.text);
    } else {
      refusals += (refusals.empty() ? "" : "\n") + outcome.text;
    }
  }
  FillGroupLists();
  if (!refusals.empty()) Tell(refusals);
}

void CEditUsersDlg::FillUserList(int selectId) {
  filling_ = true;
  userList_->clear();
  {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    const ServerSettings& settings = document_.GetSettings();
    for (int i = 0; i < settings.GetUserCount(); ++i) {
      if (const std::optional<UserAccount> account = settings.GetUser(i)) userList_->addTopLevelItem(MakeRow(*account));
    }
  }
  selectedId_ = -1;
  if (userList_->topLevelItemCount() > 0) {
    SelectRow(selectId < 0 ? userList_->topLevelItem(0)->data(kNameColumn, Qt::UserRole).toInt() : selectId);
    if (QTreeWidgetItem* row = userList_->currentItem(); row && row->isSelected()) {
      selectedId_ = row->data(kNameColumn, Qt::UserRole).toInt();
    }
  }
  filling_ = false;
  UpdateControls();
}

QTreeWidgetItem* CEditUsersDlg::RowOf(int id) const {
  for (int i = 0; i < userList_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = userList_->topLevelItem(i);
    if (row->data(kNameColumn, Qt::UserRole).toInt() == id) return row;
  }
  return nullptr;
}

void CEditUsersDlg::SelectRow(int id) {
  const bool wasFilling = filling_;
  filling_ = true;
  userList_->clearSelection();
  if (QTreeWidgetItem* row = RowOf(id)) {
    userList_->setCurrentItem(row);
    userList_->scrollToItem(row);
  }
  filling_ = wasFilling;
}

UserDetails CEditUsersDlg::ControlDetails() const {
  UserDetails details;
  details.name = nameEdit_->text().toStdString();
  details.password = passwordEdit_->text().toStdString();
  details.connectionType = typeBox_->currentIndex();
  details.ipAddress = ipAddressEdit_->text().toStdString();
  details.portText = portEdit_->text().toStdString();
  details.emailAddress = emailAddressEdit_->text().toStdString();
  details.emailServer = emailServerEdit_->text().toStdString();
  details.emailAccount = emailAccountEdit_->text().toStdString();
  details.emailPassword = emailPasswordEdit_->text().toStdString();
  details.dialBackNumber = dialBackEdit_->text().toStdString();
  details.dialInAccount = dialInAccountEdit_->text().toStdString();
  details.dialInPassword = dialInPasswordEdit_->text().toStdString();
  return details;
}

void CEditUsersDlg::AccountToControls(const UserAccount& account) {
  const UserDetails details = UserDetails::FromAccount(account);
  nameEdit_->setText(Text(details.name));
  passwordEdit_->setText(Text(details.password));
  typeBox_->setCurrentIndex(details.connectionType);
  ipAddressEdit_->setText(Text(details.ipAddress));
  portEdit_->setText(Text(details.portText));
  emailAddressEdit_->setText(Text(details.emailAddress));
  emailServerEdit_->setText(Text(details.emailServer));
  emailAccountEdit_->setText(Text(details.emailAccount));
  emailPasswordEdit_->setText(Text(details.emailPassword));
  dialBackEdit_->setText(Text(details.dialBackNumber));
  dialInAccountEdit_->setText(Text(details.dialInAccount));
  dialInPasswordEdit_->setText(Text(details.dialInPassword));
}

void CEditUsersDlg::UpdateControls() {
  const bool selected = selectedId_ >= 0;
  const bool editing = mode_ != kBrowsing;
  nameEdit_->setEnabled(editing);
  passwordEdit_->setEnabled(editing);
  typeBox_->setEnabled(mode_ == kAdding);
  lockButton_->setEnabled(mode_ == kBrowsing && selected);
  certificateButton_->setEnabled(selected);
  deleteButton_->setEnabled(selected);
  addButton_->setEnabled(true);
  if (!editing) {
    UpdateDetailFields(UserAccount::kRas);  // the type that enables none
  } else if (typeBox_->currentIndex() != UserAccount::kUnknown) {
    UpdateDetailFields(typeBox_->currentIndex());
  }
  const UserDetails details = ControlDetails();
  saveButton_->setEnabled(editing && modified_ && details.IsComplete());
  // Says why Save Changes is grey while the details are incomplete.
  saveButton_->setToolTip(editing ? Text(details.Refusal()) : QString());
  // Membership belongs to a stored account: not while one is being added.
  const bool member = selected && mode_ != kAdding;
  for (QListWidget* groups : {groupsLeft_, groupsRight_}) groups->setEnabled(member);
  for (int i = 0; i < 4; ++i) {
    QListWidget* groups = i < 2 ? groupsLeft_ : groupsRight_;
    const bool all = i == 0 || i == 3;
    groupButtons_[i]->setEnabled(member && groups->count() > 0 && (all || !groups->selectedItems().isEmpty()));
  }
}

void CEditUsersDlg::UpdateDetailFields(int connectionType) {
  const bool ip = connectionType == UserAccount::kTcpIp;
  const bool email = connectionType == UserAccount::kEmail;
  const bool dial = connectionType == UserAccount::kDialIn || connectionType == UserAccount::kFtp;
  for (QLineEdit* edit : {ipAddressEdit_, portEdit_}) edit->setEnabled(ip);
  for (QLineEdit* edit : {emailAddressEdit_, emailServerEdit_, emailAccountEdit_, emailPasswordEdit_}) {
    edit->setEnabled(email);
  }
  for (QLineEdit* edit : {dialBackEdit_, dialInAccountEdit_, dialInPasswordEdit_}) edit->setEnabled(dial);
}

void CEditUsersDlg::OnConnectionTypeChanged(int item) {
  modified_ = true;
  if (item > UserAccount::kTcpIp) {
    typeBox_->setCurrentIndex(UserAccount::kTcpIp);
    Tell(kOnlyTcpIp, platform::NotifyIcon::Information);
  }
  UpdateControls();
}

void CEditUsersDlg::OnDetailEdited() {
  modified_ = true;
  UpdateControls();
}

void CEditUsersDlg::CopySettingsIntoAccount() {
  const ServerSettings& settings = document_.GetSettings();
  working_.SetServerAddress(settings.GetServerAddress());
  working_.SetServerPort(settings.GetPort());
  working_.SetDialInField4(settings.GetMailSetting5());
  working_.SetServerMailField1(settings.GetMailSetting1());
  working_.SetServerMailField2(settings.GetMailSetting2());
  working_.SetServerMailField3(settings.GetMailSetting3());
  working_.SetServerMailField4(settings.GetMailSetting4());
}

void CEditUsersDlg::AddNewUser() {
  if (modified_ && AskYesNo(kSaveFirstQuestion)) {
    SaveChanges();
    if (modified_ || mode_ != kBrowsing) return;
  }
  working_.Reset();
  int id = -1;
  {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    id = document_.GetSettings().AllocateUserId();
  }
  if (id == -1) {
    Tell(kSaveFailed);
    return;
  }
  working_.SetId(id);
  CopySettingsIntoAccount();
  AccountToControls(working_);
  typeBox_->setCurrentIndex(UserAccount::kTcpIp);  // the one type that works
  mode_ = kAdding;
  FillGroupLists();   // empty: the new account joins groups once it is saved
  nameEdit_->setFocus();
}

void CEditUsersDlg::OnDoubleClick() {
  if (filling_ || mode_ == kAdding || (mode_ == kEditing && modified_)) return;
  std::optional<UserAccount> account;
  {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    account = document_.GetSettings().FindUser(selectedId_);
  }
  if (!account) return;
  working_ = *account;
  CopySettingsIntoAccount();
  mode_ = kEditing;
  modified_ = false;
  AccountToControls(working_);
  UpdateControls();
}

void CEditUsersDlg::OnSelectionChanged() {
  if (filling_) return;
  const QList<QTreeWidgetItem*> rows = userList_->selectedItems();
  if (rows.isEmpty()) return;
  const int rowId = rows.front()->data(kNameColumn, Qt::UserRole).toInt();
  if (mode_ != kBrowsing) {
    SaveChanges();
    if (mode_ != kBrowsing) {
      SelectRow(selectedId_);  // the edited account stays the selected one
      return;
    }
  }
  selectedId_ = rowId;
  SelectRow(rowId);
  modified_ = false;
  mode_ = kBrowsing;
  ShowSelectedAccount();
  UpdateControls();
}

void CEditUsersDlg::FinishSave(int selectId) {
  mode_ = kBrowsing;
  modified_ = false;
  FillUserList(selectId);
  working_.Reset();
  ShowSelectedAccount();
  UpdateControls();
}

void CEditUsersDlg::SaveChanges() {
  if (!modified_ || mode_ == kBrowsing) {
    FinishSave(selectedId_);
    return;
  }
  const UserDetails details = ControlDetails();
  UserAccount edited = working_;
  const std::string refusal = details.Refusal();
  if (!refusal.empty() || !details.ApplyTo(edited) || !edited.Validate()) {
    const std::string text = refusal.empty() ? kInvalidDetails : std::string(kInvalidDetails) + "\n\n" + refusal;
    if (AskYesNo(text) && requestHelp_) requestHelp_(kUserDetailsHelpContext);
    return;
  }
  working_ = edited;
  if (mode_ == kAdding) {
    if (AddWorkingAccount()) FinishSave(working_.GetId());
    return;
  }

  bool found = false;
  bool saved = false;
  {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    ServerSettings& settings = document_.GetSettings();
    // Only what the administrator edits: a logon or certificate since the account
    // was opened keeps its code, key and lock-out state.
    found = settings.UpdateUser(selectedId_, [this, &details](UserAccount& stored) {
      details.ApplyTo(stored);
      CopyServerValues(working_, stored);
    });
    saved = found && settings.SaveUsers(document_.GetRootPath());
  }
  if (found) {
    if (saved) {
      Record("User " + working_.GetName() + " changed");
      FinishSave(selectedId_);
    } else {
      Tell(kSaveFailed);
    }
    return;
  }

  Tell(kUserAbsent);
  if (!AskYesNo(kReAddQuestion)) {
    FinishSave(selectedId_);  // the id is gone, so nothing is selected
    return;
  }
  if (AddWorkingAccount()) FinishSave(working_.GetId());
}

bool CEditUsersDlg::AddWorkingAccount() {
  switch (UserAdministration(document_).Add(working_)) {
    case UserAdministration::Result::Done:
      Record("User " + working_.GetName() + " added");
      return true;
    case UserAdministration::Result::Duplicate:
      Tell(UserAdministration::DuplicateText(working_.GetName()));
      return false;
    default:
      Tell(kSaveFailed);
      return false;
  }
}

void CEditUsersDlg::DeleteUser() {
  if (selectedId_ < 0) {
    Tell("You must select a user to delete");
    return;
  }
  std::optional<UserAccount> account;
  {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    account = document_.GetSettings().FindUser(selectedId_);
  }
  if (!account || !AskYesNo("User " + account->GetName() + " will be deleted.  Proceed ?")) return;
  const UserAdministration::Result result = UserAdministration(document_).Remove(selectedId_);
  if (result == UserAdministration::Result::Done) Record("User " + account->GetName() + " deleted");
  FillUserList(result == UserAdministration::Result::NotSaved ? selectedId_ : -1);
  if (mode_ == kBrowsing) ShowSelectedAccount();
  if (result == UserAdministration::Result::NotSaved) Tell(kSaveFailed);
}

void CEditUsersDlg::ToggleLockStatus() {
  if (selectedId_ < 0) {
    Tell("You must select a user first");
    return;
  }
  const UserAdministration::Result result =
      UserAdministration(document_).Change(selectedId_, [](UserAccount& account) {
        if (account.IsLockedOut()) {
          account.Unlock();
        } else {
          account.LockOut();
        }
      });
  if (result == UserAdministration::Result::Absent) return;
  std::optional<UserAccount> account;
  {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    account = document_.GetSettings().FindUser(selectedId_);
  }
  if (QTreeWidgetItem* row = RowOf(selectedId_); row != nullptr && account) {
    row->setText(kLockColumn, LockText(*account));
  }
  if (result == UserAdministration::Result::Done && account) {
    Record("User " + account->GetName() + (account->IsLockedOut() ? " locked out" : " unlocked"));
  }
  if (result == UserAdministration::Result::NotSaved) Tell(kSaveFailed);
}

void CEditUsersDlg::CreateCertificate() {
  if (selectedId_ < 0) {
    Tell("You must select a user for whom you wish to create a certificate");
    return;
  }
  std::optional<UserAccount> account;
  {
    platform::CriticalSection::Lock hold(document_.GetUserTableSection());
    account = document_.GetSettings().FindUser(selectedId_);
  }
  std::string defaultName;
  if (account) {
    DateTime now;
    now.SetNow();
    defaultName = account->GetName() + "_" + now.Format();
  }
  const std::string path = choosePath_ ? choosePath_(defaultName) : ChoosePathInteractively(defaultName);
  if (path.empty()) return;

  std::string reason;
  switch (UserCertificateIssuer(document_).Issue(selectedId_, path, reason)) {
    case UserCertificateIssuer::Result::Written:
      Record(UserCertificateIssuer::WrittenText(path));
      Tell(UserCertificateIssuer::WrittenText(path), platform::NotifyIcon::Information);
      break;
    case UserCertificateIssuer::Result::UserAbsent:
      break;
    case UserCertificateIssuer::Result::UsersNotSaved:
      Tell(kSaveFailed);
      break;
    case UserCertificateIssuer::Result::FileNotWritten:
      Tell(UserCertificateIssuer::NotWrittenText(path, reason));
      break;
    case UserCertificateIssuer::Result::FileNotWrittenUsersNotRestored:
      Tell(UserCertificateIssuer::NotWrittenText(path, reason));
      Tell(kSaveFailed);
      break;
  }
}

void CEditUsersDlg::PrepareCertificateFileDialog(QFileDialog& dialog, const std::string& defaultName) {
  dialog.setWindowTitle("Specify Certificate Name");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter("Certificate Files (*.wxc)");
  dialog.setDefaultSuffix("wxc");
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.selectFile(Text(defaultName));
}

std::string CEditUsersDlg::ChoosePathInteractively(const std::string& defaultName) {
  QFileDialog dialog(this);
  PrepareCertificateFileDialog(dialog, defaultName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
  return dialog.selectedFiles().front().toStdString();
}

bool CEditUsersDlg::AskYesNo(const std::string& text) {
  return platform::Notify({text, "", platform::NotifyIcon::Question, platform::NotifyButtons::YesNo}) ==
         platform::NotifyAnswer::Yes;
}

void CEditUsersDlg::Record(const std::string& what) const {
  if (recorder_ != nullptr) recorder_->RecordChange(what);
}
