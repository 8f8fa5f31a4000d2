#include "client/ui/CRowListView.h"

#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <optional>
#include <string>
#include <unordered_set>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/document/ClientHints.h"
#include "client/document/RefusalTexts.h"
#include "client/library/DocumentListCache.h"
#include "client/rules/DocumentRowTexts.h"
#include "client/rules/OperationTargets.h"
#include "client/rules/CommandRights.h"
#include "client/rules/TreeCommandRules.h"
#include "client/ui/CAboutDlg.h"
#include "client/ui/CCheckoutOptionsDlg.h"
#include "client/ui/CCommentsDlg.h"
#include "client/ui/CInformationDlg.h"
#include "client/ui/CNewEditionDlg.h"
#include "client/ui/CommandIds.h"
#include "client/ui/OperationCommands.h"
#include "client/ui/CRenameDlg.h"
#include "client/ui/DragCursor.h"
#include "client/ui/DragMime.h"
#include "client/ui/ModalRunner.h"
#include "client/ui/PaneSizeStore.h"
#include "client/ui/TickBoxImages.h"
#include "client/ui/WaitCursor.h"
#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "common/ui/CChooseDirectoryDlg.h"
#include "platform/fs.h"
#include "platform/Notifier.h"

namespace {

namespace rules = DocumentCommandRules;

// Item roles beside CListViewEx's: which model row an item shows, and at which change.
constexpr int kRowIdRole = Qt::UserRole + 2;
constexpr int kRowStampRole = Qt::UserRole + 3;

std::uint64_t ItemId(const QTreeWidgetItem* item) {
  return item == nullptr ? 0 : item->data(0, kRowIdRole).toULongLong();
}

// Each column starts as wide as its heading and its widest value, where the column
// has one; the rows widen it further.
struct Column {
  const char* heading;
  Qt::Alignment alignment;
  QString (*widest)() = nullptr;
};
constexpr Column kColumns[] = {
    {"Document Name", Qt::AlignLeft},
    {"Revision", Qt::AlignRight},
    {"Revision Date", Qt::AlignLeft, &CListViewEx::DateTimeWidthSample},
    {"Status", Qt::AlignLeft},
    {"File Size", Qt::AlignRight, &CListViewEx::FileSizeWidthSample},
    {"Summary Information", Qt::AlignLeft},
};

}  // namespace

CRowListView::CRowListView(CBrannockDoc& document, QWidget* parent)
    : CListViewEx(parent), DocumentView(UpdateHint::kDocumentListView), document_(document), opener_(document, this) {
  setObjectName("CRowListView");
  connect(this, &CListViewEx::stateImageClicked, this, &CRowListView::OnStateImageClicked);
  connect(&GetSortHeader(), &QHeaderView::sectionClicked, this, &CRowListView::OnColumnClick);
}

void CRowListView::OnInitialUpdate() {
  SetStateImages(TickBoxImages::Make());
  for (const Column& column : kColumns) {
    AddColumn(column.heading, column.alignment, 0, column.widest != nullptr ? column.widest() : QString());
  }
  GetSortHeader().SetSortMark(rows_.GetSortOrder().GetColumn(), rows_.GetSortOrder().IsAscending());
  setProperty("helpTopic", kHelpTopic);
  setWhatsThis(tr("The documents of the current project. Tick documents to act on them; double-click one to show "
                  "its versions; right-click one, or press the Menu key, for its commands and details."));
}

PublicationFlags CRowListView::Flags() const {
  return {document_.IsPreparingPublication(), document_.IsPublicationRunning(),
          document_.AreDocumentCheckBoxesEnabled()};
}

ProjectNode* CRowListView::FindCurrentProject() {
  const TreeItem item = document_.GetCurrentProjectItem();
  return item == 0 ? nullptr : document_.GetProjectTree().FindProjectByTreeItem(item);
}

DocumentCommandRules::Situation CRowListView::CurrentSituation() {
  const ProjectNode* project = FindCurrentProject();
  return {Flags(), document_.IsPublisher(), document_.HasLocalSelection(), document_.GetUserText(),
          project == nullptr ? std::string() : project->GetLocalFolder(), document_.IsUndoCheckOutServed()};
}

