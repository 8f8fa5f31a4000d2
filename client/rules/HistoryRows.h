#pragma once
// The rows of a document's history window: one per stored version, newest first as
// the server lists them, with the texts of its seven columns. Entries that name no
// version (number 0 or below) are left out.
#include <cstdint>
#include <string>
#include <vector>

#include "client/library/VersionedDocument.h"
#include "platform/Clock.h"
#include "platform/NumberLocale.h"

class HistoryRows {
 public:
  static constexpr int kColumnCount = 7;
  static constexpr const char* kHeadings[kColumnCount] = {"Version", "Date",   "Author",          "Size",
                                                          "Comment", "Held by", "Checked out on"};

  struct Row {
    std::int32_t version = 0;
    std::int32_t size = 0;
    std::string cells[kColumnCount];
  };

  HistoryRows(const VersionedDocument& document, const platform::NumberLocale& numbers,
              const platform::DateLocale& dates);

  const std::vector<Row>& GetRows() const { return rows_; }
  // The row of version `version`; null when the history has none.
  const Row* FindVersion(std::int32_t version) const;
  // The highest version number; 0 when there are no rows.
  std::int32_t GetLatestVersion() const;

 private:
  std::vector<Row> rows_;
};
