#include "client/rules/HistoryRows.h"

#include <algorithm>

#include "client/rules/DocumentRowTexts.h"

HistoryRows::HistoryRows(const VersionedDocument& document, const platform::NumberLocale& numbers,
                         const platform::DateLocale& dates) {
  for (int i = 0; i < document.GetVersionCount(); ++i) {
    const DocumentVersionEntry& entry = *document.GetVersion(i);
    if (entry.GetVersion() <= 0) continue;
    Row row;
    row.version = entry.GetVersion();
    row.size = entry.GetFileSize();
    row.cells[0] = std::to_string(entry.GetVersion());
    row.cells[1] = entry.GetVersionDate().FormatForDisplay(4, dates);
    row.cells[2] = entry.GetAuthor();
    row.cells[3] = DocumentRowTexts::FileSize(entry.GetFileSize(), numbers);
    row.cells[4] = DocumentRowTexts::Summary(entry.GetComment());
    if (entry.IsCheckedOut()) {
      row.cells[5] = entry.GetCheckedOutTo();
      row.cells[6] = entry.GetCheckOutDate().FormatForDisplay(4, dates);
    }
    rows_.push_back(std::move(row));
  }
}

const HistoryRows::Row* HistoryRows::FindVersion(std::int32_t version) const {
  const auto found = std::find_if(rows_.begin(), rows_.end(), [version](const Row& row) { return row.version == version; });
  return found == rows_.end() ? nullptr : &*found;
}

std::int32_t HistoryRows::GetLatestVersion() const {
  std::int32_t latest = 0;
  for (const Row& row : rows_) latest = std::max(latest, row.version);
  return latest;
}
