#pragma once
// The library tree of one open library (left pane): projects under the root, their
// images and publication check boxes, the tree's commands and drags, and the relay
// of the progress hints to the progress dialog. The items and the rules behind them
// live in LibraryTreeItems and TreeCommandRules; this window shows and forwards.
// The library window makes it, attaches it to the document and destroys it before
// the document goes; it reaches the document only through the reference it is given.
#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <QTreeWidget>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "client/document/DocumentViews.h"
#include "client/rules/LibraryTreeItems.h"
#include "client/rules/TreeCommandRules.h"
#include "client/ui/CommandTarget.h"
#include "client/ui/DragMime.h"

class CBrannockDoc;
class ProjectDocumentList;
class ProgressRelay;

class CBrannockView : public QTreeWidget,
                      public DocumentView,
                      public CommandTarget,
                      private LibraryTreeItems::Listener {
  Q_OBJECT

 public:
  static constexpr const char* kDeleteQuestion = "Are you sure you want to delete this project?";
  static constexpr const char* kCommentsRequired = "You must specify comments when checking in files.";

  CBrannockView(CBrannockDoc& document, QWidget* parent = nullptr);
  ~CBrannockView() override;

  // Called once by the library window after all three views exist.
  void OnInitialUpdate();

  CommandStatus QueryCommand(int command) override;
  std::string RightsNote(int command) override;
  void RunCommand(int command) override;

  // The widget item showing a tree item; null when none does.
  QTreeWidgetItem* FindWidgetItem(TreeItem id) const;
  const LibraryTreeItems& GetItems() const { return items_; }
  ProgressRelay& GetProgressRelay() const { return *relay_; }
  bool IsCheckBoxMode() const { return checkBoxMode_; }
  // Opens the way to the project and selects it (the document list follows); false
  // when the tree holds no such project.
  bool SelectProject(const std::string& indexName);
  // Where an item's check box is drawn (empty when it shows none).
  QRect CheckBoxRect(const QTreeWidgetItem* item) const;

 protected:
  void OnUpdate(int code) override;
  // The pane's own resize (resizeEvent sees the viewport's) stores its size.
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // A drop taken in the drag loop, finished (comments, batch) after the loop.
  struct PendingDrop {
    DragMime::What what = DragMime::What::kDocuments;
    std::string targetIndexName;
    std::string subject;   // the dragged project's index name, or our copy of the documents' list
  };

  // LibraryTreeItems::Listener.
  void ItemsCleared() override;
  void ItemInserted(const LibraryTreeItems::Item& item, int row) override;
  void StateChanged(TreeItem id, int state) override;

  void RebuildPlain();
  void RebuildForPublication();
  void InsertMissing();
  void MakeListOfCheckedProjects();
  void SetCheckBoxMode(bool on);
  void ShowIcon(QTreeWidgetItem& widget, const LibraryTreeItems::Item& item);
  // Selects the root after a rebuild; the selection then names the current project.
  void SelectRoot();
  // After a rebuild: the projects the user had opened are opened again and the selected
  // one selected again, where they still exist; else the root is selected.
  void RestoreOpenedProjects();
  void OnCurrentItemChanged(QTreeWidgetItem* current);

  ProjectNode* NodeOf(const QTreeWidgetItem* widget) const;
  ProjectNode* CurrentProject() const;
  // The rule behind a command id; none for ids the tree does not handle.
  static std::optional<TreeCommandRules::Command> CommandOf(int command);

  void MapToFolder();
  void Retrieve();
  void Publish();
  void DeleteProject();
  // The delete question naming the project and counting what goes with it.
  std::string DeleteQuestion(const ProjectNode* node);
  // The project's documents from the list cache; false when they were never listed.
  bool ReadDocumentList(const ProjectNode& project, ProjectDocumentList& list);
  void RenameProject();
  void ShowInformation();
  void Refresh(QTreeWidgetItem* widget);

  void StartProjectDrag(const std::string& indexName);
  bool MayDrop(const std::optional<DragMime::Payload>& payload, const QPoint& position) const;
  void RunPendingDrop();

  CBrannockDoc& document_;
  LibraryTreeItems items_;
  TreeCommandRules rules_;
  std::unique_ptr<ProgressRelay> relay_;
  std::map<TreeItem, QTreeWidgetItem*> widgets_;
  std::vector<QPixmap> boxImages_;   // the boxes of states 1-4
  std::map<int, QIcon> icons_;       // by look (box mode, state, images)
  bool checkBoxMode_ = false;
  bool rebuilding_ = false;
  bool skipNextRefresh_ = false;
  std::set<std::string> expanded_;     // index names of the opened projects
  std::string selectedIndexName_;
  std::optional<QPoint> pressPosition_;
  std::optional<PendingDrop> pendingDrop_;
};
