#include "client/ui/LocalFileListView.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QResizeEvent>
#include <QStyle>
#include <QToolTip>
#include <set>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/rules/FolderInstructionBuilder.h"
#include "client/rules/LocalAddRules.h"
#include "client/rules/LocalFileRow.h"
#include "client/rules/OpenAction.h"
#include "client/ui/CAddToLibraryDlg.h"
#include "client/ui/CCommentsDlg.h"
#include "client/ui/CommandIds.h"
#include "client/ui/ExternalLaunch.h"
#include "client/ui/LibraryImages.h"
#include "client/ui/ModalRunner.h"
#include "client/ui/PaneSizeStore.h"
#include "common/ui/CChooseDirectoryDlg.h"
#include "platform/Notifier.h"
#include "platform/fs.h"

namespace {

// Each column starts as wide as its heading and its widest value, where the column
// has one; the rows widen it further.
struct Column {
  const char* heading;
  Qt::Alignment alignment;
  QString (*widest)() = nullptr;
};
constexpr Column kColumns[] = {
    {"Document Name", Qt::AlignLeft},
    {"Modified", Qt::AlignLeft, &CListViewEx::DateTimeWidthSample},
    {"Edit Status", Qt::AlignLeft},
    {"Check Out Status", Qt::AlignLeft},
    {"File Size", Qt::AlignRight, &CListViewEx::FileSizeWidthSample},
    {"Project Status", Qt::AlignLeft},
};
constexpr int kHelpTopic = 131202;  // the library window's topic
constexpr int kRelistDelayMs = 200;  // a retrieval writing many files relists once

QIcon RowIcon(const QStyle& style, int image) {
  switch (image) {
    case LocalFileRow::kParentImage: return style.standardIcon(QStyle::SP_FileDialogToParent);
    case LocalFileRow::kChooseImage: return style.standardIcon(QStyle::SP_DirOpenIcon);
    case LocalFileRow::kMappedFolderImage: return QIcon(LibraryImages::Image(LibraryImages::kClosedProject));
    case LocalFileRow::kFolderImage: return style.standardIcon(QStyle::SP_DirIcon);
    case LocalFileRow::kMemberImage:
    case LocalFileRow::kCheckedOutImage: return QIcon(LibraryImages::Image(LibraryImages::kIncluded));
    default: return style.standardIcon(QStyle::SP_FileIcon);
  }
}

void Tell(const char* text, platform::NotifyIcon icon) {
  platform::Notify({text, QApplication::applicationDisplayName().toStdString(), icon, platform::NotifyButtons::Ok});
}

}  // namespace

LocalFileListView::LocalFileListView(CBrannockDoc& document, QWidget* parent)
    : CListViewEx(parent),
      DocumentView(UpdateHint::kLocalFileListView),
      document_(document),
      listing_(LocalFolderListing::LibraryOf(document)) {
  setObjectName("LocalFileListView");
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDragEnabled(false);
  setAcceptDrops(false);
  viewport()->setAcceptDrops(false);
  connect(&GetSortHeader(), &QHeaderView::sectionClicked, this, &LocalFileListView::OnColumnClick);
  connect(this, &QTreeWidget::itemDoubleClicked, this, &LocalFileListView::OnItemDoubleClick);
  connect(this, &QTreeWidget::itemSelectionChanged, this, &LocalFileListView::OnSelectionChanged);
  relistTimer_.setSingleShot(true);
  relistTimer_.setInterval(kRelistDelayMs);
  connect(&relistTimer_, &QTimer::timeout, this, &LocalFileListView::Relist);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { relistTimer_.start(); });
}

bool LocalFileListView::event(QEvent* event) {
  const bool handled = CListViewEx::event(event);
  // The pane's own size (resizeEvent sees the viewport's).
  if (event->type() == QEvent::Resize) {
    PaneSizeStore::Store(document_.GetApp(), static_cast<QResizeEvent*>(event)->size(),
                         &UserProfile::SetLocalFileListWidth, &UserProfile::SetLocalFileListHeight);
  }
  return handled;
}

