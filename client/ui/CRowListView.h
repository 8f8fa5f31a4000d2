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
  static constexpr const char* kProceedWithCheckIn =
      "Do you wish to proceed with check-in of the remaining files that were found ?";
  static constexpr const char* kWritableOnRetrieval = "Make documents writable on retrieval ?";
  static constexpr const char* kProceedWithDeletion = "Do you wish to proceed with deletion of the selected files ?";

  CRowListView(CBrannockDoc& document, QWidget* parent = nullptr);

  // Called once by the library window after all three views exist.
  void OnInitialUpdate();

  CommandStatus QueryCommand(int command) override;
  std::string RightsNote(int command) override;
  void RunCommand(int command) override;

  // The file listing the documents of a drag, in the library folder.
  std::string DragFilePath() const;

 protected:
  void OnUpdate(int code) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  // Space ticks (or unticks) the focused row, and every other selected row alike.
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
  int RowAt(const QPoint& point) const;

  void OnStateImageClicked(QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers);
  void TickFromKeyboard();
  void OnColumnClick(int column);
  void ShowRowInformation(const QPoint& point);
  void StartDrag();

  void CheckOut();
  void CheckIn();
  void Retrieve();
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
};
