#include "client/ui/CBrannockView.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QPainter>
#include <QTimer>
#include <set>
#include <utility>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/document/RefusalTexts.h"
#include "client/rules/CheckedProjectsWalk.h"
#include "client/rules/TreeBatchBuilder.h"
#include "client/ui/CCommentsDlg.h"
#include "client/ui/CGetProjectFilesDlg.h"
#include "client/ui/CNewEditionDlg.h"
#include "client/ui/CommandIds.h"
#include "client/ui/COperationProgressDlg.h"
#include "client/ui/CRenameDlg.h"
#include "client/ui/DragCursor.h"
#include "client/ui/ItemDecoration.h"
#include "client/ui/LibraryImages.h"
#include "client/ui/ModalRunner.h"
#include "client/ui/PaneSizeStore.h"
#include "client/ui/ProgressRelay.h"
#include "client/ui/TickBoxImages.h"
#include "common/StringHelpers.h"
#include "common/ui/CChooseDirectoryDlg.h"
#include "platform/fs.h"
#include "platform/Notifier.h"

namespace {

constexpr int kItemIdRole = Qt::UserRole;
constexpr int kFirstProgressHint = -1100;
constexpr int kLastProgressHint = -1050;

// The item's picture, with its box (`boxes` holds states 1-4) to the left when boxes show.
QPixmap Picture(int image, int state, bool showBoxes, const std::vector<QPixmap>& boxes) {
  if (!showBoxes) return LibraryImages::Image(image);
  QPixmap pixmap(2 * LibraryImages::kSize, LibraryImages::kSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  if (state > 0 && static_cast<std::size_t>(state) <= boxes.size()) {
    painter.drawPixmap(0, 0, boxes[static_cast<std::size_t>(state - 1)]);
  }
  painter.drawPixmap(LibraryImages::kSize, 0, LibraryImages::Image(image));
  return pixmap;
}

}  // namespace

CBrannockView::CBrannockView(CBrannockDoc& document, QWidget* parent)
    : QTreeWidget(parent),
      DocumentView(UpdateHint::kTreeView),
      document_(document),
      items_(document.GetProjectTree()),
      rules_(document),
      relay_(std::make_unique<ProgressRelay>(document, this)),
      boxImages_(TickBoxImages::Make()) {
  setObjectName("CBrannockView");
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setItemsExpandable(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setIconSize(QSize(LibraryImages::kSize, LibraryImages::kSize));
  items_.SetListener(this);
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { OnCurrentItemChanged(current); });
  // What the user opened is remembered by project, so a rebuilt tree can open it again.
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* widget) {
    if (const ProjectNode* node = rebuilding_ ? nullptr : NodeOf(widget)) expanded_.insert(node->GetIndexName());
  });
  connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* widget) {
    if (const ProjectNode* node = rebuilding_ ? nullptr : NodeOf(widget)) expanded_.erase(node->GetIndexName());
  });
}

CBrannockView::~CBrannockView() {
  items_.SetListener(nullptr);
  if (pendingDrop_ && pendingDrop_->what == DragMime::What::kDocuments) platform::fs::DeleteFile(pendingDrop_->subject);
}

void CBrannockView::OnInitialUpdate() {
  rebuilding_ = false;
  skipNextRefresh_ = false;
  document_.SetPreparingPublication(false);
  document_.SetTipsOn(false);
}

// ---- the items -------------------------------------------------------------------

QTreeWidgetItem* CBrannockView::FindWidgetItem(TreeItem id) const {
  const auto found = widgets_.find(id);
  return found == widgets_.end() ? nullptr : found->second;
}

void CBrannockView::ItemsCleared() {
  clear();
  widgets_.clear();
}

void CBrannockView::ItemInserted(const LibraryTreeItems::Item& item, int row) {
  auto* widget = new QTreeWidgetItem;
  widget->setText(0, QString::fromStdString(item.text));
  widget->setData(0, kItemIdRole, QVariant::fromValue<qulonglong>(item.id));
  ShowIcon(*widget, item);
  QTreeWidgetItem* parent = item.parent == 0 ? invisibleRootItem() : FindWidgetItem(item.parent);
  if (parent == nullptr) parent = invisibleRootItem();
  parent->insertChild(row, widget);
  widgets_[item.id] = widget;
}