void LocalFileListView::OnInitialUpdate() {
  for (const Column& column : kColumns) {
    AddColumn(column.heading, column.alignment, 0, column.widest != nullptr ? column.widest() : QString());
  }
  setProperty("helpTopic", kHelpTopic);
  setWhatsThis(
      tr("The files and folders of a local folder. Double-click a folder to open it; select files and "
         "folders and choose Add to Library to add them."));
  listing_.SetSort(LocalFolderListing::kName, true);
  ShowFolder(document_.GetStartLocalFolder());
}

// ----- filling -----

std::string LocalFileListView::WindowTitle(const std::string& folder) const {
  // The program's own copies of a library are no place the user chose: not shown.
  const std::string& library = document_.GetDisplayName();
  if (document_.IsClientOwnFolder(folder)) return library;
  return library + " - " + folder;
}

void LocalFileListView::ShowFolder(const std::string& folder) {
  listing_.SetFolder(folder);
  document_.SetShownLocalFolder(folder);
  // The library window's title names the library and follows the folder.
  QWidget* frame = parentWidget();
  while (frame != nullptr && qobject_cast<QMdiSubWindow*>(frame) == nullptr) frame = frame->parentWidget();
  (frame != nullptr ? frame : window())->setWindowTitle(QString::fromStdString(WindowTitle(folder)));
  WatchFolder();
  FillList();
}

void LocalFileListView::WatchFolder() {
  const QStringList watched = watcher_.directories();
  QString folder = QString::fromStdString(listing_.GetFolder());
  if (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
  if (watched.size() == 1 && watched.front() == folder) return;
  if (!watched.isEmpty()) watcher_.removePaths(watched);
  if (!folder.isEmpty() && platform::fs::IsFolder(folder.toStdString())) watcher_.addPath(folder);
}

void LocalFileListView::FillList() {
  const QSignalBlocker quiet(this);
  clear();
  listing_.Fill();
  GetSortHeader().SetSortMark(listing_.GetSortColumn(), listing_.IsAscending());
  const std::vector<LocalFileEntry>& entries = listing_.GetEntries();
  QList<QTreeWidgetItem*> rows;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const LocalFileRow shown = LocalFileRow::Of(entries[i]);
    auto* row = new QTreeWidgetItem;
    for (std::size_t c = 0; c < shown.texts.size(); ++c) {
      row->setText(static_cast<int>(c), QString::fromStdString(shown.texts[c]));
      row->setTextAlignment(static_cast<int>(c), ColumnAlignment(static_cast<int>(c)));
    }
    row->setIcon(0, RowIcon(*style(), shown.image));
    row->setData(0, kItemDataRole, static_cast<int>(i));
    rows.append(row);
  }
  addTopLevelItems(rows);
  FitColumnsToContents();
  WidenWindowToShowColumns();
  OnSelectionChanged();
}

void LocalFileListView::RefreshKeepingSelection() {
  if (CurrentProject() != nullptr) Relist();
}

void LocalFileListView::Relist() {
  relistTimer_.stop();
  // A folder removed and made again is watched again.
  WatchFolder();
  std::set<QString> remembered;
  for (const QTreeWidgetItem* item : selectedItems()) remembered.insert(item->text(0));
  FillList();
  const QSignalBlocker quiet(this);
  for (int i = 0; i < topLevelItemCount() && !remembered.empty(); ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (remembered.erase(item->text(0)) > 0) item->setSelected(true);
  }
  OnSelectionChanged();
}

const LocalFileEntry* LocalFileListView::EntryOf(const QTreeWidgetItem* item) const {
  if (item == nullptr) return nullptr;
  const int index = item->data(0, kItemDataRole).toInt();
  const std::vector<LocalFileEntry>& entries = listing_.GetEntries();
  return index >= 0 && index < static_cast<int>(entries.size()) ? &entries[static_cast<std::size_t>(index)] : nullptr;
}

std::vector<LocalFileEntry> LocalFileListView::SelectedEntries() const {
  std::vector<LocalFileEntry> selected;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = topLevelItem(i);
    if (item->isSelected()) {
      if (const LocalFileEntry* entry = EntryOf(item)) selected.push_back(*entry);
    }
  }
  return selected;
}

// ----- navigation -----

void LocalFileListView::OnColumnClick(int column) {
  listing_.ClickColumn(column);
  FillList();
}

