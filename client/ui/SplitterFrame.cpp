#include "client/ui/SplitterFrame.h"

#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/records/ClientAppState.h"
#include "client/rules/PaneLayout.h"
#include "client/rules/TreeCommandRules.h"
#include "client/ui/CBrannockView.h"
#include "client/ui/CFindInLibraryDlg.h"
#include "client/ui/CommandIds.h"
#include "client/ui/ContextMenus.h"
#include "client/ui/CRowListView.h"
#include "client/ui/DocumentFilterBar.h"
#include "client/ui/LocalFileListView.h"
#include "client/ui/ModalRunner.h"
#include "client/ui/OperationCommands.h"
#include "platform/Notifier.h"

namespace {

constexpr ContextMenus::Pane kPanes[] = {ContextMenus::Pane::kTree, ContextMenus::Pane::kDocuments,
                                         ContextMenus::Pane::kLocal};

}  // namespace

SplitterFrame::SplitterFrame(CBrannockDoc& document, PaneLayout& layout, QWidget* parent)
    : QMdiSubWindow(parent), document_(&document), layout_(layout) {
  setObjectName("SplitterFrame");
  setWindowTitle(QString::fromStdString(document.GetDisplayName()));
  outer_ = new QSplitter(Qt::Horizontal, this);
  outer_->setObjectName("OuterSplitter");
  tree_ = new CBrannockView(document, outer_);
  // The filter bar heads the right-hand column, over the document list, outside the
  // splitter whose rows keep the panes' stored heights.
  rightColumn_ = new QWidget(outer_);
  rightColumn_->setObjectName("RightColumn");
  filterBar_ = new DocumentFilterBar(rightColumn_);
  inner_ = new QSplitter(Qt::Vertical, rightColumn_);
  inner_->setObjectName("InnerSplitter");
  auto* column = new QVBoxLayout(rightColumn_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(filterBar_);
  column->addWidget(inner_, 1);
  connect(filterBar_, &DocumentFilterBar::filterChanged, this, [this] {
    if (rowList_ != nullptr) rowList_->SetFilter(filterBar_->GetFilter());
  });
  rowList_ = new CRowListView(document, inner_);
  localList_ = new LocalFileListView(document, inner_);
  outer_->addWidget(tree_);
  outer_->addWidget(rightColumn_);
  inner_->addWidget(rowList_);
  inner_->addWidget(localList_);
  // A wider window widens the lists; the tree keeps its width.
  outer_->setStretchFactor(1, 1);
  outer_->setChildrenCollapsible(false);
  inner_->setChildrenCollapsible(false);
  setWidget(outer_);

  panes_ = {tree_, rowList_, localList_};
  views_ = {tree_, rowList_, localList_};
  targets_ = {tree_, rowList_, localList_};
  for (std::size_t i = 0; i < panes_.size(); ++i) {
    QWidget* pane = panes_[i];
    pane->installEventFilter(this);
    pane->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pane, &QWidget::customContextMenuRequested, this,
            [this, i](const QPoint& position) { OpenContextMenu(static_cast<int>(i), position); });
  }
  for (DocumentView* view : views_) document.GetViews().Attach(*view);
  tree_->OnInitialUpdate();
  rowList_->OnInitialUpdate();
  localList_->OnInitialUpdate();
  connect(&linkWatch_, &QTimer::timeout, this, &SplitterFrame::CloseDialogsOfEndedLink);
  linkWatch_.start(kLinkWatchMs);
}

void SplitterFrame::CloseDialogsOfEndedLink() {
  if (document_ == nullptr || !document_->IsLinkEnded() || !document_->IsClosePending()) return;
  std::string closed;
  for (QDialog* dialog : findChildren<QDialog*>()) {
    if (!dialog->isVisible()) continue;
    closed += "    " + dialog->windowTitle().toStdString() + "\r\n";
    // Without the question about typed input: nothing typed there can be sent now.
    dialog->QDialog::reject();
  }
  if (closed.empty()) return;
  // Once is enough (the library closes next), and the notice's own box is never taken
  // for one of the window's dialogs.
  linkWatch_.stop();
  std::string text = kDialogsClosed;
  text.replace(text.find("%s"), 2, document_->GetDisplayName());
  platform::NotifyText(text + closed, platform::NotifyIcon::Warning);
}

