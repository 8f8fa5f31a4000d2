#pragma once
// The window of one open library inside the main frame: the library tree on the
// left, the document list above the local file list on the right, in two
// splitters. It makes the three views, attaches them to the document and lets go
// of them when the document has closed (the main frame tells it from the open
// libraries' closed observer); the window itself goes once that handler returns.
// Closing the window closes the library: at once, or, while a handler of the
// library holds it, at the first pass after the last hold. When the link ends under
// a dialog of the window, the dialog is closed with a notice: nothing it would
// send can go.
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>

#include "client/ui/CommandTarget.h"

class CBrannockDoc;
class CBrannockView;
class DocumentFilterBar;
class QMenu;
class CRowListView;
class DocumentView;
class LocalFileListView;
class PaneLayout;
class QSplitter;

class SplitterFrame : public QMdiSubWindow, public CommandTarget {
  Q_OBJECT

 public:
  static constexpr int kLinkWatchMs = 200;
  static constexpr const char* kDialogsClosed =
      "The connection to the library \"%s\" has ended, so these windows were closed; nothing in them was "
      "sent:\r\n";

  // `layout` (the main frame's) outlives the window.
  SplitterFrame(CBrannockDoc& document, PaneLayout& layout, QWidget* parent = nullptr);
  // Lets go of a document still open (the views detach from it).
  ~SplitterFrame() override;

  // The library shown; null once it closed.
  CBrannockDoc* GetDocument() const { return document_; }
  // The document has closed and is about to go: the views detach and are destroyed
  // now, the window at the next turn of the event loop.
  void OnDocumentClosed();

  // Gives the splitters the current user's pane sizes for the main window's state.
  void ApplyPaneSizes();
  // Shows the window maximised in its area with the stored sizes; the panes'
  // first sizes, on the way there, are not stored.
  void ShowMaximised();
  // Widens the main window, within its screen, so that both lists show every column
  // whole (see CListViewEx::WidenWindowToShowColumns); the lists do the same as rows come.
  void WidenToShowColumns();
  // F6 / Shift+F6: the focus moves to the next / previous pane, round the three.
  void ActivateNextPane(bool forward);
  // The pane that has, or last had, the focus (the tree at first); null once closed.
  CommandTarget* GetActiveView() const;
  // The pane that answers `command` first: the document list for the Operations while
  // it holds ticked documents, else the active pane.
  CommandTarget* GetActiveView(int command) const;
  QWidget* GetPane(int index) const { return panes_[static_cast<std::size_t>(index)]; }
  DocumentFilterBar* GetFilterBar() const { return filterBar_; }

  // A command's menu text for the context menus ("" when the program has none), and
  // what follows a command run from one (the main window's items are asked again).
  void SetCommandTexts(std::function<QString(int)> texts) { commandTexts_ = std::move(texts); }
  void SetCommandsRun(std::function<void()> ran) { commandsRun_ = std::move(ran); }
  // Opens pane `index`'s context menu at `position` (the pane's viewport), on what is
  // there; the keyboard opens it on the current item. Returns the menu, which closes
  // itself; null once the window has closed.
  QMenu* OpenContextMenu(int index, const QPoint& position);
  // Shows a found document: its project selected in the tree and its row in the list.
  void GoToDocument(const std::string& projectIndexName, const std::string& documentName);

  // The window's own commands: Refresh, which the tree answers whichever pane is
  // active, and Find in Library; the active view answers for the others.
  CommandStatus QueryCommand(int command) override;
  void RunCommand(int command) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void DestroyViews();
  void SetSplitterSizes();
  // Where the keyboard opens a pane's context menu: on its current item.
  QPoint KeyboardMenuPosition(int index) const;
  void FindInLibrary(bool myCheckOuts);
  // Once the library's link has ended and it waits to close: closes the window's open
  // dialogs (they hold it) and tells which.
  void CloseDialogsOfEndedLink();

  CBrannockDoc* document_;
  PaneLayout& layout_;
  QSplitter* outer_;
  QSplitter* inner_;
  CBrannockView* tree_;
  CRowListView* rowList_;
  LocalFileListView* localList_;
  QWidget* rightColumn_;   // the filter bar over the inner splitter
  DocumentFilterBar* filterBar_;
  std::function<QString(int)> commandTexts_;
  std::function<void()> commandsRun_;
  QPointer<QMenu> contextMenu_;
  std::array<QWidget*, 3> panes_;
  std::array<DocumentView*, 3> views_;
  std::array<CommandTarget*, 3> targets_;
  QTimer linkWatch_;
  int activePane_ = 0;
  bool sizesApplied_ = false;
};