void CBrannockView::StateChanged(TreeItem id, int) {
  QTreeWidgetItem* widget = FindWidgetItem(id);
  const LibraryTreeItems::Item* item = items_.Find(id);
  if (widget != nullptr && item != nullptr) ShowIcon(*widget, *item);
}

void CBrannockView::ShowIcon(QTreeWidgetItem& widget, const LibraryTreeItems::Item& item) {
  // Icons are drawn once per look: a large tree shares a handful of them.
  const int key = ((checkBoxMode_ ? 1 : 0) * 10 + item.state) * 100 + item.image * 10 + item.selectedImage;
  auto found = icons_.find(key);
  if (found == icons_.end()) {
    QIcon icon;
    icon.addPixmap(Picture(item.image, item.state, checkBoxMode_, boxImages_), QIcon::Normal);
    icon.addPixmap(Picture(item.selectedImage, item.state, checkBoxMode_, boxImages_), QIcon::Selected);
    found = icons_.emplace(key, icon).first;
  }
  widget.setIcon(0, found->second);
}

void CBrannockView::SetCheckBoxMode(bool on) {
  if (checkBoxMode_ == on) return;
  checkBoxMode_ = on;
  const int width = on ? 2 * LibraryImages::kSize : LibraryImages::kSize;
  setIconSize(QSize(width, LibraryImages::kSize));
  for (const auto& [id, widget] : widgets_) {
    if (const LibraryTreeItems::Item* item = items_.Find(id)) ShowIcon(*widget, *item);
  }
}

QRect CBrannockView::CheckBoxRect(const QTreeWidgetItem* widget) const {
  const LibraryTreeItems::Item* item =
      widget == nullptr ? nullptr : items_.Find(widget->data(0, kItemIdRole).value<qulonglong>());
  if (!checkBoxMode_ || item == nullptr || item->state == LibraryTreeItems::kNoBox) return QRect();
  return ItemDecoration::Rect(*this, widget, LibraryImages::kSize);
}

ProjectNode* CBrannockView::NodeOf(const QTreeWidgetItem* widget) const {
  if (widget == nullptr) return nullptr;
  return document_.GetProjectTree().FindProjectByTreeItem(widget->data(0, kItemIdRole).value<qulonglong>());
}

ProjectNode* CBrannockView::CurrentProject() const {
  const TreeItem current = document_.GetCurrentProjectItem();
  return current == 0 ? nullptr : document_.GetProjectTree().FindProjectByTreeItem(current);
}

void CBrannockView::SelectRoot() {
  QTreeWidgetItem* root = FindWidgetItem(items_.GetRoot());
  if (root == nullptr) return;
  root->setExpanded(true);
  setCurrentItem(root);
}

void CBrannockView::RebuildPlain() {
  rebuilding_ = true;
  SetCheckBoxMode(false);
  items_.RebuildPlain(document_.GetDisplayName());
  rebuilding_ = false;
  RestoreOpenedProjects();
}

void CBrannockView::RebuildForPublication() {
  rebuilding_ = true;
  SetCheckBoxMode(true);
  items_.RebuildForPublication(document_.GetDisplayName(), document_.GetPublicationSelection());
  rebuilding_ = false;
  RestoreOpenedProjects();
}

void CBrannockView::RestoreOpenedProjects() {
  const std::set<std::string> opened = std::exchange(expanded_, {});   // projects gone drop out
  QTreeWidgetItem* selected = nullptr;
  for (const auto& [id, widget] : widgets_) {
    const ProjectNode* node = NodeOf(widget);
    if (node == nullptr) continue;
    if (opened.count(node->GetIndexName()) > 0) widget->setExpanded(true);
    if (node->GetIndexName() == selectedIndexName_) selected = widget;
  }
  if (selected == nullptr) {
    SelectRoot();
    return;
  }
  for (QTreeWidgetItem* up = selected->parent(); up != nullptr; up = up->parent()) up->setExpanded(true);
  setCurrentItem(selected);
}

bool CBrannockView::SelectProject(const std::string& indexName) {
  const ProjectNode* node = document_.GetProjectTree().FindProjectByPath(indexName);
  QTreeWidgetItem* widget = node == nullptr ? nullptr : FindWidgetItem(node->GetTreeItem());
  if (widget == nullptr) return false;
  for (QTreeWidgetItem* up = widget->parent(); up != nullptr; up = up->parent()) up->setExpanded(true);
  setCurrentItem(widget);
  scrollToItem(widget);
  return true;
}

