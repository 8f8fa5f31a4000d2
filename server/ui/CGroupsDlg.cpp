#include "server/ui/CGroupsDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "platform/Notifier.h"
#include "platform/ui/WindowPlacement.h"
#include "server/admin/GroupAdministration.h"
#include "server/admin/ProjectPlaces.h"
#include "server/admin/RunningServer.h"
#include "server/store/CWexmoorDoc.h"

namespace {

constexpr const char* kLevelMark = "->";
const char* const kRoles[] = {"reader", "author", "publisher"};

QString Text(const std::string& text) { return QString::fromStdString(text); }

QPushButton* MakeButton(QWidget* parent, const char* text, const char* name) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

void Tell(const std::string& text) {
  platform::Notify({text, "Wexmoor", platform::NotifyIcon::Warning, platform::NotifyButtons::Ok});
}

bool Ask(const std::string& question) {
  return platform::Notify({question, "Wexmoor", platform::NotifyIcon::Question, platform::NotifyButtons::YesNo}) ==
         platform::NotifyAnswer::Yes;
}

}  // namespace

CGroupsDlg::CGroupsDlg(CWexmoorDoc& document, QWidget* parent) : QDialog(parent), document_(document) {
  setWindowTitle("Wexmoor Groups");
  groupList_ = new QListWidget(this);
  groupList_->setObjectName("groupList");
  groupList_->setWhatsThis("The library's groups. Select one to see its role and projects.");
  nameEdit_ = new QLineEdit(this);
  nameEdit_->setObjectName("groupName");
  nameEdit_->setWhatsThis("The group's name: what New Group makes, or what Rename Group gives the selected group.");
  roleBox_ = new QComboBox(this);
  roleBox_->setObjectName("groupRole");
  for (const char* role : kRoles) roleBox_->addItem(role);
  roleBox_->setWhatsThis("What the members may do in the group's projects: a reader sees and retrieves, an author "
                         "also checks out, checks in and adds, a publisher also publishes, deletes and renames.");
  projects_ = new QTreeWidget(this);
  projects_->setObjectName("groupProjects");
  projects_->setHeaderLabel("Projects covered");
  projects_->setWhatsThis("Tick the projects the group covers; each covers its sub-projects too.");
  std::map<std::string, QTreeWidgetItem*> byPath;
  for (const ProjectPlace& place : ListProjectPlaces(document_)) {
    const std::size_t cut = place.path.rfind(kLevelMark);
    const auto parent = cut == std::string::npos ? byPath.end() : byPath.find(place.path.substr(0, cut));
    auto* item = parent == byPath.end() ? new QTreeWidgetItem(projects_) : new QTreeWidgetItem(parent->second);
    item->setText(0, Text(cut == std::string::npos ? place.path : place.path.substr(cut + 2)));
    item->setCheckState(0, Qt::Unchecked);
    byPath[place.path] = item;
    projectItems_.emplace_back(place.path, item);
  }
  projects_->expandAll();

  auto* form = new QFormLayout;
  form->addRow("Group &name", nameEdit_);
  form->addRow("&Role", roleBox_);
  auto* newButton = MakeButton(this, "New Group", "newButton");
  renameButton_ = MakeButton(this, "Rename Group", "renameButton");
  saveButton_ = MakeButton(this, "Save Group", "saveButton");
  deleteButton_ = MakeButton(this, "Delete Group ...", "deleteButton");
  auto* closeButton = MakeButton(this, "Close", "closeButton");
  newButton->setWhatsThis("Makes a group of the name, role and projects shown.");
  renameButton_->setWhatsThis("Gives the selected group the name shown.");
  saveButton_->setWhatsThis("Gives the selected group the role and projects shown.");
  deleteButton_->setWhatsThis("Deletes the selected group; its members keep their other groups.");
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {newButton, renameButton_, saveButton_, deleteButton_, closeButton}) {
    buttons->addWidget(button);
  }
  auto* details = new QVBoxLayout;
  details->addLayout(form);
  details->addWidget(projects_);
  details->addWidget(new QLabel("None ticked: the whole library.", this));
  auto* panes = new QHBoxLayout;
  panes->addWidget(groupList_);
  panes->addLayout(details, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(panes);
  layout->addLayout(buttons);

  connect(newButton, &QPushButton::clicked, this, &CGroupsDlg::NewGroup);
  connect(renameButton_, &QPushButton::clicked, this, &CGroupsDlg::RenameGroup);
  connect(saveButton_, &QPushButton::clicked, this, &CGroupsDlg::SaveGroup);
  connect(deleteButton_, &QPushButton::clicked, this, &CGroupsDlg::DeleteGroup);
  connect(closeButton, &QPushButton::clicked, this, &CGroupsDlg::reject);
  connect(groupList_, &QListWidget::itemSelectionChanged, this, [this] {
    if (filling_) return;
    if (modified_ && SelectedGroup() != shownGroup_ && !Ask("Give up the changes to " + shownGroup_ + " not saved?")) {
      SelectRow(shownGroup_);   // the details shown stay those of the group they belong to
      return;
    }
    ShowSelected();
  });
  const auto edited = [this] {
    if (!filling_) modified_ = true;
  };
  connect(nameEdit_, &QLineEdit::textEdited, this, edited);
  connect(roleBox_, &QComboBox::activated, this, edited);
  connect(projects_, &QTreeWidget::itemChanged, this, edited);
  FillGroups("");
  platform::ui::FinishDialog(*this);
}

