#include "client/rules/SideBySideDiff.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <cstddef>

std::vector<std::string> SideBySideDiff::SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool last = end == std::string::npos;
    if (last) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!last && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

namespace {

// Pairs the removed and added lines gathered since the last common line.
void FlushChanges(std::vector<SideBySideDiff::Row>& rows, std::vector<SideBySideDiff::Row>& removed,
                  std::vector<SideBySideDiff::Row>& added) {
  const std::size_t count = std::max(removed.size(), added.size());
  for (std::size_t i = 0; i < count; ++i) {
    SideBySideDiff::Row row;
    if (i < removed.size() && i < added.size()) {
      row = removed[i];
      row.kind = SideBySideDiff::Kind::kChanged;
      row.rightNumber = added[i].rightNumber;
      row.right = added[i].right;
    } else {
      row = i < removed.size() ? removed[i] : added[i];
    }
    rows.push_back(std::move(row));
  }
  removed.clear();
  added.clear();
}

}  // namespace

std::vector<SideBySideDiff::Row> SideBySideDiff::Compare(const std::vector<std::string>& left,
                                                         const std::vector<std::string>& right) {
  dtl::Diff<std::string, std::vector<std::string>> diff(left, right);
  diff.compose();
  std::vector<Row> rows;
  std::vector<Row> removed;
  std::vector<Row> added;
  for (const auto& [line, info] : diff.getSes().getSequence()) {
    Row row;
    if (info.type == dtl::SES_DELETE) {
      row.kind = Kind::kRemoved;
      row.leftNumber = static_cast<int>(info.beforeIdx);
      row.left = line;
      removed.push_back(std::move(row));
      continue;
    }
    if (info.type == dtl::SES_ADD) {
      row.kind = Kind::kAdded;
      row.rightNumber = static_cast<int>(info.afterIdx);
      row.right = line;
      added.push_back(std::move(row));
      continue;
    }
    FlushChanges(rows, removed, added);
    row.leftNumber = static_cast<int>(info.beforeIdx);
    row.left = line;
    row.rightNumber = static_cast<int>(info.afterIdx);
    row.right = line;
    rows.push_back(std::move(row));
  }
  FlushChanges(rows, removed, added);
  return rows;
}

int SideBySideDiff::CountDifferences(const std::vector<Row>& rows) {
  return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const Row& row) { return row.kind != Kind::kSame; }));
}