void CBrannockView::InsertMissing() {
  items_.InsertMissing();
  if (QTreeWidgetItem* current = FindWidgetItem(document_.GetCurrentProjectItem())) {
    current->setExpanded(true);
    setCurrentItem(current);
  }
}

void CBrannockView::OnCurrentItemChanged(QTreeWidgetItem* current) {
  if (rebuilding_ || current == nullptr) return;
  const TreeItem id = current->data(0, kItemIdRole).value<qulonglong>();
  if (const ProjectNode* node = NodeOf(current)) selectedIndexName_ = node->GetIndexName();
  if (checkBoxMode_) {
    const LibraryTreeItems::Item* item = items_.Find(id);
    const int state = item == nullptr ? LibraryTreeItems::kNoBox : item->state;
    if (state == LibraryTreeItems::kNoBox || state == LibraryTreeItems::kTicked) {
      document_.EnableDocumentCheckBoxes();
    } else {
      document_.DisableDocumentCheckBoxes();
    }
  }
  document_.SetCurrentProject(id);
}

void CBrannockView::MakeListOfCheckedProjects() {
  CheckedProjectsWalk walk(items_, document_.GetProjectTree(), document_.GetLibraryFolder());
  const std::optional<std::string> failure =
      walk.Collect(document_.GetPublicationSelection(), document_.GetPublicationMapping(), document_.IsPublisher());
  if (failure) platform::Notify({*failure, "", platform::NotifyIcon::None, platform::NotifyButtons::Ok});
}

bool CBrannockView::event(QEvent* event) {
  const bool handled = QTreeWidget::event(event);
  if (event->type() == QEvent::Resize) {
    PaneSizeStore::Store(document_.GetApp(), static_cast<QResizeEvent*>(event)->size(), &UserProfile::SetTreeWidth,
                         &UserProfile::SetTreeHeight);
  }
  return handled;
}

// ---- the document's hints --------------------------------------------------------

void CBrannockView::OnUpdate(int code) {
  if (code >= kFirstProgressHint && code <= kLastProgressHint) {
    relay_->OnHint(code);
    return;
  }
  switch (code) {
    case ClientHints::kProjectTree:
      // A refresh asked for by a right double-click keeps the tree, unless the reply
      // replaced it: then its items answer to no project and it must be rebuilt.
      if (skipNextRefresh_) {
        skipNextRefresh_ = false;
        if (CurrentProject() != nullptr) return;
      }
      if (document_.IsPreparingPublication()) {
        RebuildForPublication();
      } else {
        RebuildPlain();
      }
      break;
    case ClientHints::kProjectAdded:
      InsertMissing();
      break;
    case ClientHints::kPublicationMode:
      RebuildForPublication();
      break;
    case ClientHints::kCollectTickedProjects:
      MakeListOfCheckedProjects();
      break;
    default:
      break;
  }
}

// ---- commands ----------------------------------------------------------------------

std::optional<TreeCommandRules::Command> CBrannockView::CommandOf(int command) {
  using Command = TreeCommandRules::Command;
  switch (command) {
    case CommandIds::kMapToFolder:
      return Command::kMap;
    case CommandIds::kRetrieve:
      return Command::kRetrieve;
    case CommandIds::kChooseLocalFolder:
      return Command::kChooseLocalFolder;
    case CommandIds::kAddToLibrary:
      return Command::kAdd;
    case CommandIds::kPublish:
      return Command::kPublish;
    case CommandIds::kConfirmPublication:
      return Command::kConfirm;
    case CommandIds::kToolTips:
      return Command::kTips;
    case CommandIds::kDelete:
      return Command::kDelete;
    case CommandIds::kRename:
      return Command::kRename;
    default:
      return std::nullopt;
  }
}

CommandStatus CBrannockView::QueryCommand(int command) {
  if (command == CommandIds::kRefresh) return {true, !rules_.IsPublicationUnderWay() && topLevelItemCount() > 0, false};
  const std::optional<TreeCommandRules::Command> which = CommandOf(command);
  if (!which) return {};
  const TreeCommandRules::State state = rules_.Query(*which);
  return {state.handled, state.enabled, state.checked};
}