bool CRowListView::IsClosePending() const { return document_.IsClosePending(); }

std::string CRowListView::DragFilePath() const {
  return EnsureTrailingBackslash(document_.GetLibraryFolder()) + kDragFileName;
}

// ----- filling -----

void CRowListView::FillDocumentRows(bool keepList) {
  const PublicationFlags flags = Flags();
  if (flags.running) return;
  WaitCursor wait;
  locale_ = platform::UserNumberLocale();
  dateLocale_ = platform::UserDateLocale();
  const ProjectNode* project = FindCurrentProject();
  const std::string path =
      project == nullptr ? "" : DocumentListCache::VersionsFilePath(document_.GetLibraryFolder(), project->GetCacheFilePath());
  rows_.Fill(path, keepList, flags);
  GetSortHeader().SetSortMark(rows_.GetSortOrder().GetColumn(), rows_.GetSortOrder().IsAscending());
  ShowRows();
  contextRow_ = -1;
  SelectPendingDocument();
}

int CRowListView::TickedDocumentCount() const { return rules::CountTickedDocuments(rows_); }

void CRowListView::SetFilter(const DocumentFilter& filter) {
  rows_.SetFilter(filter, document_.GetUserText(), Flags());
  contextRow_ = -1;
  ShowRows();
}

void CRowListView::GoToDocument(const std::string& name) {
  const ProjectNode* project = FindCurrentProject();
  pendingDocument_ = project == nullptr ? std::string() : name;
  pendingProject_ = project == nullptr ? std::string() : project->GetIndexName();
  SelectPendingDocument();
}

void CRowListView::SelectPendingDocument() {
  if (pendingDocument_.empty()) return;
  // Another project chosen meanwhile: the document is no longer where the user goes.
  const ProjectNode* project = FindCurrentProject();
  if (project == nullptr || project->GetIndexName() != pendingProject_) {
    pendingDocument_.clear();
    return;
  }
  for (int r = 0; r < rows_.GetRowCount(); ++r) {
    const DocumentRowModel::Row& row = rows_.GetRow(r);
    const DocumentVersionEntry* shown = rows_.GetList().GetAt(row.document)->GetVersion(row.version);
    if (shown == nullptr || shown->GetName() != pendingDocument_) continue;
    pendingDocument_.clear();
    setCurrentItem(topLevelItem(r));
    scrollToItem(topLevelItem(r));
    setFocus(Qt::OtherFocusReason);
    return;
  }
}

void CRowListView::PrepareContextMenu(int row) {
  contextRow_ = row >= 0 && row < rows_.GetRowCount() ? row : -1;
  // The row pointed at is the one the menu's History and Details speak of.
  if (contextRow_ >= 0) setCurrentItem(topLevelItem(contextRow_));
  if (contextRow_ < 0 || TickedDocumentCount() > 0) return;
  const PublicationFlags flags = Flags();
  if (rows_.ToggleRowTick(contextRow_, false, flags)) rows_.RefreshDocumentRows(contextRow_, flags);
  ShowRows();
}

void CRowListView::RefillDocumentList() {
  rows_.ClearRows();
  ShowRows();
  rows_.SaveTicks();
  ProjectNode* project = FindCurrentProject();
  if (project == nullptr || project->GetIndexName().empty() || project->GetIndexName() == "Root" ||
      !document_.LoadProjectDocuments(*project)) {
    return;
  }
  FillDocumentRows(false);
}

