#include "client/ui/CAddToLibraryDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/rules/AddToLibraryChecks.h"
#include "client/rules/LocalAddRules.h"
#include "client/ui/LibraryImages.h"
#include "client/ui/ModalRunner.h"
#include "common/ui/CChooseDirectoryDlg.h"
#include "platform/Notifier.h"

namespace {

using Checks = AddToLibraryChecks;

constexpr int kInclusion = 0;
constexpr int kExclusion = 1;

struct RuleControls {
  const char* group;
  const char* heading;
  int list, type, parameter, add;
};
constexpr RuleControls kRuleControls[2] = {
    {"Inclusions", "Inclusion Rule", 1007, 1005, 1006, 1008},
    {"Exclusions", "Exclusion Rule", 1012, 1009, 1010, 1011},
};

}  // namespace

CAddToLibraryDlg::CAddToLibraryDlg(CBrannockDoc& document, const std::string& presetFolder,
                                   const std::string& presetParent, bool addsFolders, QWidget* parent)
    : ClientDialog("CAddToLibraryDlg", kDialogId, "Add new project(s) and / or files to Library", parent),
      document_(document),
      items_(copy_),
      addsFolders_(addsFolders),
      parentIndexName_(presetParent),
      tree_(new QTreeWidget(this)),
      ruleSet_(new QSpinBox(this)),
      commentsEdit_(new QPlainTextEdit(this)),
      folderEdit_(new QLineEdit(this)) {
  if (parentIndexName_.empty()) {
    if (const ProjectNode* mapped = document.GetProjectTree().FindProjectByLocalFolder(presetFolder)) {
      parentIndexName_ = mapped->GetIndexName();
    }
  }
  SetControlHelp(tree_, 1004,
                 "The project the new projects and documents go into. Select the library itself "
                 "to add folders as top-level projects.");
  tree_->setHeaderHidden(true);
  SetControlHelp(ruleSet_, 1021, "The rule set used: each of the ten numbered sets keeps its own rules.");
  ruleSet_->setRange(1, Checks::kRuleSetCount);
  // The number beside the arrows is shown, not typed.
  if (auto* number = ruleSet_->findChild<QLineEdit*>()) {
    number->setReadOnly(true);
    number->setObjectName("1022");
  }
  SetControlHelp(commentsEdit_, 1066, "Your remarks on the added documents; they are kept with their versions.");
  SetControlHelp(folderEdit_, 1013, "The local folder the added projects are mapped to.");
  folderEdit_->setText(QString::fromStdString(presetFolder));
  auto* browse = new QPushButton("...", this);
  SetControlHelp(browse, 1014, "Choose the local folder.");
  connect(browse, &QPushButton::clicked, this, &CAddToLibraryDlg::Browse);

  auto* parentGroup = new QGroupBox("Confirm parent project", this);
  (new QVBoxLayout(parentGroup))->addWidget(tree_);
  auto* folderGroup = new QGroupBox("Local folder mapping", this);
  auto* folderLayout = new QHBoxLayout(folderGroup);
  folderLayout->addWidget(folderEdit_, 1);
  folderLayout->addWidget(browse);
  auto* commentsGroup = new QGroupBox("Your comments and remarks", this);
  (new QVBoxLayout(commentsGroup))->addWidget(commentsEdit_);
  auto* ruleSetRow = new QHBoxLayout;
  ruleSetRow->addWidget(new QLabel("Rule set:", this));
  ruleSetRow->addWidget(ruleSet_);
  ruleSetRow->addStretch(1);

  QDialogButtonBox* buttons = MakeButtonBox();
  AddButton(*buttons, 1, "Add Now", QDialogButtonBox::AcceptRole)->setDefault(true);
  AddButton(*buttons, 2, "Cancel", QDialogButtonBox::RejectRole);

  auto* layout = new QGridLayout(this);
  layout->addWidget(parentGroup, 0, 0, 3, 1);
  layout->addWidget(folderGroup, 0, 1);
  layout->addWidget(commentsGroup, 1, 1);
  layout->addLayout(ruleSetRow, 2, 1);
  layout->addWidget(MakeRuleGroup(true), 3, 0);
  layout->addWidget(MakeRuleGroup(false), 3, 1);
  layout->addWidget(buttons, 4, 0, 1, 2);

  FillTree(document.GetDisplayName());
  {
    platform::CriticalSection::Lock lock(document.GetApp().GetProfileLock());
    if (UserProfile* user = document.GetApp().GetCurrentUser()) {
      if (Checks::PrepareRuleSets(*user)) document.GetApp().SaveUsers();
      position_ = user->GetCurrentFolderRuleSet() + 1;
      rules_ = *user->GetFolderRuleSet(position_ - 1);
    }
  }
  ruleSet_->setValue(position_);
  connect(ruleSet_, &QSpinBox::valueChanged, this, &CAddToLibraryDlg::ChangeRuleSet);
  FillRuleLists();
  commentsEdit_->setFocus();
  resize(sizeHint().expandedTo(QSize(760, 560)));
}

