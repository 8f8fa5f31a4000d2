#include "client/rules/DocumentRowModel.h"

#include <map>

#include "client/rules/DocumentRowTexts.h"

DocumentRowModel::ShownVersion DocumentRowModel::ScanForFill(const VersionedDocument& document) {
  ShownVersion shown;
  shown.version = document.GetVersionCount() > 0 ? 0 : -1;
  std::int32_t bestNumber = 0;
  for (int i = 0; i < document.GetVersionCount(); ++i) {
    const DocumentVersionEntry& version = *document.GetVersion(i);
    if (version.IsCheckedOut()) {
      shown.statusVersion = i;
      break;
    }
    if (version.GetVersion() > bestNumber) {
      bestNumber = version.GetVersion();
      shown.version = i;
    }
  }
  return shown;
}

DocumentRowModel::ShownVersion DocumentRowModel::ScanForRefresh(const VersionedDocument& document) {
  ShownVersion shown;
  std::int32_t bestNumber = 0;
  for (int i = 0; i < document.GetVersionCount(); ++i) {
    const DocumentVersionEntry& version = *document.GetVersion(i);
    if (version.IsCheckedOut()) shown.statusVersion = i;
    if (version.GetVersion() > bestNumber) {
      bestNumber = version.GetVersion();
      shown.version = i;
    }
  }
  return shown;
}

int DocumentRowModel::RowImage(const DocumentVersionEntry& version, bool versionRow) {
  // Per combination of internal project name and references: document row, the
  // same checked out, version row.
  static constexpr int kImages[2][2][3] = {{{5, 6, 12}, {23, 24, 25}}, {{17, 18, 19}, {20, 21, 22}}};
  const int(&images)[3] = kImages[version.HasInternalProjectName() ? 1 : 0][version.HasReferences() ? 1 : 0];
  if (versionRow) return images[2];
  return version.IsCheckedOut() ? images[1] : images[0];
}

int DocumentRowModel::TickedState(const PublicationFlags& flags) {
  return flags.preparing && !flags.checkBoxes ? kGreyedTicked : kTicked;
}

int DocumentRowModel::UntickedState(const PublicationFlags& flags) {
  return flags.preparing && !flags.checkBoxes ? kGreyedUnticked : kUnticked;
}

void DocumentRowModel::ShowVersion(Row& row, int version, const std::string& status) {
  const DocumentVersionEntry* entry = list_.GetAt(row.document)->GetVersion(version);
  if (entry == nullptr) return;
  row.version = version;
  row.status = status;
  row.image = RowImage(*entry, row.versionRow);
  Touch(row);
}

DocumentRowModel::Row DocumentRowModel::NewRow(int document, bool versionRow) {
  Row row;
  row.id = ++lastStamp_;
  row.document = document;
  row.versionRow = versionRow;
  return row;
}

void DocumentRowModel::SetState(int row, int state) {
  Row& target = rows_[Index(row)];
  if (target.state == state) return;
  target.state = state;
  Touch(target);
}

void DocumentRowModel::Fill(const std::string& cachePath, bool keepList, const PublicationFlags& flags) {
  if (flags.running) return;
  rows_.clear();
  showsList_ = false;
  if (cachePath.empty()) return;
  if (!keepList && !list_.ReadFile(cachePath)) return;
  filledOnce_ = true;
  showsList_ = true;
  cachePath_ = cachePath;
  if (!keepList) selectionChanged_ = false;
  sortOrder_.Sort(list_);
  rows_.reserve(static_cast<std::size_t>(list_.GetCount()));
  for (int d = 0; d < list_.GetCount(); ++d) {
    if (IsShown(d)) rows_.push_back(FillRow(d, flags));
  }
}

bool DocumentRowModel::IsShown(int document) const {
  const VersionedDocument& shown = *list_.GetAt(document);
  return shown.GetVersionCount() > 0 && filter_.Matches(shown, filterUser_);   // nothing to show, or filtered out
}