std::string CBrannockView::RightsNote(int command) {
  const std::optional<TreeCommandRules::Command> which = CommandOf(command);
  return which ? rules_.RightsRefusal(*which).value_or("") : std::string();
}

void CBrannockView::RunCommand(int command) {
  if (!QueryCommand(command).enabled) return;
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  switch (command) {
    case CommandIds::kMapToFolder:
      MapToFolder();
      break;
    case CommandIds::kRetrieve:
      Retrieve();
      break;
    case CommandIds::kChooseLocalFolder:
      document_.ChooseLocalFolder();
      break;
    case CommandIds::kAddToLibrary:
      document_.AddSelectedLocalFiles();
      break;
    case CommandIds::kPublish:
      Publish();
      break;
    case CommandIds::kConfirmPublication:
      document_.QueueEditionBatch();
      break;
    case CommandIds::kToolTips:
      ShowInformation();
      break;
    case CommandIds::kDelete:
      DeleteProject();
      break;
    case CommandIds::kRename:
      RenameProject();
      break;
    case CommandIds::kRefresh:
      Refresh(currentItem() != nullptr ? currentItem() : topLevelItem(0));
      break;
    default:
      break;
  }
}

void CBrannockView::MapToFolder() {
  const ProjectNode* node = CurrentProject();
  if (node == nullptr) return;
  const std::string indexName = node->GetIndexName();
  const std::string folder = node->GetLocalFolder();
  CChooseDirectoryDlg dialog(this);
  dialog.SetInitialPath(folder, !folder.empty());
  dialog.SetDeriveEnabled(true);
  if (ModalRunner::Exec(dialog) != QDialog::Accepted || document_.IsClosePending()) return;
  ProjectNode* chosen = document_.GetProjectTree().FindProjectByPath(indexName);
  if (chosen == nullptr) return;
  chosen->SetLocalFolder(dialog.GetPath(), dialog.GetDeriveSubMappings());
  document_.SaveInventory();
}

void CBrannockView::Retrieve() {
  const ProjectNode* node = CurrentProject();
  if (node == nullptr) return;
  const std::string indexName = node->GetIndexName();
  CGetProjectFilesDlg dialog(document_, this);
  dialog.SetProjectText(node->GetName());
  dialog.SetLocalFolder(node->GetLocalFolder());
  dialog.SetBackupOption(document_.GetReplaceMode());
  dialog.SetCreateProjectFolder(false);
  if (ModalRunner::Exec(dialog) != QDialog::Accepted || document_.IsClosePending()) return;
  const ProjectNode* chosen = document_.GetProjectTree().FindProjectByPath(indexName);
  if (chosen == nullptr) return;
  TreeBatchBuilder::RetrieveChoices choices;
  choices.localFolder = dialog.GetLocalFolder();
  choices.useMappedFolders = dialog.GetUseMappedFolders();
  choices.createProjectFolder = dialog.GetCreateProjectFolder();
  choices.getSubProjects = dialog.GetGetSubProjects();
  choices.originalVersions = dialog.GetVersions() == 0;
  choices.editionWithSupplements = dialog.GetEditionAndSupplements();
  for (int s = 0; s < dialog.GetSupplements().GetCount(); ++s) {
    choices.supplements.push_back(dialog.GetSupplements().GetAt(s).GetInternalName());
  }
  // The backup option and the writeable choice go with this batch; the option is
  // also what the next retrieve dialog offers first.
  document_.SetReplaceMode(dialog.GetBackupOption());
  document_.QueueBatch(TreeBatchBuilder::Retrieve(*chosen, choices),
                       {dialog.GetBackupOption(), dialog.GetMakeWriteable()});
}

void CBrannockView::Publish() {
  if (document_.IsPreparingPublication()) {
    document_.AbandonPublication();
    return;
  }
  document_.SetPreparingPublication(true);
  CNewEditionDlg dialog(document_, this);
  dialog.SetProgressWatch([this] { return relay_->GetDialog() != nullptr || relay_->IsOpenPending(); });
  const int result = ModalRunner::Exec(dialog);
  if (document_.IsClosePending()) return;
  if (result != QDialog::Accepted) document_.AbandonPublication();
}