QWidget* CAddToLibraryDlg::MakeRuleGroup(bool inclusion) {
  const int side = inclusion ? kInclusion : kExclusion;
  const RuleControls& ids = kRuleControls[side];
  auto* group = new QGroupBox(ids.group, this);
  auto* list = new QTreeWidget(group);
  SetControlHelp(list, ids.list,
                 inclusion ? "What is taken from the folders. Delete removes the selected rule."
                           : "What is left out of the folders. Delete removes the selected rule.");
  list->setRootIsDecorated(false);
  list->setHeaderLabels({ids.heading, "Parameter"});
  list->header()->resizeSection(0, 200);
  list->header()->resizeSection(1, 250);
  list->installEventFilter(this);
  auto* type = new QComboBox(group);
  SetControlHelp(type, ids.type, "The kind of rule to add.");
  for (std::int32_t value : inclusion ? Checks::InclusionTypes() : Checks::ExclusionTypes()) {
    type->addItem(QString::fromStdString(Checks::TypeText(value)), value);
  }
  type->setCurrentIndex(-1);
  auto* parameter = new QLineEdit(group);
  SetControlHelp(parameter, ids.parameter, "The name or pattern (* and ? allowed) the rule needs.");
  auto* add = new QPushButton("Add", group);
  SetControlHelp(add, ids.add, "Adds the rule to the list.");
  add->setAutoDefault(false);
  connect(add, &QPushButton::clicked, this, [this, inclusion] { AddRule(inclusion); });
  auto* row = new QHBoxLayout;
  row->addWidget(type);
  row->addWidget(parameter, 1);
  row->addWidget(add);
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(list);
  layout->addLayout(row);
  lists_[side] = list;
  types_[side] = type;
  parameters_[side] = parameter;
  return group;
}

// ----- the tree -----

void CAddToLibraryDlg::FillTree(const std::string& rootText) {
  copy_.GetRoot() = document_.GetProjectTree().GetRoot();
  copy_.IndexProjects();
  copy_.ClearTreeItems();
  items_.SetListener(this);
  items_.RebuildPlain(rootText);
  items_.SetListener(nullptr);
  QTreeWidgetItem* selected = nullptr;
  if (ProjectNode::IsRootIndexName(parentIndexName_)) {
    selected = shown_[items_.GetRoot()];
  } else {
    items_.VisitSubtree(items_.GetRoot(), [&](const LibraryTreeItems::Item& item) {
      const ProjectNode* node = item.id == items_.GetRoot() ? nullptr : copy_.FindProjectByTreeItem(item.id);
      if (node != nullptr && node->GetIndexName() == parentIndexName_) {
        selected = shown_[item.id];
      }
      return selected == nullptr;
    });
  }
  if (selected == nullptr) selected = shown_[items_.GetRoot()];
  for (QTreeWidgetItem* up = selected->parent(); up != nullptr; up = up->parent()) up->setExpanded(true);
  selected->setExpanded(true);
  tree_->setCurrentItem(selected);
}

void CAddToLibraryDlg::ItemsCleared() {
  tree_->clear();
  shown_.clear();
}

void CAddToLibraryDlg::ItemInserted(const LibraryTreeItems::Item& item, int row) {
  auto* shown = new QTreeWidgetItem(QStringList(QString::fromStdString(item.text)));
  shown->setIcon(0, LibraryImages::Image(item.image));
  shown->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(item.id));
  const auto parent = shown_.find(item.parent);
  if (parent == shown_.end()) {
    tree_->insertTopLevelItem(row, shown);
  } else {
    parent->second->insertChild(row, shown);
  }
  shown_[item.id] = shown;
}

std::optional<std::string> CAddToLibraryDlg::SelectedParent() {
  const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  const TreeItem id = selected.front()->data(0, Qt::UserRole).toULongLong();
  if (id == items_.GetRoot()) return std::string("Root");
  const ProjectNode* node = copy_.FindProjectByTreeItem(id);
  return node == nullptr ? parentIndexName_ : node->GetIndexName();
}

// ----- the rules -----

