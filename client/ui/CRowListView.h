#pragma once
// The document list of one open library (upper right pane): the current project's
// documents, each expandable into its versions, with tick boxes, sorting, the
// list's commands and document drags. The rows and the rules behind them live in
// DocumentRowModel and DocumentCommandRules; this window shows them and forwards.
// The library window makes it, attaches it to the document and destroys it before
// the document goes; it reaches the document only through the reference it is given.
#include "client/ui/CListViewEx.h"

#include <optional>
#include <string>

#include "client/document/DocumentViews.h"
#include "client/rules/DocumentCommandRules.h"
#include "client/rules/DocumentRowModel.h"
#include "client/rules/TreeCommandRules.h"
#include "client/ui/CommandTarget.h"
#include "client/ui/DocumentOpener.h"
#include "client/ui/DocumentRowIcons.h"
#include "common/MessageIds.h"
#include "platform/Clock.h"
#include "platform/NumberLocale.h"

class CBrannockDoc;
class ProjectNode;

class CRowListView : public CListViewEx, public DocumentView, public CommandTarget {
  Q_OBJECT

 public:
  static constexpr int kHelpTopic = 20000;
  static constexpr const char* kDragFileName = "DragDropFiles";
  static constexpr int kReplaceIfChanged = 3;   // replace mode of check-out and retrieve
  static constexpr int kCheckInReadOnly = 1;    // check-in mode: checked-in copies become read-only
  static constexpr const char* kNoComments = "You must specify comments when checking in files.";
  static constexpr const char* kNoCheckInProject =
      "The project to which you wish to check-in the selected files cannot be found.";
  static constexpr const char* kNoDeleteProject =
      "The project from which you wish to delete the selected files cannot be found.";
  static constexpr const char* kCheckInNotSent =
      "Nothing was checked in: a file is larger than 2 GiB, cannot be read, or has a name the library does not "
      "accept, or the link to the library has ended.";
  static constexpr const char* kProceedWithCheckIn =
      "Do you wish to proceed with check-in of the remaining files that were found ?";
  static constexpr const char* kWritableOnRetrieval = "Make documents writable on retrieval ?";
  // Asked before retrieving the documents of a project mapped to no folder of the user's.
  static constexpr const char* kRetrieveWhere =
      "The project \"%s\" is mapped to no folder of yours: its documents would go to the program's own folder\r\n"
      "    %s\r\n\r\nChoose a folder for them? No puts them in the program's folder. To send the project's "
      "documents to a folder of yours every time, use Map project to local folder in the project tree.";
  static constexpr const char* kReplaceUndoneCopies =
      "Replace your local copies with the library's latest versions?\n\nChanged copies are backed up first. "
      "No keeps your copies as they are, read-only.";

  CRowListView(CBrannockDoc& document, QWidget* parent = nullptr);

  // Called once by the library window after all three views exist.
  void OnInitialUpdate();

  CommandStatus QueryCommand(int command) override;
  std::string RightsNote(int command) override;
  void RunCommand(int command) override;
  // The Operations' items count the documents they act on.
  std::string ItemText(int command) override;

  // The file listing the documents of a drag, in the library folder.
  std::string DragFilePath() const;

  // The documents the ticked rows name: while any are, the Operations act on them.
  int TickedDocumentCount() const;
  // Only the documents the filter matches are listed from now on.
  void SetFilter(const DocumentFilter& filter);
  // Selects the row of the document of that name in the current project, now or once
  // its list has come (unless another project is chosen first).
  void GoToDocument(const std::string& name);
  // Before the context menu opens on the row at `row` (-1: none): the row whose details
  // it offers, ticked when no row is, so the menu's commands act on what was pointed at.
  void PrepareContextMenu(int row);
  int RowAt(const QPoint& point) const;

 protected:
  void OnUpdate(int code) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  // Opens the row's document; while a publication is prepared, expands or
  // collapses it instead (its versions are then what is chosen).
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  // Space ticks (or unticks) the focused row, and every other selected row alike;
  // Enter opens the focused row's document; + and - expand and collapse it.
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  PublicationFlags Flags() const;
  DocumentCommandRules::Situation CurrentSituation();
  ProjectNode* FindCurrentProject();
  CommandStatus Shared(TreeCommandRules::Command command) const;
  // The commands' states before the account's rights in the current project are applied.
  CommandStatus QueryIgnoringRights(int command);
  // The request a list command sends; none for the window's own commands.
  static std::optional<MessageId> RequestOf(int command);
  bool IsClosePending() const;

  // Rebuilds the rows from the cache file (or, `keepList`, from the list in memory).
  void FillDocumentRows(bool keepList);
  void RefillDocumentList();
  // Brings the items in line with the model's rows.
  void ShowRows();
  void ShowItem(QTreeWidgetItem& item, const DocumentRowModel::Row& row);
  // Selects the document GoToDocument asked for when its row is there.
  void SelectPendingDocument();

  void OnStateImageClicked(QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers);
  void TickFromKeyboard();
  void OnColumnClick(int column);
  void ShowRowInformation(int row);
  void StartDrag();
  // Opens the document of `row` (see DocumentOpener); its history for ShowHistory.
  void OpenRow(int row);
  void ShowHistory();

  void CheckOut();
  void CheckIn();
  void UndoCheckOut();
  void Retrieve();
  // Where a retrieval's files go: "" for the project's folder; for a project mapped to
  // no folder of the user's, asked (a chosen folder, or "" for the program's own).
  // None when the user gave up.
  std::optional<std::string> ChooseRetrievalFolder();
  void Delete();
  void Rename();
  void Publish();
  void ConfirmPublication();
  // A box captioned with the program's name; true when answered Yes.
  bool Ask(const char* question);
  void Refuse(const char* text);

  CBrannockDoc& document_;
  DocumentRowModel rows_;
  DocumentRowIcons icons_;
  platform::NumberLocale locale_;
  platform::DateLocale dateLocale_;
  QPoint pressPoint_;
  bool dragArmed_ = false;   // the left button went down here and no drag was tried since
  DocumentOpener opener_;
  int contextRow_ = -1;      // the row the context menu was opened on
  std::string pendingDocument_;   // GoToDocument's, until its row is listed
  std::string pendingProject_;    // the project it was asked in
};