void LocalFileListView::OnItemDoubleClick(QTreeWidgetItem* item) {
  const LocalFileEntry* entry = EntryOf(item);
  if (entry == nullptr) return;
  const OpenAction::Row row = entry->IsDirectory() ? OpenAction::Row::kFolder : OpenAction::Row::kLocalFile;
  if (OpenAction::For(row, true) == OpenAction::Action::kOpenLocalCopy) {
    const std::string path = listing_.PathOf(*entry);
    if (!ExternalLaunch::OpenWithDesktop(path)) {
      platform::NotifyText(ExternalLaunch::kNotOpened + path, platform::NotifyIcon::Warning);
    }
    return;
  }
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  const std::string name = entry->GetBaseName();
  if (name == LocalFolderListing::kChooseEntry) {
    ChooseFolder();
  } else if (name == LocalFolderListing::kParentEntry) {
    if (const auto parent = LocalFolderListing::ParentOf(listing_.GetFolder())) ShowFolder(*parent);
  } else {
    ShowFolder(LocalFolderListing::ChildOf(listing_.GetFolder(), name));
  }
}

bool LocalFileListView::ChooseFolder() {
  CChooseDirectoryDlg chooser(this);
  chooser.SetInitialPath(listing_.GetFolder(), true);
  const bool chosen = ModalRunner::Exec(chooser) == QDialog::Accepted;
  if (document_.IsClosePending() || !chosen || chooser.GetPath() == listing_.GetFolder()) return false;
  ShowFolder(chooser.GetPath());
  return true;
}

// ----- commands and hints -----

bool LocalFileListView::IsPublicationBusy() const {
  return document_.IsPreparingPublication() || document_.IsPublicationRunning();
}

void LocalFileListView::OnSelectionChanged() {
  document_.SetLocalSelection(LocalAddRules::HasAddable(SelectedEntries()));
}

CommandStatus LocalFileListView::QueryCommand(int command) {
  switch (command) {
    case CommandIds::kAddToLibrary:
      return {true, LocalAddRules::IsEnabled(SelectedEntries(), IsPublicationBusy()), false};
    case CommandIds::kChooseLocalFolder: return {true, true, false};
    case CommandIds::kToolTips: return {true, false, document_.AreTipsOn()};
    default: return {};
  }
}

void LocalFileListView::RunCommand(int command) {
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  if (command == CommandIds::kAddToLibrary) OnAddToLibrary();
  if (command == CommandIds::kChooseLocalFolder) ChooseFolder();
}

void LocalFileListView::OnUpdate(int code) {
  switch (code) {
    case ClientHints::kProjectTree: Relist(); break;
    case ClientHints::kProjectAdded:
    case ClientHints::kDocumentList:
    case ClientHints::kDocumentFiles: RefreshKeepingSelection(); break;
    case ClientHints::kAddSelectedLocalFiles: {
      OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
      if (LocalAddRules::IsEnabled(SelectedEntries(), IsPublicationBusy())) OnAddToLibrary();
      break;
    }
    case ClientHints::kChooseLocalFolder: {
      OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
      if (ChooseFolder()) document_.SetLocalSelection(false);
      break;
    }
    default: break;
  }
}

// ----- Add to Library -----

ProjectNode* LocalFileListView::CurrentProject() const {
  const TreeItem item = document_.GetCurrentProjectItem();
  return item == 0 ? nullptr : document_.GetProjectTree().FindProjectByTreeItem(item);
}

std::vector<std::string> LocalFileListView::DocumentNames(const std::string& indexName) const {
  ProjectDocumentList list;
  std::vector<std::string> names;
  if (!ProjectNode::IsRootIndexName(indexName) &&
      document_.GetListCache().GetProjectDocumentList(indexName, document_.GetProjectTree(),
                                                      document_.GetLibraryFolder(), list)) {
    for (int i = 0; i < list.GetCount(); ++i) names.push_back(list.GetAt(i)->GetName());
  }
  return names;
}

void LocalFileListView::OnAddToLibrary() {
  const std::vector<LocalFileEntry> selected = SelectedEntries();
  const ProjectNode* current = CurrentProject();
  const std::vector<std::string> known =
      current == nullptr ? std::vector<std::string>() : DocumentNames(current->GetIndexName());
  const LocalAddRules::QuickPlan quick = LocalAddRules::PlanQuick(current, listing_.GetFolder(), known, selected);
  switch (quick.outcome) {
    case LocalAddRules::QuickPlan::kRootRefused: Tell(LocalAddRules::kRootRefusal, platform::NotifyIcon::Error); return;
    case LocalAddRules::QuickPlan::kSend: AddToCurrentProject(current->GetIndexName(), quick.files); return;
    case LocalAddRules::QuickPlan::kGeneral: AddThroughDialog(selected, current); return;
  }
}