void CRowListView::ShowRows() {
  const std::vector<DocumentRowModel::Row>& rows = rows_.GetRows();
  std::unordered_set<std::uint64_t> ids;
  for (const auto& row : rows) ids.insert(row.id);
  std::vector<int> gone;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    if (ids.count(ItemId(topLevelItem(i))) == 0) gone.push_back(i);
  }
  if (static_cast<int>(gone.size()) == topLevelItemCount()) {
    clear();   // a fill: every row is new
  } else {
    for (auto i = gone.rbegin(); i != gone.rend(); ++i) delete takeTopLevelItem(*i);
  }
  // The kept items are the model's rows in order with new rows between them.
  for (int r = 0; r < static_cast<int>(rows.size());) {
    QTreeWidgetItem* item = topLevelItem(r);
    const std::uint64_t nextKept = ItemId(item);
    if (item != nullptr && nextKept == rows[static_cast<std::size_t>(r)].id) {
      ShowItem(*item, rows[static_cast<std::size_t>(r)]);
      ++r;
      continue;
    }
    QList<QTreeWidgetItem*> fresh;
    const int start = r;
    for (; r < static_cast<int>(rows.size()) && rows[static_cast<std::size_t>(r)].id != nextKept; ++r) {
      auto* made = new QTreeWidgetItem();
      made->setData(0, kRowIdRole, QVariant::fromValue<qulonglong>(rows[static_cast<std::size_t>(r)].id));
      ShowItem(*made, rows[static_cast<std::size_t>(r)]);
      fresh.append(made);
    }
    insertTopLevelItems(start, fresh);
  }
  FitColumnsToContents();
  WidenWindowToShowColumns();
}

void CRowListView::ShowItem(QTreeWidgetItem& item, const DocumentRowModel::Row& row) {
  if (item.data(0, kRowStampRole).toULongLong() == row.stamp) return;
  item.setData(0, kRowStampRole, QVariant::fromValue<qulonglong>(row.stamp));
  item.setData(0, kItemDataRole, row.document);
  SetStateImage(item, row.state);
  item.setIcon(0, icons_.Icon(row.image));
  const DocumentVersionEntry* version = rows_.GetList().GetAt(row.document)->GetVersion(row.version);
  if (version == nullptr) return;
  const auto cells = DocumentRowTexts::Cells(*version, row.versionRow, row.status, locale_, dateLocale_);
  for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
    item.setText(c, QString::fromStdString(cells[static_cast<std::size_t>(c)]));
    item.setTextAlignment(c, ColumnAlignment(c) | Qt::AlignVCenter);
  }
}

int CRowListView::RowAt(const QPoint& point) const {
  QTreeWidgetItem* item = itemAt(point);
  return item == nullptr ? -1 : indexOfTopLevelItem(item);
}

// ----- hints and size -----

void CRowListView::OnUpdate(int code) {
  if (code == ClientHints::kSaveTicks) {
    rows_.SaveTicks();
  } else if (code == ClientHints::kDocumentList) {
    RefillDocumentList();
  }
}

bool CRowListView::event(QEvent* event) {
  // The pane's own size (resizeEvent sees the viewport's).
  if (event->type() != QEvent::Resize) return CListViewEx::event(event);
  const QSize size = static_cast<QResizeEvent*>(event)->size();
  if (size.width() == 0 || size.height() == 0) return true;
  const bool handled = CListViewEx::event(event);
  PaneSizeStore::Store(document_.GetApp(), size, &UserProfile::SetRowListWidth, &UserProfile::SetRowListHeight);
  return handled;
}

// ----- mouse -----

void CRowListView::OnStateImageClicked(QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers) {
  const int row = indexOfTopLevelItem(item);
  const PublicationFlags flags = Flags();
  if (!rows_.ToggleRowTick(row, (modifiers & Qt::ShiftModifier) != 0, flags)) return;
  rows_.RefreshDocumentRows(row, flags);
  ShowRows();
}

void CRowListView::keyPressEvent(QKeyEvent* event) {
  const int row = currentItem() == nullptr ? -1 : indexOfTopLevelItem(currentItem());
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const bool plus = event->key() == Qt::Key_Plus;
  if (row >= 0 && (enter || plus || event->key() == Qt::Key_Minus) && !Flags().running) {
    if (enter) {
      OpenRow(row);
    } else if (plus != rows_.IsDocumentExpanded(row)) {
      rows_.ToggleExpansion(row, Flags());
      ShowRows();
    }
    event->accept();
    return;
  }
  if (event->key() != Qt::Key_Space || event->modifiers() != Qt::NoModifier) {
    CListViewEx::keyPressEvent(event);
    return;
  }
  TickFromKeyboard();
  event->accept();
}

