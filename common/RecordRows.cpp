#include "common/RecordRows.h"

std::vector<std::string> SplitRecordRows(const std::string& text) {
  std::vector<std::string> rows;
  std::string row;
  bool quoted = false;
  for (const char c : text) {
    if (c == '"') quoted = !quoted;
    if (c == '\n' && !quoted) {
      rows.push_back(std::move(row));
      row.clear();
      continue;
    }
    row += c;
  }
  if (!row.empty()) rows.push_back(std::move(row));
  return rows;
}