void CGroupsDlg::FillGroups(const std::string& select) {
  filling_ = true;
  groupList_->clear();
  for (const GroupAdministration::GroupView& group : GroupAdministration(document_).List()) {
    auto* row = new QListWidgetItem(Text(group.name), groupList_);
    if (group.isDefault) row->setToolTip("New accounts join this group");
    if (group.name == select || (select.empty() && groupList_->count() == 1)) row->setSelected(true);
  }
  filling_ = false;
  ShowSelected();
}

std::string CGroupsDlg::SelectedGroup() const {
  const QList<QListWidgetItem*> rows = groupList_->selectedItems();
  return rows.isEmpty() ? std::string() : rows.front()->text().toStdString();
}

void CGroupsDlg::SelectRow(const std::string& name) {
  filling_ = true;
  for (int i = 0; i < groupList_->count(); ++i) {
    groupList_->item(i)->setSelected(groupList_->item(i)->text().toStdString() == name);
  }
  filling_ = false;
}

void CGroupsDlg::ShowSelected() {
  filling_ = true;
  const std::string name = SelectedGroup();
  shownGroup_ = name;
  std::vector<std::string> subtrees;
  for (const GroupAdministration::GroupView& group : GroupAdministration(document_).List()) {
    if (group.name != name) continue;
    nameEdit_->setText(Text(group.name));
    roleBox_->setCurrentIndex(std::max(0, static_cast<int>(group.role) - 1));
    subtrees = group.subtrees;
  }
  SetTicks(subtrees);
  shownHasSubtrees_ = !subtrees.empty();
  for (QPushButton* button : {renameButton_, saveButton_, deleteButton_}) button->setEnabled(!name.empty());
  modified_ = false;
  filling_ = false;
}

std::vector<std::string> CGroupsDlg::TickedProjects() const {
  std::vector<std::string> paths;
  for (const auto& [path, item] : projectItems_) {
    if (item->checkState(0) == Qt::Checked) paths.push_back(path);
  }
  return paths;
}

void CGroupsDlg::SetTicks(const std::vector<std::string>& paths) {
  for (const auto& [path, item] : projectItems_) {
    const bool ticked = std::find(paths.begin(), paths.end(), path) != paths.end();
    item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
  }
}

bool CGroupsDlg::Apply(bool done, const std::string& text, const std::string& select) {
  if (!done) {
    Tell(text);
    return false;
  }
  if (recorder_ != nullptr) recorder_->RecordChange(text);
  modified_ = false;
  FillGroups(select);
  return true;
}

void CGroupsDlg::NewGroup() {
  const std::string name = nameEdit_->text().trimmed().toStdString();
  const GroupAdministration::Outcome outcome =
      GroupAdministration(document_).Add(name, kRoles[roleBox_->currentIndex()], TickedProjects());
  Apply(outcome.done, outcome.text, name);
}

void CGroupsDlg::RenameGroup() {
  const std::string name = nameEdit_->text().trimmed().toStdString();
  const GroupAdministration::Outcome outcome = GroupAdministration(document_).Rename(shownGroup_, name);
  Apply(outcome.done, outcome.text, name);
}

void CGroupsDlg::SaveGroup() {
  const std::string selected = shownGroup_;
  const std::vector<std::string> ticked = TickedProjects();
  // Nothing ticked widens the group to the whole library: never by accident, nor
  // because the projects it covered are gone.
  if (ticked.empty() && shownHasSubtrees_ &&
      !Ask("With no project ticked, " + selected + " covers the whole library. Save it so?")) {
    return;
  }
  const GroupAdministration::Outcome outcome =
      GroupAdministration(document_).Set(selected, kRoles[roleBox_->currentIndex()], ticked);
  Apply(outcome.done, outcome.text, selected);
}

void CGroupsDlg::DeleteGroup() {
  const std::string selected = shownGroup_;
  if (selected.empty() || !Ask("Delete the group " + selected + "? Its members lose the rights it gives.")) return;
  const GroupAdministration::Outcome outcome = GroupAdministration(document_).Delete(selected);
  Apply(outcome.done, outcome.text, "");
}

void CGroupsDlg::reject() {
  if (modified_ && !Ask("Close and give up the changes not saved?")) return;
  QDialog::reject();
}