DocumentRowModel::Row DocumentRowModel::FillRow(int d, const PublicationFlags& flags) {
  const VersionedDocument& document = *list_.GetAt(d);
  ShownVersion shown = ScanForFill(document);
  int state = UntickedState(flags);
  if (flags.preparing && document.GetSelectedIndex() >= 0) {
    shown.version = document.GetSelectedIndex();
    state = TickedState(flags);
  }
  Row row = NewRow(d, false);
  row.state = state;
  const DocumentVersionEntry* status = document.GetVersion(shown.statusVersion);
  ShowVersion(row, shown.version, status != nullptr ? DocumentRowTexts::DocumentStatus(*status) : " ");
  return row;
}

void DocumentRowModel::SetFilter(const DocumentFilter& filter, const std::string& userName,
                                 const PublicationFlags& flags) {
  filter_ = filter;
  filterUser_ = userName;
  if (flags.running || !showsList_) return;
  // The rows of documents still shown stay as they are (ticks, expansion, ids); the
  // others go, and a document hidden outside a publication is no longer selected.
  std::map<int, std::vector<Row>> byDocument;
  for (Row& row : rows_) byDocument[row.document].push_back(std::move(row));
  rows_.clear();
  for (int d = 0; d < list_.GetCount(); ++d) {
    const auto held = byDocument.find(d);
    if (!IsShown(d)) {
      if (held != byDocument.end() && !flags.preparing) list_.GetAt(d)->SetSelectedIndex(-1);
      continue;
    }
    if (held == byDocument.end()) {
      rows_.push_back(FillRow(d, flags));
    } else {
      rows_.insert(rows_.end(), held->second.begin(), held->second.end());
    }
  }
}

void DocumentRowModel::Expand(int row, const PublicationFlags& flags) {
  if (flags.running || row < 0 || row >= GetRowCount() || IsDocumentExpanded(row)) return;
  const int first = FindFirstRowOfDocument(row);
  const int shownVersion = GetRowVersionIndex(first);
  const int firstState = rows_[Index(first)].state;
  const bool ticked = firstState == kTicked || firstState == kGreyedTicked;
  const int d = rows_[Index(first)].document;
  const VersionedDocument& document = *list_.GetAt(d);
  std::vector<Row> versionRows;
  for (int k = 0; k < document.GetVersionCount(); ++k) {
    Row versionRow = NewRow(d, true);
    if (flags.preparing) {
      versionRow.state = k == document.GetSelectedIndex() ? TickedState(flags) : UntickedState(flags);
    } else {
      versionRow.state = k == shownVersion && ticked ? kTicked : kUnticked;
    }
    ShowVersion(versionRow, k, DocumentRowTexts::VersionStatus(*document.GetVersion(k)));
    versionRows.push_back(std::move(versionRow));
  }
  rows_.insert(rows_.begin() + first + 1, versionRows.begin(), versionRows.end());
}

void DocumentRowModel::Collapse(int row, const PublicationFlags& flags) {
  if (flags.running || row < 0 || row >= GetRowCount()) return;
  const int first = FindFirstRowOfDocument(row);
  int end = first + 1;
  while (end < GetRowCount() && rows_[Index(end)].document == rows_[Index(first)].document) ++end;
  rows_.erase(rows_.begin() + first + 1, rows_.begin() + end);
}

void DocumentRowModel::ToggleExpansion(int row, const PublicationFlags& flags) {
  if (IsDocumentExpanded(row)) {
    Collapse(row, flags);
  } else {
    Expand(row, flags);
  }
}

void DocumentRowModel::RefreshDocumentRows(int row, const PublicationFlags& flags) {
  if (flags.running || row < 0 || row >= GetRowCount() || !IsDocumentExpanded(row)) return;
  const int first = FindFirstRowOfDocument(row);
  const VersionedDocument& document = *list_.GetAt(rows_[Index(first)].document);
  const int selected = document.GetSelectedIndex();
  ShownVersion shown;
  if (selected == -1) {
    shown = ScanForRefresh(document);
    SetState(first, UntickedState(flags));
  } else {
    shown.version = selected;
    SetState(first, TickedState(flags));
  }
  const DocumentVersionEntry* shownEntry = document.GetVersion(shown.version);
  const DocumentVersionEntry* statusEntry = document.GetVersion(shown.statusVersion);
  if (shownEntry != nullptr) {
    ShowVersion(rows_[Index(first)], shown.version,
                statusEntry != nullptr ? DocumentRowTexts::DocumentStatus(*statusEntry)
                                       : DocumentRowTexts::VersionStatus(*shownEntry));
  }
  for (int k = 0; k < document.GetVersionCount() && first + 1 + k < GetRowCount(); ++k) {
    SetState(first + 1 + k, k == selected ? TickedState(flags) : UntickedState(flags));
    ShowVersion(rows_[Index(first + 1 + k)], k, DocumentRowTexts::VersionStatus(*document.GetVersion(k)));
  }
}

