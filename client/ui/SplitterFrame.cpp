#include "client/ui/SplitterFrame.h"

#include <QCloseEvent>
#include <QDialog>
#include <QSplitter>
#include <algorithm>
#include <string>

#include "client/document/CBrannockApp.h"
#include "client/document/CBrannockDoc.h"
#include "client/records/ClientAppState.h"
#include "client/rules/PaneLayout.h"
#include "client/ui/CBrannockView.h"
#include "client/ui/CommandIds.h"
#include "client/ui/CRowListView.h"
#include "client/ui/LocalFileListView.h"
#include "platform/Notifier.h"

SplitterFrame::SplitterFrame(CBrannockDoc& document, PaneLayout& layout, QWidget* parent)
    : QMdiSubWindow(parent), document_(&document), layout_(layout) {
  setObjectName("SplitterFrame");
  setWindowTitle(QString::fromStdString(document.GetDisplayName()));
  outer_ = new QSplitter(Qt::Horizontal, this);
  outer_->setObjectName("OuterSplitter");
  tree_ = new CBrannockView(document, outer_);
  inner_ = new QSplitter(Qt::Vertical, outer_);
  inner_->setObjectName("InnerSplitter");
  rowList_ = new CRowListView(document, inner_);
  localList_ = new LocalFileListView(document, inner_);
  outer_->addWidget(tree_);
  outer_->addWidget(inner_);
  inner_->addWidget(rowList_);
  inner_->addWidget(localList_);
  outer_->setChildrenCollapsible(false);
  inner_->setChildrenCollapsible(false);
  setWidget(outer_);

  panes_ = {tree_, rowList_, localList_};
  views_ = {tree_, rowList_, localList_};
  targets_ = {tree_, rowList_, localList_};
  for (QWidget* pane : panes_) pane->installEventFilter(this);
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
  for (QWidget*& pane : panes_) {
    pane->removeEventFilter(this);
    delete pane;
    pane = nullptr;
  }
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

void SplitterFrame::ActivateNextPane(bool forward) {
  if (document_ == nullptr) return;
  const int count = static_cast<int>(panes_.size());
  activePane_ = (activePane_ + (forward ? 1 : count - 1)) % count;
  panes_[static_cast<std::size_t>(activePane_)]->setFocus(Qt::TabFocusReason);
}

CommandTarget* SplitterFrame::GetActiveView() const {
  return document_ == nullptr ? nullptr : targets_[static_cast<std::size_t>(activePane_)];
}

CommandStatus SplitterFrame::QueryCommand(int command) {
  return command == CommandIds::kRefresh && tree_ != nullptr ? tree_->QueryCommand(command) : CommandStatus{};
}

void SplitterFrame::RunCommand(int command) {
  if (command != CommandIds::kRefresh || tree_ == nullptr) return;
  tree_->RunCommand(command);
  // The disk is read again too: what F5 shows in the local list is what is there now.
  if (localList_ != nullptr) localList_->Relist();
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
  if (event->type() == QEvent::FocusIn) {
    for (std::size_t i = 0; i < panes_.size(); ++i) {
      if (panes_[i] == watched) activePane_ = static_cast<int>(i);
    }
  }
  return QMdiSubWindow::eventFilter(watched, event);
}