SplitterFrame::~SplitterFrame() { DestroyViews(); }

void SplitterFrame::DestroyViews() {
  linkWatch_.stop();
  if (document_ == nullptr) return;
  for (DocumentView* view : views_) document_->GetViews().Detach(*view);
  document_ = nullptr;
  // Each pane that goes resizes the others: none of those sizes is the user's to store.
  const PaneLayout::ApplyingScope keepStoredSizes;
  delete contextMenu_;
  for (QWidget*& pane : panes_) {
    pane->removeEventFilter(this);
    delete pane;
    pane = nullptr;
  }
  delete filterBar_;
  filterBar_ = nullptr;
  views_ = {};
  targets_ = {};
  tree_ = nullptr;
  rowList_ = nullptr;
  localList_ = nullptr;
}

void SplitterFrame::OnDocumentClosed() {
  DestroyViews();
  hide();
  deleteLater();
}

void SplitterFrame::ApplyPaneSizes() {
  const PaneLayout::ApplyingScope scope;
  if (scope.Entered()) SetSplitterSizes();
}

void SplitterFrame::ShowMaximised() {
  const PaneLayout::ApplyingScope scope;
  showMaximized();
  if (!isVisible()) return;   // the first resize of a visible window applies them
  sizesApplied_ = true;
  SetSplitterSizes();
}

void SplitterFrame::SetSplitterSizes() {
  if (document_ == nullptr) return;
  PaneLayout::StoredSizes stored{};
  CBrannockApp& app = document_->GetApp();
  {
    platform::CriticalSection::Lock lock(app.GetProfileLock());
    const UserProfile* user = app.GetCurrentUser();
    if (user == nullptr) return;
    user->GetPaneSizes(stored[0], stored[1], stored[2], stored[3], stored[4], stored[5],
                       UserProfile::kCurrentLayout);
  }
  const PaneLayout::SplitterSizes sizes =
      layout_.Compute(stored, ClientAppState::GetWindowState() == ClientAppState::kMaximised);
  const int rightWidth = outer_->width() - outer_->handleWidth() - sizes.treeWidth;
  outer_->setSizes({sizes.treeWidth, std::max(rightWidth, 1)});
  inner_->setSizes({sizes.rowListHeight, sizes.localHeight});
}

void SplitterFrame::WidenToShowColumns() {
  if (document_ == nullptr) return;
  rowList_->WidenWindowToShowColumns();
  localList_->WidenWindowToShowColumns();
}

void SplitterFrame::ActivateNextPane(bool forward) {
  if (document_ == nullptr) return;
  const int count = static_cast<int>(panes_.size());
  activePane_ = (activePane_ + (forward ? 1 : count - 1)) % count;
  panes_[static_cast<std::size_t>(activePane_)]->setFocus(Qt::TabFocusReason);
}

CommandTarget* SplitterFrame::GetActiveView() const {
  return document_ == nullptr ? nullptr : targets_[static_cast<std::size_t>(activePane_)];
}

CommandTarget* SplitterFrame::GetActiveView(int command) const {
  if (document_ == nullptr || !OperationOf(command)) return GetActiveView();
  const OperationTargets::Pane answering =
      OperationTargets::Answering(kPanes[static_cast<std::size_t>(activePane_)], rowList_->TickedDocumentCount());
  return answering == OperationTargets::Pane::kDocuments ? rowList_ : GetActiveView();
}

CommandStatus SplitterFrame::QueryCommand(int command) {
  if (tree_ == nullptr) return {};
  switch (command) {
    case CommandIds::kRefresh: return tree_->QueryCommand(command);
    case CommandIds::kFindInLibrary:
    case CommandIds::kMyCheckOuts:
      // A search asks for the tree again: not while a publication is prepared on it.
      return {true, !TreeCommandRules(*document_).IsPublicationUnderWay() && !document_->IsLinkEnded(), false};
    default: return {};
  }
}

void SplitterFrame::RunCommand(int command) {
  if (!QueryCommand(command).enabled) return;
  if (command == CommandIds::kRefresh) {
    tree_->RunCommand(command);
    // The disk is read again too: what F5 shows in the local list is what is there now.
    if (localList_ != nullptr) localList_->Relist();
  }
  if (command == CommandIds::kFindInLibrary || command == CommandIds::kMyCheckOuts) {
    FindInLibrary(command == CommandIds::kMyCheckOuts);
  }
}