void CRowListView::TickFromKeyboard() {
  QTreeWidgetItem* focused = currentItem();
  QList<QTreeWidgetItem*> rows = selectedItems();
  if (focused == nullptr && rows.isEmpty()) return;
  if (focused == nullptr) focused = rows.front();
  if (!rows.contains(focused)) rows = {focused};
  // Every row takes the state the focused row changes to.
  const bool tick = !rows_.IsTicked(indexOfTopLevelItem(focused));
  const PublicationFlags flags = Flags();
  for (QTreeWidgetItem* item : rows) {
    const int row = indexOfTopLevelItem(item);
    if (rows_.IsTicked(row) == tick) continue;
    if (!rows_.ToggleRowTick(row, false, flags)) break;
    rows_.RefreshDocumentRows(row, flags);
  }
  ShowRows();
}

void CRowListView::OnColumnClick(int column) {
  rows_.GetSortOrder().OnColumnClick(column);
  FillDocumentRows(true);
}

void CRowListView::mouseDoubleClickEvent(QMouseEvent* event) {
  const int row = RowAt(event->position().toPoint());
  const PublicationFlags flags = Flags();
  if (row >= 0 && !flags.running && event->button() == Qt::LeftButton) {
    if (!flags.preparing) {
      OpenRow(row);
      return;
    }
    rows_.ToggleExpansion(row, flags);
    ShowRows();
  }
  CListViewEx::mouseDoubleClickEvent(event);
}

void CRowListView::OpenRow(int row) {
  const ProjectNode* project = FindCurrentProject();
  const DocumentRowModel::Row& shown = rows_.GetRow(row);
  const VersionedDocument* versions = rows_.GetList().GetAt(shown.document);
  if (project == nullptr || versions == nullptr) return;
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  opener_.Open(*project, *versions, shown.version, shown.versionRow);
}

void CRowListView::ShowHistory() {
  const ProjectNode* project = FindCurrentProject();
  const int row = indexOfTopLevelItem(currentItem());
  const VersionedDocument* versions = row < 0 ? nullptr : rows_.GetList().GetAt(rows_.GetRow(row).document);
  if (project != nullptr && versions != nullptr) opener_.ShowHistory(*project, *versions);
}

void CRowListView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressPoint_ = event->position().toPoint();
    dragArmed_ = true;
  }
  CListViewEx::mousePressEvent(event);
}

void CRowListView::ShowRowInformation(int row) {
  const std::string text = rows_.BuildRowInformation(row, false, Flags());
  const std::string title = CAboutDlg::ProgramTitle(document_.IsPublisher()).toStdString();
  platform::Notify({text, title, platform::NotifyIcon::None, platform::NotifyButtons::Ok});
}

