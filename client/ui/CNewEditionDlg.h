#pragma once
// Creates a new edition (the current project is a project) or supplement (it is an
// edition): its name and comments and, for an edition, optionally the edition and
// supplements it is based upon and which versions it takes. Show Details prepares
// the publication: the lists of the projects concerned are fetched (the dialog waits
// for them), the versions caches are staged and pre-ticked and the selection goes to
// the document. It ends with OK once prepared, with Cancel when nothing was prepared.
#include <functional>
#include <string>
#include <vector>

#include "client/ui/ClientDialog.h"
#include "common/EditionList.h"
#include "common/SupplementList.h"

class CBrannockDoc;
class ProjectNode;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

class CNewEditionDlg : public ClientDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 149;
  static constexpr const char* kCaption = "Create new edition or supplement";

  CNewEditionDlg(CBrannockDoc& document, QWidget* parent = nullptr);

  // Whether the progress dialog of the document's batches is open (or about to
  // open); the wait gives up when it closes with work left. Unset: not watched.
  void SetProgressWatch(std::function<bool()> isProgressOpen) { isProgressOpen_ = std::move(isProgressOpen); }

  // Show Details.
  void accept() override;

  QTreeWidget& GetSupplementsList() const { return *supplementsList_; }
  // Whether supplement row `row` is included.
  bool IsIncluded(int row) const;

 protected:
  bool HasTypedInput() const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void OnInitDialog();
  void FillEditions();
  void FillSupplements();
  void OnEditionChosen();
  void EnableConsolidation(bool enabled);
  void ToggleSupplement(QTreeWidgetItem* row);
  ProjectNode* FindProject() const;
  // What the dialog makes, and of what: a new edition of a project, a new
  // supplement of an edition (and its project), or nothing without a project.
  static std::string PurposeText(const ProjectNode* project);

  // Both end with false when nothing was prepared.
  bool PrepareFresh(const std::string& name, const std::string& comments);
  bool PrepareBasedUpon(const std::string& name, const std::string& comments);
  // Runs the document's passes until its queue is empty; false (give up) when the
  // document is to close, its link ended or the progress dialog closed with work left.
  bool WaitForQueue();

  CBrannockDoc& document_;
  std::function<bool()> isProgressOpen_;
  std::string projectIndexName_;   // "" when there was no current project
  bool hasProject_ = false;
  EditionList editions_;
  SupplementList supplements_;
  std::vector<bool> included_;

  QLabel* purpose_ = nullptr;
  QTreeWidget* supplementsList_ = nullptr;
  QComboBox* editionsCombo_ = nullptr;
  QPlainTextEdit* commentsEdit_ = nullptr;
  QLineEdit* nameEdit_ = nullptr;
  QCheckBox* basedUponBox_ = nullptr;
  QButtonGroup* versionGroup_ = nullptr;
  QPushButton* showDetails_ = nullptr;
  QPushButton* cancel_ = nullptr;
};