void SplitterFrame::FindInLibrary(bool myCheckOuts) {
  CBrannockDoc& document = *document_;
  OpenLibraries::Hold hold(document.GetApp().GetOpenLibraries(), document);
  CFindInLibraryDlg dialog(document, this);
  if (myCheckOuts) dialog.StartWithMyCheckOuts();
  if (ModalRunner::Exec(dialog) != QDialog::Accepted || document.IsClosePending() || !dialog.GetChosen()) return;
  GoToDocument(dialog.GetChosen()->projectIndexName, dialog.GetChosen()->document.GetName());
}

void SplitterFrame::GoToDocument(const std::string& projectIndexName, const std::string& documentName) {
  if (document_ == nullptr) return;
  // A filter that hides the document would hide where it went.
  filterBar_->Clear();
  if (!tree_->SelectProject(projectIndexName)) return;
  rowList_->GoToDocument(documentName);
}

QPoint SplitterFrame::KeyboardMenuPosition(int index) const {
  const auto* view = static_cast<const QTreeWidget*>(panes_[static_cast<std::size_t>(index)]);
  const QTreeWidgetItem* current = view->currentItem();
  return current == nullptr ? QPoint(0, 0) : view->visualItemRect(current).center();
}

QMenu* SplitterFrame::OpenContextMenu(int index, const QPoint& position) {
  if (document_ == nullptr || !commandTexts_ || index < 0 || index >= static_cast<int>(panes_.size())) return nullptr;
  delete contextMenu_;
  const auto pane = static_cast<std::size_t>(index);
  // The menu acts on what is under the pointer: it becomes the current item first.
  switch (kPanes[pane]) {
    case ContextMenus::Pane::kTree:
      if (QTreeWidgetItem* item = tree_->itemAt(position)) tree_->setCurrentItem(item);
      break;
    case ContextMenus::Pane::kDocuments:
      rowList_->PrepareContextMenu(rowList_->RowAt(position));
      break;
    case ContextMenus::Pane::kLocal:
      if (QTreeWidgetItem* item = localList_->itemAt(position); item != nullptr && !item->isSelected()) {
        localList_->setCurrentItem(item);
      }
      break;
  }
  auto* menu = new QMenu(this);
  menu->setObjectName("ContextMenu");
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // A chosen item runs once the menu has closed, on the pane that is there then.
  ContextMenus::Fill(*menu, kPanes[pane], *targets_[pane], commandTexts_, [this, pane](int command) {
    QMetaObject::invokeMethod(
        this,
        [this, pane, command] {
          // Asked again, as the menu bar's commands are: its state may have changed meanwhile.
          CommandTarget* target = targets_[pane];
          if (target != nullptr && target->QueryCommand(command).enabled) target->RunCommand(command);
          if (commandsRun_) commandsRun_();
        },
        Qt::QueuedConnection);
  });
  contextMenu_ = menu;
  auto* view = static_cast<QAbstractScrollArea*>(panes_[pane]);
  menu->popup(view->viewport()->mapToGlobal(position));
  return menu;
}

void SplitterFrame::closeEvent(QCloseEvent* event) {
  if (document_ == nullptr) {
    event->accept();
    return;
  }
  // The window goes with its library: the closed observer ends it.
  event->ignore();
  document_->OnCloseDocument();
}

void SplitterFrame::resizeEvent(QResizeEvent* event) {
  QMdiSubWindow::resizeEvent(event);
  // The stored sizes fit only the final size: the maximised window in the frame.
  if (!sizesApplied_ && isVisible() && isMaximized()) {
    sizesApplied_ = true;
    ApplyPaneSizes();
  }
}

bool SplitterFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool menuKey = key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier;
    const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
    for (std::size_t i = 0; (menuKey || shiftF10) && i < panes_.size(); ++i) {
      if (panes_[i] != watched) continue;
      OpenContextMenu(static_cast<int>(i), KeyboardMenuPosition(static_cast<int>(i)));
      return true;
    }
  }
  if (event->type() == QEvent::FocusIn) {
    for (std::size_t i = 0; i < panes_.size(); ++i) {
      if (panes_[i] == watched) activePane_ = static_cast<int>(i);
    }
  }
  return QMdiSubWindow::eventFilter(watched, event);
}
