#pragma once
// The local file list of one open library (lower right pane): the files and folders
// of one local folder with their statuses against the mapped projects, sorting,
// folder navigation and Add to Library. What it shows and the rules of adding live
// in LocalFolderListing and LocalAddRules; this window shows them and forwards.
// The library window makes it, attaches it to the document and destroys it before
// the document goes; it reaches the document only through the reference it is given.
// The list follows its folder: a change on disk there lists it again shortly after.
#include <QFileSystemWatcher>
#include <QTimer>
#include <string>
#include <vector>

#include "client/document/DocumentViews.h"
#include "client/rules/LocalFolderListing.h"
#include "client/ui/CListViewEx.h"
#include "client/ui/CommandTarget.h"

class CBrannockDoc;
class ProjectNode;

class LocalFileListView : public CListViewEx, public DocumentView, public CommandTarget {
  Q_OBJECT

 public:
  LocalFileListView(CBrannockDoc& document, QWidget* parent = nullptr);

  // Called once by the library window after all three views exist: the columns, and
  // the folder the document says a new list starts at (CBrannockDoc::GetStartLocalFolder) listed.
  void OnInitialUpdate();

  CommandStatus QueryCommand(int command) override;
  void RunCommand(int command) override;

  const std::string& GetFolder() const { return listing_.GetFolder(); }
  // The folder the list shows from now on (the title and the document follow); listed.
  void ShowFolder(const std::string& folder);
  // Rescans, sorts and shows the rows.
  void FillList();
  // The entries of the selected rows, top to bottom.
  std::vector<LocalFileEntry> SelectedEntries() const;
  // Lists again (F5, a change on disk, a new tree), selecting again the rows of the
  // same names, and watches the folder.
  void Relist();

 protected:
  void OnUpdate(int code) override;
  // Stores the pane's own size (resizeEvent sees the viewport's).
  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  // Enter opens the current row, as a double click does: a folder row is gone into,
  // a file opened with the desktop's application for its type.
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;

 private:
  void OnColumnClick(int column);
  void OnItemDoubleClick(QTreeWidgetItem* item);
  void OnSelectionChanged();
  // Lists again, selecting again the rows of the same names (not while no project is current).
  void RefreshKeepingSelection();
  // Watches the listed folder alone; nothing when it is not a folder.
  void WatchFolder();
  // The folder chooser from the list's folder; true when another folder was chosen
  // and is now listed.
  bool ChooseFolder();
  void OnAddToLibrary();
  // The files of a selection of files only, into the current project.
  void AddToCurrentProject(const std::string& indexName, const std::vector<std::string>& files);
  // Through the add dialog: files into the chosen parent, folders as a batch.
  void AddThroughDialog(const std::vector<LocalFileEntry>& selected, const ProjectNode* current);
  std::vector<std::string> DocumentNames(const std::string& indexName) const;
  ProjectNode* CurrentProject() const;
  bool IsPublicationBusy() const;
  const LocalFileEntry* EntryOf(const QTreeWidgetItem* item) const;
  // The library window's title while `folder` is listed: the library's name, and the
  // folder unless it is the program's own copy of the library.
  std::string WindowTitle(const std::string& folder) const;

  CBrannockDoc& document_;
  LocalFolderListing listing_;
  QFileSystemWatcher watcher_;
  QTimer relistTimer_;   // one relisting for a burst of changes on disk
};
