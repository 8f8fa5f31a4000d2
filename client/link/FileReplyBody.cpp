#include "client/link/FileReplyBody.h"

#include "common/RecordRows.h"
#include "common/RecordFields.h"

namespace {

bool HasField(const std::string& rest) { return rest.find_first_not_of(" \r") != std::string::npos; }

// One row's fields from the front of `text`; false when the row cannot be framed.
bool ReadRow(const std::string& text, FileReplyRow& row) {
  std::string rest = ReadStringField(row.name, text);
  rest = ReadIntField(row.version, rest);
  if (!HasField(rest)) return false;
  rest = ReadBoolField(row.flagged, rest);
  if (!HasField(rest)) return !row.flagged;
  ReadIntField(row.size, rest);
  return row.size >= 0;
}

}  // namespace

std::optional<FileReplyBody> FileReplyBody::Parse(const std::string& wireBody) {
  const std::vector<std::string> lines = SplitRecordRows(wireBody);
  FileReplyBody body;
  std::int32_t count = 0;
  std::string firstRow = ReadIntField(count, ReadStringField(body.project, lines.empty() ? "" : lines.front()));
  if (count < 0) return std::nullopt;
  std::vector<std::string> rowTexts;
  if (HasField(firstRow)) rowTexts.push_back(std::move(firstRow));
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (HasField(lines[i])) rowTexts.push_back(lines[i]);
  }
  if (rowTexts.size() > static_cast<std::size_t>(count)) return std::nullopt;
  for (const std::string& text : rowTexts) {
    FileReplyRow row;
    if (!ReadRow(text, row)) return std::nullopt;
    body.rows.push_back(std::move(row));
  }
  return body;
}

std::string FileReplyBody::Rewrite() const {
  std::string text = EndRecord(AppendIntField(static_cast<std::int32_t>(rows.size()), AppendStringField(project, "")));
  for (const FileReplyRow& row : rows) {
    std::string line = AppendStringField(row.name, "");
    line = AppendIntField(row.version, std::move(line));
    line = AppendIntField(row.flagged ? 1 : 0, std::move(line));
    line = AppendStringField(row.temporaryPath, std::move(line));
    text += EndRecord(AppendIntField(row.size, line));
  }
  return text;
}
