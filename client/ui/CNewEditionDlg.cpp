#include "client/ui/CNewEditionDlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/rules/PublicationPreparation.h"
#include "client/ui/CRenameDlg.h"
#include "client/ui/ItemDecoration.h"
#include "client/ui/LibraryImages.h"
#include "client/ui/WaitCursor.h"
#include "common/NameValidation.h"
#include "common/StringHelpers.h"
#include "platform/Notifier.h"

namespace {

constexpr int kWaitTickMs = 10;
constexpr int kFirstVersionRadio = 1051;
constexpr int kRowDataRole = Qt::UserRole;

void Refuse(const std::string& text) {
  platform::Notify({text, "", platform::NotifyIcon::Warning, platform::NotifyButtons::Ok});
}

}  // namespace

CNewEditionDlg::CNewEditionDlg(CBrannockDoc& document, QWidget* parent)
    : ClientDialog("CNewEditionDlg", kDialogId, kCaption, parent), document_(document) {
  BuildControls();
  OnInitDialog();
}

void CNewEditionDlg::BuildControls() {
  purpose_ = new QLabel(this);
  purpose_->setObjectName("1078");
  purpose_->setWordWrap(true);
  auto* group = new QGroupBox("Edition and supplement consolidation", this);
  basedUponBox_ = new QCheckBox("Based upon existing edition / supplement(s)", group);
  SetControlHelp(basedUponBox_, 1035, "Tick to base the new edition on an existing edition and its supplements.");
  editionsCombo_ = new QComboBox(group);
  SetControlHelp(editionsCombo_, 1046, "The existing edition the new edition is based upon.");
  supplementsList_ = new QTreeWidget(group);
  SetControlHelp(supplementsList_, 1047,
                 "The supplements of the chosen edition. Click a supplement's icon to include or leave it out.");
  supplementsList_->setRootIsDecorated(false);
  supplementsList_->setColumnCount(2);
  supplementsList_->setHeaderLabels({"Edition Supplements", "Creation Time"});
  supplementsList_->header()->resizeSection(0, 250);
  supplementsList_->header()->resizeSection(1, 150);
  supplementsList_->setMinimumWidth(420);
  supplementsList_->setIconSize(QSize(LibraryImages::kSize, LibraryImages::kSize));
  supplementsList_->viewport()->installEventFilter(this);

  versionGroup_ = new QButtonGroup(this);
  const char* versionTexts[] = {"Use latest edition and supplement versions", "Use latest project versions",
                                "Use original edition and supplement versions"};
  const char* versionHelp[] = {
      "Each document takes its latest version in the edition and the included supplements.",
      "Each document takes the latest version of the project it comes from.",
      "Each document takes the version the edition and supplements were made with."};
  const int versionIds[] = {kFirstVersionRadio, 1073, 1074};
  auto* groupLayout = new QGridLayout(group);
  groupLayout->addWidget(basedUponBox_, 0, 0, 1, 2);
  groupLayout->addWidget(new QLabel("Edition", group), 1, 0);
  groupLayout->addWidget(editionsCombo_, 1, 1);
  groupLayout->addWidget(new QLabel("Supplements", group), 2, 0, Qt::AlignTop);
  groupLayout->addWidget(supplementsList_, 2, 1);
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(versionTexts[i], group);
    SetControlHelp(radio, versionIds[i], versionHelp[i]);
    versionGroup_->addButton(radio, i);
    groupLayout->addWidget(radio, 3 + i, 0, 1, 2);
  }

  nameEdit_ = new QLineEdit(this);
  SetControlHelp(nameEdit_, 1072, "The name of the new edition or supplement; it must differ from its siblings'.");
  commentsEdit_ = new QPlainTextEdit(this);
  SetControlHelp(commentsEdit_, 1015, "Your remarks on the new edition or supplement.");
  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel("Name", this), 0, 0);
  fields->addWidget(nameEdit_, 0, 1);
  fields->addWidget(new QLabel("Comments", this), 1, 0, Qt::AlignTop);
  fields->addWidget(commentsEdit_, 1, 1);

  QDialogButtonBox* buttons = MakeButtonBox();
  showDetails_ = AddButton(*buttons, 1075, "Show Details", QDialogButtonBox::AcceptRole);
  showDetails_->setDefault(true);
  cancel_ = AddButton(*buttons, 1076, "Cancel", QDialogButtonBox::RejectRole);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(purpose_);
  layout->addWidget(group);
  layout->addLayout(fields);
  layout->addWidget(buttons);

  connect(basedUponBox_, &QCheckBox::toggled, this, [this](bool on) { EnableConsolidation(on); });
  connect(editionsCombo_, &QComboBox::activated, this, [this] { OnEditionChosen(); });
}

ProjectNode* CNewEditionDlg::FindProject() const {
  if (!hasProject_) return nullptr;
  return document_.GetProjectTree().FindProjectByPath(projectIndexName_);
}