void CRowListView::mouseMoveEvent(QMouseEvent* event) {
  const bool leftDown = (event->buttons() & Qt::LeftButton) != 0;
  const bool preparing = document_.IsPublisher() && document_.IsPreparingPublication();
  if (leftDown && dragArmed_ && !preparing &&
      (event->position().toPoint() - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
    StartDrag();
    return;
  }
  CListViewEx::mouseMoveEvent(event);
}

void CRowListView::StartDrag() {
  dragArmed_ = false;   // one attempt per press, refused or not
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  const std::string path = DragFilePath();
  platform::fs::DeleteFile(path);
  if (FindCurrentProject() == nullptr) {
    Refuse(kNoCheckInProject);
    return;
  }
  const ProjectDocumentList dragged = rules::CollectDrag(rows_);
  if (dragged.GetCount() == 0 || !dragged.WriteFile(path)) return;
  QDrag drag(this);
  drag.setMimeData(DragMime::Make({DragMime::What::kDocuments, document_.GetLibraryFolder(), path}));
  DragCursor::Apply(drag);
  ModalRunner::ExecDrag(drag, Qt::CopyAction, Qt::CopyAction);
  platform::fs::DeleteFile(path);
}

// ----- commands -----

CommandStatus CRowListView::Shared(TreeCommandRules::Command command) const {
  // Publishing belongs to the document as a whole: the tree's rule answers.
  const TreeCommandRules::State state = TreeCommandRules(document_).Query(command);
  return {state.handled, state.enabled, state.checked};
}

CommandStatus CRowListView::QueryCommand(int command) {
  CommandStatus status = QueryIgnoringRights(command);
  // A publication under way can always be given up.
  if (status.enabled && !status.checked && !RightsNote(command).empty()) status.enabled = false;
  return status;
}

std::string CRowListView::RightsNote(int command) {
  if (command == CommandIds::kPublish) {
    return TreeCommandRules(document_).RightsRefusal(TreeCommandRules::Command::kPublish).value_or("");
  }
  const std::optional<MessageId> request = RequestOf(command);
  return request ? CommandRights(document_).Refusal(*request).value_or("") : std::string();
}

std::optional<MessageId> CRowListView::RequestOf(int command) {
  switch (command) {
    case CommandIds::kAddToLibrary: return MSGID_ADD_DOCUMENTS;
    case CommandIds::kCheckOut: return MSGID_CHECK_OUT;
    case CommandIds::kCheckIn: return MSGID_CHECK_IN;
    case CommandIds::kUndoCheckOut: return MSGID_UNDO_CHECK_OUT;
    case CommandIds::kHistory: return MSGID_LIST_VERSIONS;
    case CommandIds::kRetrieve: return MSGID_RETRIEVE;
    case CommandIds::kDelete: return MSGID_DELETE_DOCUMENTS;
    case CommandIds::kRename: return MSGID_RENAME_DOCUMENT;
    default: return std::nullopt;
  }
}

CommandStatus CRowListView::QueryIgnoringRights(int command) {
  const DocumentCommandRules::Situation situation = CurrentSituation();
  switch (command) {
    case CommandIds::kChooseLocalFolder: return {true, true, false};
    case CommandIds::kAddToLibrary: return {true, rules::CanAdd(situation), false};
    case CommandIds::kCheckOut: return {true, rules::CanCheckOut(rows_, situation), false};
    case CommandIds::kCheckIn: return {true, rules::CanCheckIn(rows_, situation), false};
    case CommandIds::kUndoCheckOut:
      if (!situation.undoCheckOutServed) return {};   // an earlier server: the command is not offered
      return {true, rules::CanUndoCheckOut(rows_, situation), false};
    case CommandIds::kRetrieve: return {true, rules::CanRetrieve(rows_, situation), false};
    case CommandIds::kPublish: return Shared(TreeCommandRules::Command::kPublish);
    case CommandIds::kConfirmPublication: return Shared(TreeCommandRules::Command::kConfirm);
    case CommandIds::kToolTips: return {true, false, document_.AreTipsOn()};
    case CommandIds::kHistory:
      return {true, currentItem() != nullptr && !situation.flags.running && FindCurrentProject() != nullptr, false};
    case CommandIds::kDelete:
      if (!situation.publisher) return {};
      return {true, rules::CanDelete(rows_, situation), false};
    case CommandIds::kRename:
      if (!situation.publisher) return {};
      return {true, rules::CanRename(rows_, situation), false};
    case CommandIds::kDocumentDetails: {
      const bool onRow = contextRow_ >= 0 && contextRow_ < rows_.GetRowCount();
      return {true, onRow, false};
    }
    default: return {};
  }
}

std::string CRowListView::ItemText(int command) {
  const std::optional<OperationTargets::Operation> operation = OperationOf(command);
  if (!operation) return std::string();
  return OperationTargets::MenuText(*operation, OperationTargets::DocumentCount(*operation, rows_, CurrentSituation()));
}

void CRowListView::RunCommand(int command) {
  // A command whose state went stale since it was shown does nothing; this also
  // keeps every command but publishing and confirming inert during a publication.
  if (!QueryCommand(command).enabled) return;
  OpenLibraries::Hold hold(document_.GetApp().GetOpenLibraries(), document_);
  switch (command) {
    case CommandIds::kChooseLocalFolder: document_.ChooseLocalFolder(); break;
    case CommandIds::kAddToLibrary: document_.AddSelectedLocalFiles(); break;
    case CommandIds::kCheckOut: CheckOut(); break;
    case CommandIds::kCheckIn: CheckIn(); break;
    case CommandIds::kUndoCheckOut: UndoCheckOut(); break;
    case CommandIds::kRetrieve: Retrieve(); break;
    case CommandIds::kPublish: Publish(); break;
    case CommandIds::kConfirmPublication: ConfirmPublication(); break;
    case CommandIds::kDelete: Delete(); break;
    case CommandIds::kRename: Rename(); break;
    case CommandIds::kHistory: ShowHistory(); break;
    case CommandIds::kDocumentDetails: ShowRowInformation(contextRow_); break;
    default: break;
  }
}

bool CRowListView::Ask(const char* question) {
  return platform::Notify({question, "", platform::NotifyIcon::Question, platform::NotifyButtons::YesNo}) ==
         platform::NotifyAnswer::Yes;
}

void CRowListView::Refuse(const char* text) {
  platform::Notify({text, "", platform::NotifyIcon::Error, platform::NotifyButtons::Ok});
}

void CRowListView::CheckOut() {
  const ProjectDocumentList documents = rules::CollectCheckOut(rows_, CurrentSituation());
  ShowRows();
  if (documents.GetCount() == 0) return;
  CCheckoutOptionsDlg options(this);
  options.SetOption(0);
  if (ModalRunner::Exec(options) != QDialog::Accepted || IsClosePending()) return;
  const auto [referencing, referenced] = rules::CheckOutReferenceFlags(options.GetOption());
  document_.SendCheckOutDocuments(documents, referencing, referenced, kReplaceIfChanged);
}

void CRowListView::CheckIn() {
  CCommentsDlg commentsDialog(this);
  if (ModalRunner::Exec(commentsDialog) != QDialog::Accepted || IsClosePending()) return;
  std::string comments = commentsDialog.GetComments();
  if (TrimString(comments).empty()) {
    Refuse(kNoComments);
    return;
  }
  const ProjectNode* project = FindCurrentProject();
  if (project == nullptr) {
    Refuse(kNoCheckInProject);
    return;
  }
  EncodeFieldLineBreaks(comments);
  const rules::CheckIn checkIn =
      rules::CollectCheckIn(rows_, Flags(), document_.GetUserText(), project->GetLocalFolder(), comments);
  ShowRows();
  const bool missing = !checkIn.missingFiles.empty();
  if (missing) {
    CInformationDlg information(this);
    information.SetText(rules::kMissingFilesText + checkIn.missingFiles);
    ModalRunner::Exec(information);
    if (IsClosePending()) return;
  }
  if (checkIn.documents.GetCount() == 0) return;
  if (missing && (!Ask(kProceedWithCheckIn) || IsClosePending())) return;
  if (!document_.SendCheckInDocuments(checkIn.documents, kCheckInReadOnly)) Refuse(kCheckInNotSent);
}

void CRowListView::UndoCheckOut() {
  const ProjectDocumentList documents = rules::CollectUndoCheckOut(rows_, CurrentSituation());
  ShowRows();
  const int count = documents.GetCount();
  if (count == 0) return;
  const std::string what = count == 1 ? "\"" + documents.GetAt(0)->GetName() + "\"" : std::to_string(count) + " documents";
  const std::string question = "Undo your check-out of " + what +
                               "?\n\nNo version is made: what you changed is not sent to the library, and others "
                               "may check the documents out again.";
  if (!Ask(question.c_str()) || IsClosePending()) return;
  const bool replace = Ask(kReplaceUndoneCopies);
  if (IsClosePending()) return;
  document_.SendUndoCheckOut(documents, replace);
}

void CRowListView::Retrieve() {
  const ProjectDocumentList documents = rules::CollectRetrieve(rows_, Flags());
  ShowRows();
  if (documents.GetCount() == 0) return;
  const std::optional<std::string> folder = ChooseRetrievalFolder();
  if (!folder || IsClosePending()) return;
  const bool writable = Ask(kWritableOnRetrieval);
  if (IsClosePending()) return;
  document_.SetWritableOnRetrieval(writable);
  document_.SendGetDocuments(documents, kReplaceIfChanged, *folder);
}

std::optional<std::string> CRowListView::ChooseRetrievalFolder() {
  const ProjectNode* project = FindCurrentProject();
  if (project == nullptr || !document_.IsClientOwnFolder(project->GetLocalFolder())) return std::string();
  std::string question = kRetrieveWhere;
  for (const std::string& value : {project->GetName(), project->GetLocalFolder()}) {
    question.replace(question.find("%s"), 2, value);
  }
  const platform::NotifyAnswer answer =
      platform::Notify({question, "", platform::NotifyIcon::Question, platform::NotifyButtons::YesNoCancel});
  if (answer == platform::NotifyAnswer::No) return std::string();
  if (answer != platform::NotifyAnswer::Yes || IsClosePending()) return std::nullopt;
  CChooseDirectoryDlg chooser(this);
  chooser.SetInitialPath(document_.GetApp().GetWorkingDirectory(), false);
  if (ModalRunner::Exec(chooser) != QDialog::Accepted || chooser.GetPath().empty()) return std::nullopt;
  return chooser.GetPath();
}

void CRowListView::Delete() {
  if (FindCurrentProject() == nullptr) {
    Refuse(kNoDeleteProject);
    return;
  }
  const ProjectDocumentList documents = rules::CollectDelete(rows_, Flags());
  ShowRows();
  if (documents.GetCount() == 0) return;
  if (Ask(RefusalTexts::DeleteDocuments(documents).c_str()) && !IsClosePending()) {
    document_.SendDeleteDocuments(documents);
  }
}

void CRowListView::Rename() {
  const ProjectNode* project = FindCurrentProject();
  if (project == nullptr) {
    Refuse(kNoDeleteProject);
    return;
  }
  const std::string projectIndexName = project->GetIndexName();
  for (const rules::RenameTarget& target : rules::CollectRename(rows_)) {
    CRenameDlg rename(this);
    rename.SetName(target.version.GetName());
    const bool accepted = ModalRunner::Exec(rename) == QDialog::Accepted;
    if (IsClosePending()) return;
    const std::optional<std::string> refusal =
        accepted ? RefusalTexts::RenameDocument(rows_.GetList(), target.version.GetIndexName(), rename.GetName())
                 : std::nullopt;
    if (refusal) {
      Refuse(refusal->c_str());
    } else if (accepted && rename.GetName() != target.version.GetName()) {
      document_.SendRenameDocument(projectIndexName, target.version.GetIndexName(), rename.GetName());
    }
    // The rows may have been refilled meanwhile: untick only the row still showing it.
    const int version = rows_.GetRowVersionIndex(target.row);
    if (rows_.IsTicked(target.row) && version >= 0 &&
        rows_.GetList().GetAt(rows_.GetRow(target.row).document)->GetVersion(version)->GetIndexName() ==
            target.version.GetIndexName()) {
      rows_.ToggleRowTick(target.row, false, Flags());
    }
    ShowRows();
  }
}

void CRowListView::Publish() {
  if (document_.IsPreparingPublication()) {
    document_.AbandonPublication();
    return;
  }
  document_.SetPreparingPublication(true);
  CNewEditionDlg dialog(document_, this);
  const int result = ModalRunner::Exec(dialog);
  if (IsClosePending()) return;
  if (result != QDialog::Accepted) document_.AbandonPublication();
}

void CRowListView::ConfirmPublication() {
  if (rows_.IsSelectionChanged() && !rows_.GetCachePath().empty()) rows_.GetList().WriteFile(rows_.GetCachePath());
  document_.QueueEditionBatch();
}
