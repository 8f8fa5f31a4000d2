#include "server/engine/FileListBody.h"

#include <climits>
#include <utility>

#include "common/RecordFields.h"

namespace {

// A size as the client writes it: optional blanks, digits, optional blanks.
bool ParseSize(const std::string& text, std::int32_t& size) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  const std::size_t last = text.find_last_not_of(' ');
  std::int64_t value = 0;
  for (std::size_t i = first; i <= last; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) return false;
  }
  size = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace

FileRequestError ParseFileRequest(const std::string& text, FileRequest& request) {
  request = FileRequest{};
  if (text.empty()) return FileRequestError::Empty1;
  const std::vector<std::string> rows = SplitRecordRows(text);
  const std::string head = rows.empty() ? std::string() : rows.front();
  const std::string afterField1 = ReadStringField(request.field1, head);
  if (afterField1.empty()) return FileRequestError::Empty2;
  std::int32_t count = 0;
  ReadIntField(count, afterField1);
  if (count < 0) return FileRequestError::BadCount;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::size_t index = static_cast<std::size_t>(i) + 1;
    if (index >= rows.size() || rows[index].empty()) return FileRequestError::Empty3;
    ReceivedFile file;
    const std::string afterName = ReadStringField(file.name, rows[index]);
    if (afterName.empty()) return FileRequestError::Empty4;
    const std::size_t comma = afterName.find(',');
    if (!ParseSize(afterName.substr(0, comma), file.size)) return FileRequestError::BadSize;
    if (comma == std::string::npos || comma + 1 >= afterName.size()) return FileRequestError::Empty5;
    ReadStringField(file.third, afterName.substr(comma + 1));
    request.files.push_back(std::move(file));
  }
  return FileRequestError::None;
}

std::string BuildFileRequestBody(const FileRequest& request) {
  std::string body = EndRecord(
      AppendIntField(static_cast<std::int32_t>(request.files.size()), AppendStringField(request.field1, "")));
  for (const ReceivedFile& file : request.files) {
    body = AppendStringField(file.name, std::move(body));
    body = AppendIntField(file.size, std::move(body));
    body = AppendStringField(file.third, std::move(body));
    body = EndRecord(AppendStringField(file.temporaryPath, std::move(body)));
  }
  return body;
}

std::vector<std::string> TemporaryPathsOf(const std::string& body) {
  std::vector<std::string> paths;
  const std::vector<std::string> rows = SplitRecordRows(body);
  for (std::size_t i = 1; i < rows.size(); ++i) {
    std::string name, third, path;
    std::int32_t size = 0;
    ReadStringField(path, ReadStringField(third, ReadIntField(size, ReadStringField(name, rows[i]))));
    if (!path.empty()) paths.push_back(path);
  }
  return paths;
}

void ParseFileReply(const std::string& body, std::string& field1, std::vector<OutgoingFile>& files) {
  files.clear();
  const std::vector<std::string> rows = SplitRecordRows(body);
  std::int32_t count = 0;
  ReadIntField(count, ReadStringField(field1, rows.empty() ? std::string() : rows.front()));
  for (std::size_t i = 1; i < rows.size() && static_cast<std::int64_t>(i) <= count; ++i) {
    OutgoingFile file;
    std::string rest = ReadStringField(file.name, rows[i]);
    rest = ReadIntField(file.number, rest);
    rest = ReadBoolField(file.send, rest);
    rest = ReadStringField(file.serverPath, rest);
    ReadIntField(file.size, rest);
    files.push_back(std::move(file));
  }
}

std::string BuildWireFileReply(const std::string& field1, const std::vector<OutgoingFile>& files) {
  std::string body = AppendIntField(static_cast<std::int32_t>(files.size()), AppendStringField(field1, ""));
  for (const OutgoingFile& file : files) {
    body = AppendStringField(file.name, std::move(body));
    body = AppendIntField(file.number, std::move(body));
    body = AppendBoolField(file.send, std::move(body));
    body = EndRecord(AppendIntField(file.size, std::move(body)));
  }
  return body;
}