void CBrannockView::DeleteProject() {
  const ProjectNode* node = CurrentProject();
  const std::string indexName = node == nullptr ? std::string() : node->GetIndexName();
  const std::string parent = ProjectTree::GetParentIndexName(document_.GetProjectTree().GetRoot(), indexName);
  const platform::NotifyAnswer answer = platform::Notify(
      {DeleteQuestion(node), "", platform::NotifyIcon::Question, platform::NotifyButtons::YesNo});
  if (answer != platform::NotifyAnswer::Yes || document_.IsClosePending()) return;
  document_.SendDeleteProject(parent, indexName);
}

std::string CBrannockView::DeleteQuestion(const ProjectNode* node) {
  if (node == nullptr) return kDeleteQuestion;
  return RefusalTexts::DeleteProject(kDeleteQuestion, *node, [this](const ProjectNode& project) -> std::optional<int> {
    ProjectDocumentList list;
    if (!ReadDocumentList(project, list)) return std::nullopt;
    return list.GetCount();
  });
}

bool CBrannockView::ReadDocumentList(const ProjectNode& project, ProjectDocumentList& list) {
  return document_.GetListCache().GetProjectDocumentList(project.GetIndexName(), document_.GetProjectTree(),
                                                         document_.GetLibraryFolder(), list);
}

void CBrannockView::RenameProject() {
  const ProjectNode* node = CurrentProject();
  if (node == nullptr) return;
  const std::string indexName = node->GetIndexName();
  CRenameDlg dialog(this);
  dialog.SetName(node->GetName());
  if (ModalRunner::Exec(dialog) != QDialog::Accepted || document_.IsClosePending()) return;
  if (const std::optional<std::string> refusal = RefusalTexts::RenameToSibling(
          document_.GetProjectTree(), indexName, dialog.GetName(), CBrannockDoc::kProjectRenameRefused)) {
    platform::NotifyText(*refusal, platform::NotifyIcon::Warning);
    return;
  }
  document_.SendRenameProject(indexName, dialog.GetName());
}

void CBrannockView::ShowInformation() {
  const ProjectNode* node = CurrentProject();
  ProjectDocumentList documents;
  const bool listed = node != nullptr && ReadDocumentList(*node, documents);
  const std::string text = rules_.InformationText(listed ? &documents : nullptr);
  if (!text.empty()) platform::Notify({text, "", platform::NotifyIcon::None, platform::NotifyButtons::Ok});
}

// ---- mouse -------------------------------------------------------------------------

void CBrannockView::mousePressEvent(QMouseEvent* event) {
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  if (event->button() == Qt::LeftButton) {
    const QPoint position = event->position().toPoint();
    pressPosition_ = position;
    QTreeWidgetItem* widget = itemAt(position);
    if (widget != nullptr && document_.IsPreparingPublication() && !document_.IsPublicationRunning() &&
        CheckBoxRect(widget).contains(position)) {
      const TreeItem id = widget->data(0, kItemIdRole).value<qulonglong>();
      const LibraryTreeItems::Click click = items_.ClickCheckBox(id);
      if (click == LibraryTreeItems::Click::kTicked) document_.EnableDocumentCheckBoxes();
      if (click == LibraryTreeItems::Click::kUnticked) document_.DisableDocumentCheckBoxes();
      if (click != LibraryTreeItems::Click::kNone) document_.SetCurrentProject(id);
    }
  }
  QTreeWidget::mousePressEvent(event);
}

void CBrannockView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint position = event->position().toPoint();
  if (!(event->buttons() & Qt::LeftButton) || !pressPosition_ ||
      (position - *pressPosition_).manhattanLength() < QApplication::startDragDistance()) {
    QTreeWidget::mouseMoveEvent(event);
    return;
  }
  const QPoint start = *pressPosition_;
  pressPosition_.reset();
  // No drag while a publication is prepared or runs: it would change what is published.
  if (rules_.IsPublicationUnderWay()) return;
  const ProjectNode* node = NodeOf(itemAt(start));
  if (!rules_.CanStartProjectDrag(node)) {
    QTreeWidget::mouseMoveEvent(event);
    return;
  }
  StartProjectDrag(node->GetIndexName());
}

void CBrannockView::mouseReleaseEvent(QMouseEvent* event) {
  pressPosition_.reset();
  QTreeWidget::mouseReleaseEvent(event);
}

void CBrannockView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) {
    QTreeWidget::mouseDoubleClickEvent(event);
    return;
  }
  Refresh(itemAt(event->position().toPoint()));
}

