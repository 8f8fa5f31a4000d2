#include "client/link/FileRequestBody.h"

#include "common/RecordFields.h"

namespace {

bool HasText(const std::string& rest) { return rest.find_first_not_of(" \r\n") != std::string::npos; }

}  // namespace

std::optional<FileRequestBody> FileRequestBody::Parse(const std::string& queuedBody) {
  FileRequestBody request;
  std::string folder;
  request.wireBody = ReadStringField(folder, queuedBody);
  if (folder.empty()) return std::nullopt;
  if (folder.back() != '/') folder += '/';

  std::string project;
  std::int32_t count = 0;
  std::string rest = ReadIntField(count, ReadStringField(project, request.wireBody));
  if (count < 0) return std::nullopt;
  for (std::int32_t i = 0; i < count; ++i) {
    std::string name, comments;
    std::int32_t size = 0;
    if (!HasText(rest)) return std::nullopt;
    rest = ReadStringField(name, rest);
    if (!HasText(rest)) return std::nullopt;
    rest = ReadIntField(size, rest);
    if (!HasText(rest) || size < 0 || name.empty()) return std::nullopt;
    rest = ReadStringField(comments, rest);
    request.files.push_back(File{folder + name, size});
  }
  return request;
}
