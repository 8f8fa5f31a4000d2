#pragma once
// The rows of the document list and the rules behind them, without windows: one row
// per document showing one of its versions, an expanded document followed by one
// row per version, a tick box state per row (1 empty, 2 ticked, 3 and 4 the same
// greyed), and the current project's VersionedDocumentList the rows index into. The
// window mirrors the rows: rows are only inserted and removed, never moved, and
// every change gives the changed row a new stamp.
#include <cstdint>
#include <string>
#include <vector>

#include "client/library/VersionedDocumentList.h"
#include "client/rules/DocumentFilter.h"
#include "client/rules/DocumentSortOrder.h"

// The document's publication state as the list sees it.
struct PublicationFlags {
  bool preparing = false;    // the user chooses the versions a publication takes
  bool running = false;      // a publication was confirmed or abandoned: the list is inert
  bool checkBoxes = false;   // while preparing: the ticks may be changed
};

class DocumentRowModel {
 public:
  enum State { kUnticked = 1, kTicked = 2, kGreyedUnticked = 3, kGreyedTicked = 4 };

  struct Row {
    int document = -1;          // index in the list (the row's item data)
    int version = -1;           // the version whose cells the row shows
    bool versionRow = false;    // one of an expanded document's version rows
    int state = kUnticked;
    std::string status;         // the "Status" cell
    int image = 0;              // index of the row's icon
    std::uint64_t id = 0;       // the row's own, for its whole life
    std::uint64_t stamp = 0;    // new at every change of the row
  };

  // Which version a document row shows and which checked-out version names its status
  // (-1: none).
  struct ShownVersion {
    int version = -1;
    int statusVersion = -1;
  };
  // A full fill: the versions in order, the best number winning, until the first
  // checked-out one, which names the status and ends the scan.
  static ShownVersion ScanForFill(const VersionedDocument& document);
  // A refresh: every version; the first with the highest number above 0 is shown and
  // the last checked-out one names the status.
  static ShownVersion ScanForRefresh(const VersionedDocument& document);
  // The icon of a row showing `version`.
  static int RowImage(const DocumentVersionEntry& version, bool versionRow);

  // Rebuilds every row. An empty `cachePath` (no current project) leaves no rows.
  // Unless `keepList`, the list is first read from `cachePath`: a file that cannot be
  // read whole leaves no rows. A re-read forgets changed ticks; a kept list keeps them.
  // Nothing happens while a publication runs.
  void Fill(const std::string& cachePath, bool keepList, const PublicationFlags& flags);
  void ClearRows() {
    rows_.clear();
    showsList_ = false;
  }
  // From now on only the documents the filter matches have rows (`userName` is who
  // "me" is). The rows of documents still shown keep their ticks and expansion;
  // outside a publication a document filtered out is unticked.
  void SetFilter(const DocumentFilter& filter, const std::string& userName, const PublicationFlags& flags);

  void Expand(int row, const PublicationFlags& flags);
  void Collapse(int row, const PublicationFlags& flags);
  // Collapses an expanded document, expands the others.
  void ToggleExpansion(int row, const PublicationFlags& flags);
  // Rewrites the rows of an expanded document from its selected version.
  void RefreshDocumentRows(int row, const PublicationFlags& flags);
  // The tick click on `row`; with `shift` it unticks every row, or collapses every
  // document and ticks each one's latest version. True when the click was taken.
  bool ToggleRowTick(int row, bool shift, const PublicationFlags& flags);

  // The version the row's revision number names (first match); -1 when none.
  int GetRowVersionIndex(int row) const;
  int FindFirstRowOfDocument(int row) const;
  bool IsDocumentExpanded(int row) const;
  bool IsTicked(int row) const { return row >= 0 && row < GetRowCount() && rows_[Index(row)].state == kTicked; }

  // The information text of `row` (-1: none) for a right click, in the user's locales. The plain client
  // keeps the last text when no row is hit (`keepLast`).
  const std::string& BuildRowInformation(int row, bool keepLast, const PublicationFlags& flags);
  int GetRowUnderCursor() const { return rowUnderCursor_; }

  // Writes the list with its selected versions to the cache file when ticks changed
  // while preparing, then forgets the flag and the path. True when written.
  bool SaveTicks();
  bool IsSelectionChanged() const { return selectionChanged_; }
  const std::string& GetCachePath() const { return cachePath_; }

  int GetRowCount() const { return static_cast<int>(rows_.size()); }
  const Row& GetRow(int row) const { return rows_[Index(row)]; }
  const std::vector<Row>& GetRows() const { return rows_; }
  VersionedDocumentList& GetList() { return list_; }
  const VersionedDocumentList& GetList() const { return list_; }
  DocumentSortOrder& GetSortOrder() { return sortOrder_; }

 private:
  static std::size_t Index(int row) { return static_cast<std::size_t>(row); }
  static int TickedState(const PublicationFlags& flags);
  static int UntickedState(const PublicationFlags& flags);
  void Touch(Row& row) { row.stamp = ++lastStamp_; }
  Row NewRow(int document, bool versionRow);
  // The collapsed row a fill gives document `d`.
  Row FillRow(int d, const PublicationFlags& flags);
  bool IsShown(int document) const;
  // Shows `version` on `row` (unchanged when `version` is -1).
  void ShowVersion(Row& row, int version, const std::string& status);
  void SetState(int row, int state);
  void TickEveryLatestVersion(const PublicationFlags& flags);

  VersionedDocumentList list_;
  std::vector<Row> rows_;
  DocumentSortOrder sortOrder_;
  std::string cachePath_;
  std::string information_;
  int rowUnderCursor_ = -1;
  bool selectionChanged_ = false;
  bool filledOnce_ = false;   // tick clicks count only after the first fill
  bool showsList_ = false;    // the rows show list_ (the last fill read it)
  DocumentFilter filter_;
  std::string filterUser_;
  std::uint64_t lastStamp_ = 0;
};
