#pragma once
// An opened library shown in a tree view, offscreen, with scripted dialogs and
// answers: the store holds Alpha (Beta) and delta; the view shows the tree once the
// first tree reply came. Helpers drive the mouse and synthetic drags, and read the
// store back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDrag>
#include <QDialog>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "client/ui/CBrannockView.h"
#include "client/ui/COperationProgressDlg.h"
#include "client/ui/ProgressRelay.h"
#include "client/ui/ModalRunner.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFileList.h"
#include "server/store/ServerProject.h"
#include "server/store/StoreFilePaths.h"
#include "server/store/StringList.h"
#include "testsupport/ClientLibraryTest.h"

namespace tree_view_test {

using namespace client_test;

constexpr int kWaitMs = 20000;

class CBrannockViewTest : public ClientLibraryTest {
 protected:
  void SetUp() override {
    ClientLibraryTest::SetUp();
    ModalRunner::SetScripted(true);
    alpha_ = NewProject("", "Alpha");
    beta_ = NewProject(alpha_, "Beta");
    delta_ = NewProject("", "delta");
    AddDocument(alpha_, "a.txt", "alpha");
    AddDocument(beta_, "b.txt", "beta");
    document_ = OpenReady("0");
    ASSERT_NE(document_, nullptr);
    notifier_ = std::make_unique<platform::ui::ScriptedNotifier>();
    view_ = std::make_unique<CBrannockView>(*document_);
    document_->GetViews().Attach(*view_);
    view_->OnInitialUpdate();
    view_->resize(500, 600);
    view_->show();
    ASSERT_TRUE(PassUntil([&] { return Widget(beta_) != nullptr; }));
    view_->expandAll();
  }
  void TearDown() override {
    if (IsOpen()) document_->GetViews().Detach(*view_);
    view_.reset();
    notifier_.reset();
    ModalRunner::SetScripted(false);
    ClientLibraryTest::TearDown();
  }
  bool IsOpen() {
    return app_->GetOpenLibraries().Find([this](const LibraryDocument& open) { return &open == document_; }) !=
           nullptr;
  }


  // The view.
  ProjectNode* Node(const std::string& indexName) { return document_->GetProjectTree().FindProjectByPath(indexName); }
  QTreeWidgetItem* Widget(const std::string& indexName) {
    const ProjectNode* node = Node(indexName);
    return node == nullptr ? nullptr : view_->FindWidgetItem(node->GetTreeItem());
  }
  QPoint Center(const std::string& indexName) { return view_->visualItemRect(Widget(indexName)).center(); }
  void Select(const std::string& indexName) { view_->setCurrentItem(Widget(indexName)); }
  void SendMouse(QEvent::Type type, const QPoint& at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, view_->viewport()->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(view_->viewport(), &event);
  }
  // Qt passes moves and drops to the widget that took the drag's entry.
  void Enter(const QMimeData& data, const QPoint& at) {
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view_->viewport(), &enter);
  }
  // A drag over `at` carrying `data`: whether the view takes it there.
  bool DragOver(const QMimeData& data, const QPoint& at) {
    Enter(data, at);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view_->viewport(), &move);
    return move.isAccepted();
  }
  bool Drop(const QMimeData& data, const QPoint& at) {
    Enter(data, at);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view_->viewport(), &drop);
    return drop.isAccepted();
  }
  // The comments dialog's answer: `comments` typed and OK, or Cancel.
  static void QueueComments(const std::string& comments, bool ok = true) {
    ModalRunner::QueueDialog(
        [comments, ok](QDialog& dialog) {
          if (!ok) {
            dialog.findChild<QPushButton*>("1071")->click();
            return;
          }
          dialog.findChild<QPlainTextEdit*>("1069")->setPlainText(QString::fromStdString(comments));
          dialog.findChild<QPushButton*>("1070")->click();
        },
        "CCommentsDlg");
  }
  // The progress dialog stays until the queue closes it.
  static void QueueProgress() {
    ModalRunner::QueueDialog(
        [](QDialog& dialog) { EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, kWaitMs)); },
        "COperationProgressDlg");
  }
  bool WaitForQueueEmpty() {
    return PassUntil([&] { return document_->GetBatches().empty(); }, std::chrono::milliseconds(kWaitMs));
  }
  // Lets pending timers (dialogs opened after a hint) run.
  bool Settle() {
    return QTest::qWaitFor([&] { return ModalRunner::PendingScripts() == 0 && !view_->GetProgressRelay().IsOpenPending() &&
                                        view_->GetProgressRelay().GetDialog() == nullptr; },
                           kWaitMs);
  }

  std::string alpha_, beta_, delta_;
  CBrannockDoc* document_ = nullptr;
  std::unique_ptr<platform::ui::ScriptedNotifier> notifier_;
  std::unique_ptr<CBrannockView> view_;
};

}  // namespace tree_view_test