void CNewEditionDlg::OnInitDialog() {
  ProjectTree& tree = document_.GetProjectTree();
  const ProjectNode* project = tree.FindProjectByTreeItem(document_.GetCurrentProjectItem());
  hasProject_ = project != nullptr;
  projectIndexName_ = project == nullptr ? std::string() : project->GetIndexName();
  purpose_->setText(QString::fromStdString(PurposeText(project)));
  for (int c = 0; project != nullptr && c < project->GetChildCount(); ++c) {
    if (project->GetChild(c)->IsEdition()) editions_.Add(project->GetChild(c)->GetEdition());
  }
  if (editions_.GetCount() > 0) editions_.SetCurrentIndex(0);

  basedUponBox_->setEnabled(true);
  EnableConsolidation(false);
  if (project != nullptr && project->IsEdition()) {
    basedUponBox_->setEnabled(false);   // a new supplement: only name and comments
    return;
  }
  FillEditions();
  FillSupplements();
  basedUponBox_->setChecked(false);
  versionGroup_->button(0)->setChecked(true);
  if (editionsCombo_->count() == 0) basedUponBox_->setEnabled(false);
}

std::string CNewEditionDlg::PurposeText(const ProjectNode* project) {
  if (project == nullptr) return "Choose a project in the tree first: a new edition is made of a project.";
  if (project->IsSupplement()) return "A supplement takes nothing new: choose its project or its edition.";
  if (project->IsEdition()) {
    return "Makes a new supplement of the edition \"" + project->GetName() + "\" of the project \"" +
           project->GetEdition().GetProjectName() + "\".";
  }
  return "Makes a new edition of the project \"" + project->GetName() + "\".";
}

void CNewEditionDlg::FillEditions() {
  editionsCombo_->clear();
  for (int e = 0; e < editions_.GetCount(); ++e) {
    const EditionRecord edition = editions_.GetAt(e);
    const std::string text = edition.GetName() + " (" + edition.GetCreationTime().FormatForDisplay(4) + ")";
    editionsCombo_->addItem(QString::fromStdString(text), e);
  }
  editionsCombo_->setCurrentIndex(editions_.GetCurrentIndex());
}

void CNewEditionDlg::FillSupplements() {
  supplementsList_->clear();
  supplements_.RemoveAll();
  included_.clear();
  const ProjectNode* project = FindProject();
  const int current = editions_.GetCurrentIndex();
  if (project == nullptr || current < 0) return;
  const std::string editionIndexName = editions_.GetAt(current).GetInternalName();
  for (int c = 0; c < project->GetChildCount(); ++c) {
    const ProjectNode& edition = *project->GetChild(c);
    if (edition.GetIndexName() != editionIndexName) continue;
    for (int s = 0; s < edition.GetChildCount(); ++s) {
      const ProjectNode& supplement = *edition.GetChild(s);
      if (!supplement.IsSupplement()) continue;
      supplements_.Add(supplement.GetSupplement());
      auto* row = new QTreeWidgetItem(supplementsList_);
      row->setText(0, QString::fromStdString(supplement.GetName()));
      row->setText(1, QString::fromStdString(supplement.GetSupplement().GetCreationTime().FormatForDisplay(4)));
      row->setIcon(0, LibraryImages::Image(LibraryImages::kIncluded));
      row->setData(0, kRowDataRole, static_cast<int>(included_.size()));
      included_.push_back(true);
    }
    break;
  }
}

void CNewEditionDlg::OnEditionChosen() {
  const QVariant data = editionsCombo_->currentData();
  editions_.SetCurrentIndex(data.isValid() ? data.toInt() : -1);
  FillSupplements();
}

void CNewEditionDlg::EnableConsolidation(bool enabled) {
  editionsCombo_->setEnabled(enabled);
  supplementsList_->setEnabled(enabled);
  for (QAbstractButton* radio : versionGroup_->buttons()) radio->setEnabled(enabled);
}

bool CNewEditionDlg::IsIncluded(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < included_.size() && included_[static_cast<std::size_t>(row)];
}

void CNewEditionDlg::ToggleSupplement(QTreeWidgetItem* row) {
  const int index = row->data(0, kRowDataRole).toInt();
  if (index < 0 || static_cast<std::size_t>(index) >= included_.size()) return;
  const bool include = !included_[static_cast<std::size_t>(index)];
  included_[static_cast<std::size_t>(index)] = include;
  row->setIcon(0, LibraryImages::Image(include ? LibraryImages::kIncluded : LibraryImages::kLeftOut));
}

bool CNewEditionDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == supplementsList_->viewport() && event->type() == QEvent::MouseButtonRelease) {
    const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
    QTreeWidgetItem* row = supplementsList_->itemAt(position);
    // Only a click on the icon changes the inclusion; the text only selects.
    if (row != nullptr && ItemDecoration::Rect(*supplementsList_, row, LibraryImages::kSize).contains(position)) {
      ToggleSupplement(row);
    }
  }
  return ClientDialog::eventFilter(watched, event);
}