void CAddToLibraryDlg::FillRuleLists() {
  for (int side : {kInclusion, kExclusion}) {
    QTreeWidget* list = lists_[side];
    list->clear();
    const int count = side == kInclusion ? rules_.GetInclusionCount() : rules_.GetExclusionCount();
    for (int i = 0; i < count; ++i) {
      const FolderRule& rule = side == kInclusion ? rules_.GetInclusion(i) : rules_.GetExclusion(i);
      auto* row = new QTreeWidgetItem(list, QStringList{QString::fromStdString(Checks::TypeText(rule.GetType())),
                                                        QString::fromStdString(rule.GetParameter())});
      row->setData(0, Qt::UserRole, rule.GetType());
    }
  }
}

void CAddToLibraryDlg::AddRule(bool inclusion) {
  const int side = inclusion ? kInclusion : kExclusion;
  std::optional<std::int32_t> type;
  if (types_[side]->currentIndex() >= 0) type = types_[side]->currentData().toInt();
  std::string parameter = parameters_[side]->text().toStdString();
  if (const std::optional<std::string> refusal = Checks::CheckRule(inclusion, type, parameter)) {
    Refuse(*refusal);
    return;
  }
  if (inclusion) {
    rules_.AddInclusion(*type, parameter);
  } else {
    rules_.AddExclusion(*type, parameter);
  }
  parameters_[side]->clear();
  modified_ = true;
  FillRuleLists();
}

void CAddToLibraryDlg::DeleteRule(bool inclusion) {
  const platform::Notification question{inclusion ? Checks::kDeleteInclusion : Checks::kDeleteExclusion,
                                        QApplication::applicationDisplayName().toStdString(),
                                        platform::NotifyIcon::Question, platform::NotifyButtons::YesNo};
  if (platform::Notify(question) != platform::NotifyAnswer::Yes) return;
  const QList<QTreeWidgetItem*> selected = lists_[inclusion ? kInclusion : kExclusion]->selectedItems();
  if (selected.isEmpty()) return;
  const std::int32_t type = selected.front()->data(0, Qt::UserRole).toInt();
  const std::string parameter = selected.front()->text(1).toStdString();
  if (inclusion) {
    rules_.RemoveInclusion(type, parameter);
  } else {
    rules_.RemoveExclusion(type, parameter);
  }
  modified_ = true;
  FillRuleLists();
}

bool CAddToLibraryDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    for (bool inclusion : {true, false}) {
      if (watched == lists_[inclusion ? kInclusion : kExclusion]) {
        DeleteRule(inclusion);
        return true;
      }
    }
  }
  return ClientDialog::eventFilter(watched, event);
}

void CAddToLibraryDlg::ChangeRuleSet(int position) {
  if (modified_) SaveRuleSet(position_);
  position_ = position;
  platform::CriticalSection::Lock lock(document_.GetApp().GetProfileLock());
  const UserProfile* user = document_.GetApp().GetCurrentUser();
  const FolderRuleSet* set = user == nullptr ? nullptr : user->GetFolderRuleSet(position - 1);
  rules_ = set == nullptr ? FolderRuleSet() : *set;
  FillRuleLists();
}

void CAddToLibraryDlg::SaveRuleSet(int position) {
  platform::CriticalSection::Lock lock(document_.GetApp().GetProfileLock());
  if (UserProfile* user = document_.GetApp().GetCurrentUser()) {
    user->SetFolderRuleSet(position - 1, rules_);
    document_.GetApp().SaveUsers();
  }
  modified_ = false;
}

// ----- the folder and the outcome -----

void CAddToLibraryDlg::Browse() {
  CChooseDirectoryDlg chooser(this);
  chooser.SetInitialPath(folderEdit_->text().toStdString(), false);
  if (ModalRunner::Exec(chooser) == QDialog::Accepted) folderEdit_->setText(QString::fromStdString(chooser.GetPath()));
}

void CAddToLibraryDlg::accept() {
  const std::string comments = commentsEdit_->toPlainText().toStdString();
  const std::string folder = folderEdit_->text().toStdString();
  const std::optional<std::string> parent = SelectedParent();
  if (const std::optional<std::string> refusal =
          Checks::CheckAddNow(comments, folder, parent.has_value(), addsFolders_ ? &rules_ : nullptr)) {
    Refuse(*refusal);
    return;
  }
  parentIndexName_ = *parent;
  confirmedFolder_ = folder;
  comments_ = comments;
  if (modified_) SaveRuleSet(position_);
  ClientDialog::accept();
}

bool CAddToLibraryDlg::HasTypedInput() const {
  return !commentsEdit_->toPlainText().isEmpty() || !parameters_[kInclusion]->text().isEmpty() ||
         !parameters_[kExclusion]->text().isEmpty();
}

void CAddToLibraryDlg::Refuse(const std::string& text) {
  platform::Notify({text, QApplication::applicationDisplayName().toStdString(), platform::NotifyIcon::Error,
                    platform::NotifyButtons::Ok});
}