void CBrannockView::Refresh(QTreeWidgetItem* widget) {
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  if (widget == nullptr || rules_.IsPublicationUnderWay()) return;
  if (widget != currentItem()) setCurrentItem(widget);
  const ProjectNode* node = NodeOf(widget);
  if (node == nullptr) return;
  if (node->GetIndexName() != "Root") skipNextRefresh_ = true;
  document_.QueueBatch(TreeBatchBuilder::Refresh(*node));
}

// ---- drag and drop -----------------------------------------------------------------

void CBrannockView::StartProjectDrag(const std::string& indexName) {
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  QDrag drag(this);
  drag.setMimeData(DragMime::Make({DragMime::What::kProject, document_.GetLibraryFolder(), indexName}));
  DragCursor::Apply(drag);
  ModalRunner::ExecDrag(drag, Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
  if (document_.IsClosePending()) return;
  RunPendingDrop();
}

bool CBrannockView::MayDrop(const std::optional<DragMime::Payload>& payload, const QPoint& position) const {
  if (!payload || payload->libraryFolder != document_.GetLibraryFolder() || rules_.IsPublicationUnderWay()) {
    return false;
  }
  const ProjectNode* target = NodeOf(itemAt(position));
  return payload->what == DragMime::What::kProject ? rules_.MayDropProject(payload->subject, target)
                                                   : rules_.MayDropDocuments(target);
}

void CBrannockView::dragEnterEvent(QDragEnterEvent* event) {
  const std::optional<DragMime::Payload> payload = DragMime::Read(event->mimeData());
  if (payload && payload->libraryFolder == document_.GetLibraryFolder()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void CBrannockView::dragMoveEvent(QDragMoveEvent* event) {
  if (MayDrop(DragMime::Read(event->mimeData()), event->position().toPoint())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void CBrannockView::dropEvent(QDropEvent* event) {
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  const std::optional<DragMime::Payload> payload = DragMime::Read(event->mimeData());
  const QPoint position = event->position().toPoint();
  if (pendingDrop_ || !MayDrop(payload, position)) {
    event->ignore();
    return;
  }
  PendingDrop drop{payload->what, NodeOf(itemAt(position))->GetIndexName(), payload->subject};
  if (drop.what == DragMime::What::kDocuments) {
    // The source deletes its list when the drag ends and rewrites it for the next
    // drag: the batch reads a copy of its own, whenever it runs.
    drop.subject = document_.GetApp().MakeTemporaryFileName();
    if (!platform::fs::CopyFile(payload->subject, drop.subject, platform::fs::CopyMode::Overwrite)) {
      platform::fs::DeleteFile(drop.subject);
      event->ignore();
      return;
    }
  }
  pendingDrop_ = drop;
  event->acceptProposedAction();
  // The comments are asked for once the drag loop has ended.
  QTimer::singleShot(0, this, &CBrannockView::RunPendingDrop);
}

void CBrannockView::RunPendingDrop() {
  if (!pendingDrop_) return;
  const PendingDrop drop = *pendingDrop_;
  pendingDrop_.reset();
  const bool documents = drop.what == DragMime::What::kDocuments;
  const auto discard = [&] {
    if (documents) platform::fs::DeleteFile(drop.subject);
  };
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  CCommentsDlg dialog(this);
  const int result = ModalRunner::Exec(dialog);
  if (result != QDialog::Accepted || document_.IsClosePending()) {
    discard();
    return;
  }
  std::string comments = dialog.GetComments();
  TrimString(comments);
  if (comments.empty()) {
    platform::Notify({kCommentsRequired, "", platform::NotifyIcon::Error, platform::NotifyButtons::Ok});
    discard();
    return;
  }
  ProjectTree& tree = document_.GetProjectTree();
  ProjectNode* target = tree.FindProjectByPath(drop.targetIndexName);
  ProjectNode* dragged = documents ? nullptr : tree.FindProjectByPath(drop.subject);
  if (target == nullptr || (!documents && dragged == nullptr)) {
    discard();
    return;
  }
  if (!documents) {
    document_.QueueBatch(TreeBatchBuilder::DropProject(document_, *dragged, *target, comments));
    return;
  }
  InstructionBatch batch = TreeBatchBuilder::DropDocuments(*target, drop.subject, comments);
  batch.AddOwnedFile(drop.subject);
  document_.QueueBatch(std::move(batch));
}