void LocalFileListView::AddToCurrentProject(const std::string& indexName, const std::vector<std::string>& files) {
  CCommentsDlg comments(this);
  const bool confirmed = ModalRunner::Exec(comments) == QDialog::Accepted;
  if (document_.IsClosePending() || !confirmed) return;
  if (!document_.SendAddDocuments(indexName, listing_.GetFolder(), files, comments.GetComments())) {
    Tell(LocalAddRules::kSendFailed, platform::NotifyIcon::None);
  }
}

void LocalFileListView::AddThroughDialog(const std::vector<LocalFileEntry>& selected, const ProjectNode* current) {
  ProjectTree& tree = document_.GetProjectTree();
  std::vector<std::string> mappedNames;
  tree.FindProjectsMappedToFolder(listing_.GetFolder(), mappedNames);
  const std::string folder = listing_.GetFolder();
  const std::vector<std::string> addedFolders = LocalAddRules::FoldersToAdd(selected);
  std::vector<std::string> addedPaths;
  for (const std::string& name : addedFolders) addedPaths.push_back(LocalFolderListing::ChildOf(folder, name));
  const std::string preset = LocalAddRules::OutsideAddedFolders(
      LocalAddRules::PresetParent(mappedNames, tree.FindProjectByLocalFolder(folder), current), tree, addedPaths);
  CAddToLibraryDlg dialog(document_, folder, preset, !addedFolders.empty(), this);
  const bool confirmed = ModalRunner::Exec(dialog) == QDialog::Accepted;
  if (document_.IsClosePending() || !confirmed) return;
  std::string parent = dialog.GetParentIndexName();
  if (LocalAddRules::RefusesRoot(parent, selected)) {
    Tell(LocalAddRules::kRootRefusal, platform::NotifyIcon::Error);
    return;
  }
  if (ProjectNode::IsRootIndexName(parent)) parent.clear();
  // Files never go to the root, members of a project here included.
  const std::vector<std::string> files =
      parent.empty() ? std::vector<std::string>() : LocalAddRules::FilesToSend(selected, DocumentNames(parent));
  if (!files.empty() && !document_.SendAddDocuments(parent, folder, files, dialog.GetComments())) {
    Tell(LocalAddRules::kSendFailed, platform::NotifyIcon::None);
    if (document_.IsClosePending()) return;
  }
  InstructionBatch batch;
  batch.SetRuleSet(dialog.GetRuleSet());
  batch.SetComments(dialog.GetComments());
  batch.GetInstruction(0)->SetIndexName(parent);
  FolderInstructionBuilder builder(
      tree, [this](std::vector<LocalFileEntry>& entries, const std::string& path, const FolderRuleSet& rules) {
        document_.ScanLocalFolder(entries, path, rules);
      });
  if (!builder.AddFolders(batch, addedFolders, dialog.GetConfirmedFolder(), folder)) {
    const std::string text = FolderInstructionBuilder::MismatchText(builder.GetMismatch());
    Tell(text.c_str(), platform::NotifyIcon::Error);
    return;
  }
  if (!batch.IsEmpty()) document_.QueueBatch(std::move(batch));
}

// ----- tool tips and drops -----

bool LocalFileListView::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return CListViewEx::viewportEvent(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const LocalFileEntry* entry = document_.AreTipsOn() ? EntryOf(itemAt(help->pos())) : nullptr;
  if (entry == nullptr) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(help->globalPos(), QString::fromStdString(listing_.PathOf(*entry)), viewport());
  }
  return true;
}

void LocalFileListView::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem() != nullptr) {
    OnItemDoubleClick(currentItem());
    return;
  }
  CListViewEx::keyPressEvent(event);
}

// Nothing is dropped on the local list.
void LocalFileListView::dragEnterEvent(QDragEnterEvent* event) { event->ignore(); }
void LocalFileListView::dragMoveEvent(QDragMoveEvent* event) { event->ignore(); }