bool DocumentRowModel::ToggleRowTick(int row, bool shift, const PublicationFlags& flags) {
  if (flags.running || (flags.preparing && !flags.checkBoxes) || row < 0 || row >= GetRowCount() || !filledOnce_) {
    return false;
  }
  if (flags.preparing) selectionChanged_ = true;
  Row& clicked = rows_[Index(row)];
  if (clicked.state == kTicked) {
    if (shift) {
      for (int r = 0; r < GetRowCount(); ++r) {
        SetState(r, kUnticked);
        list_.GetAt(rows_[Index(r)].document)->SetSelectedIndex(-1);
      }
    } else {
      SetState(row, kUnticked);
      list_.GetAt(clicked.document)->SetSelectedIndex(-1);
    }
    RefreshDocumentRows(row, flags);
    return true;
  }
  SetState(row, kTicked);
  list_.GetAt(clicked.document)->SetSelectedIndex(GetRowVersionIndex(row));
  if (shift) {
    TickEveryLatestVersion(flags);
  } else {
    RefreshDocumentRows(row, flags);
  }
  return true;
}

void DocumentRowModel::TickEveryLatestVersion(const PublicationFlags& flags) {
  for (int r = 0; r < GetRowCount();) {
    if (IsDocumentExpanded(r)) {
      Collapse(r, flags);
      r = 0;
      continue;
    }
    SetState(r, kTicked);
    list_.GetAt(rows_[Index(r)].document)->SelectLatestVersion();
    ++r;
  }
}

int DocumentRowModel::GetRowVersionIndex(int row) const {
  if (row < 0 || row >= GetRowCount()) return -1;
  const VersionedDocument* document = list_.GetAt(rows_[Index(row)].document);
  if (document == nullptr) return -1;
  const DocumentVersionEntry* shown = document->GetVersion(rows_[Index(row)].version);
  if (shown == nullptr) return -1;
  for (int k = 0; k < document->GetVersionCount(); ++k) {
    if (document->GetVersion(k)->GetVersion() == shown->GetVersion()) return k;
  }
  return -1;
}

int DocumentRowModel::FindFirstRowOfDocument(int row) const {
  if (row < 0 || row >= GetRowCount()) return -1;
  while (row > 0 && rows_[Index(row - 1)].document == rows_[Index(row)].document) --row;
  return row;
}

bool DocumentRowModel::IsDocumentExpanded(int row) const {
  if (row < 0 || row >= GetRowCount()) return false;
  const int document = rows_[Index(row)].document;
  return (row > 0 && rows_[Index(row - 1)].document == document) ||
         (row + 1 < GetRowCount() && rows_[Index(row + 1)].document == document);
}

const std::string& DocumentRowModel::BuildRowInformation(int row, bool keepLast, const PublicationFlags& flags) {
  if (!keepLast) information_.clear();
  rowUnderCursor_ = row >= 0 && row < GetRowCount() ? row : -1;
  if (rowUnderCursor_ < 0) return information_;
  const int version = GetRowVersionIndex(row);
  if (version < 0) return information_;
  information_ = DocumentRowTexts::Information(*list_.GetAt(rows_[Index(row)].document), version, flags.preparing,
                                               list_.GetProjectName(), platform::UserNumberLocale(),
                                               platform::UserDateLocale());
  return information_;
}

bool DocumentRowModel::SaveTicks() {
  if (!selectionChanged_) return false;
  const bool written = !cachePath_.empty() && list_.WriteFile(cachePath_);
  selectionChanged_ = false;
  cachePath_.clear();
  return written;
}