bool CNewEditionDlg::HasTypedInput() const {
  return !nameEdit_->text().isEmpty() || !commentsEdit_->toPlainText().isEmpty();
}

void CNewEditionDlg::accept() {
  WaitCursor wait;
  std::string name = nameEdit_->text().toStdString();
  std::string comments = commentsEdit_->toPlainText().toStdString();
  TrimString(name);
  TrimString(comments);
  if (name.empty() || comments.empty()) {
    Refuse(PublicationPreparation::kNameAndComments);
    return;
  }
  const ProjectNode* project = FindProject();
  // Without a project nothing can be prepared: confirming would publish from nowhere.
  if (project == nullptr) {
    Dismiss();
    return;
  }
  if (const std::optional<std::string> refusal = PublicationPreparation::CheckName(*project, editions_, name, comments)) {
    Refuse(*refusal);
    return;
  }
  if (!IsValidStoredName(name)) {
    Refuse(CRenameDlg::UnusableNameText(name));
    return;
  }
  showDetails_->setEnabled(false);
  cancel_->setEnabled(false);
  const bool prepared = basedUponBox_->isChecked() ? PrepareBasedUpon(name, comments) : PrepareFresh(name, comments);
  if (prepared) {
    QDialog::accept();
  } else {
    Dismiss();
  }
}

bool CNewEditionDlg::PrepareFresh(const std::string& name, const std::string& comments) {
  const ProjectNode* project = FindProject();
  document_.QueueBatch(PublicationPreparation::ListBatch(*project, true));
  if (!WaitForQueue()) return false;
  // Looked up again: the replies may have replaced the tree.
  project = FindProject();
  if (project == nullptr) return false;
  PublicationPreparation preparation(document_.GetProjectTree(), document_.GetLibraryFolder());
  preparation.KeepCopies(*project);
  const std::string chosenEdition = project->IsEdition() ? project->GetIndexName() : std::string();
  if (project != &document_.GetProjectTree().GetRoot()) preparation.ClearAllSelections();
  preparation.PreTickFresh(*project, chosenEdition);
  editions_.RemoveAll();
  supplements_.RemoveAll();
  // A new supplement never offered the choice.
  const int choice = project->IsEdition() ? -1 : versionGroup_->checkedId();
  document_.SetPublicationSelection(PublicationSelection::OfProject(project->GetIndexName(), choice), name, comments);
  return true;
}

bool CNewEditionDlg::PrepareBasedUpon(const std::string& name, const std::string& comments) {
  const ProjectNode* project = FindProject();
  const int current = editions_.GetCurrentIndex();
  if (project == nullptr || current < 0) return false;
  const std::string editionIndexName = editions_.GetAt(current).GetInternalName();
  const auto findEdition = [&](const ProjectNode& parent) -> const ProjectNode* {
    for (int c = 0; c < parent.GetChildCount(); ++c) {
      if (parent.GetChild(c)->GetIndexName() == editionIndexName) return parent.GetChild(c);
    }
    return nullptr;
  };
  const ProjectNode* edition = findEdition(*project);
  if (edition == nullptr) return false;

  PublicationSelection selection;
  selection.projectIndexName = project->GetIndexName();
  selection.baseIndexName = editionIndexName;
  selection.supplements = PublicationPreparation::IncludedSupplements(supplements_, included_);
  selection.versionChoice = versionGroup_->checkedId();
  document_.QueueBatch(PublicationPreparation::BasedUponBatch(*edition, *project));
  if (!WaitForQueue()) return false;
  project = FindProject();
  edition = project == nullptr ? nullptr : findEdition(*project);
  if (edition == nullptr) return false;
  PublicationPreparation preparation(document_.GetProjectTree(), document_.GetLibraryFolder());
  preparation.KeepCopies(*project);
  preparation.PreTickBasedUpon(*project, *edition, selection);
  document_.SetPublicationSelection(selection, name, comments);
  return true;
}

bool CNewEditionDlg::WaitForQueue() {
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  QEventLoop loop;
  QTimer tick;
  tick.setInterval(kWaitTickMs);
  bool emptied = false;
  bool progressSeen = false;
  connect(&tick, &QTimer::timeout, &loop, [&] {
    const auto givingUp = [&] { return document_.IsClosePending() || document_.IsLinkEnded(); };
    if (!givingUp()) document_.GetApp().DoProcessing();
    if (givingUp()) {
      loop.quit();
      return;
    }
    if (document_.GetBatches().empty()) {
      emptied = true;
      loop.quit();
      return;
    }
    // The user closed the progress dialog, or it gave up on a silent server.
    if (isProgressOpen_) {
      const bool open = isProgressOpen_();
      if (open) progressSeen = true;
      if (progressSeen && !open) loop.quit();
    }
  });
  tick.start();
  loop.exec();
  return emptied && !document_.IsClosePending();
}
