// The request bodies.
#include "client/link/RequestBodies.h"

#include <fstream>
#include <limits>

#include "common/RecordFields.h"
#include "platform/fs.h"

namespace {

constexpr const char* kRootIndexName = "Root";

std::string OneTextLine(const std::string& text) { return EndRecord(AppendStringField(text, std::string())); }

std::string TwoTextLine(const std::string& first, const std::string& second) {
  return EndRecord(AppendStringField(second, AppendStringField(first, std::string())));
}

std::string CountedHeader(const std::string& projectIndexName, std::size_t count) {
  return AppendIntField(static_cast<std::int32_t>(count), AppendStringField(projectIndexName, std::string()));
}

// The project and the count, then one name a line.
std::string CountedNameRows(const std::string& projectIndexName, const std::vector<std::string>& names) {
  std::string body = EndRecord(CountedHeader(projectIndexName, names.size()));
  for (const std::string& name : names) body = EndRecord(AppendStringField(name, body));
  return body;
}

std::string FileRequest(const std::string& folder, const std::string& projectIndexName,
                        const std::vector<RequestBodies::FileRow>& files) {
  std::string body = EndRecord(AppendIntField(static_cast<std::int32_t>(files.size()),
                                              AppendStringField(projectIndexName, AppendStringField(folder, {}))));
  for (const RequestBodies::FileRow& file : files) {
    body = EndRecord(AppendStringField(file.comment, AppendIntField(file.size, AppendStringField(file.name, body))));
  }
  return body;
}

std::string VersionRows(std::string body, const std::vector<RequestBodies::DocumentVersion>& documents) {
  for (const RequestBodies::DocumentVersion& document : documents) {
    body = EndRecord(AppendIntField(document.version, AppendStringField(document.name, body)));
  }
  return body;
}

std::string ReferenceLine(const RequestBodies::ReferenceRow& row, const std::string& body) {
  const std::string document = AppendIntField(row.version, AppendStringField(row.name, body));
  return AppendStringField(row.comments, AppendStringField(row.projectIndexName, document));
}

}  // namespace

std::string RequestBodies::RefreshProjects() { return std::string(); }

std::string RequestBodies::AddProject(const std::string& parentIndexName, const std::string& name) {
  return TwoTextLine(parentIndexName, name);
}

std::string RequestBodies::ListDocuments(const std::string& projectIndexName) { return OneTextLine(projectIndexName); }

std::string RequestBodies::AddDocuments(const std::string& folder, const std::string& projectIndexName,
                                        const std::vector<FileRow>& files) {
  return FileRequest(folder, projectIndexName, files);
}

std::string RequestBodies::GetDocuments(const std::string& projectIndexName,
                                        const std::vector<DocumentVersion>& documents) {
  return VersionRows(EndRecord(CountedHeader(projectIndexName, documents.size())), documents);
}

std::string RequestBodies::CheckOutDocuments(const std::string& projectIndexName,
                                             const std::vector<DocumentVersion>& documents, bool referencing,
                                             bool referenced) {
  const std::string header =
      AppendBoolField(referenced, AppendBoolField(referencing, CountedHeader(projectIndexName, documents.size())));
  return VersionRows(EndRecord(header), documents);
}

std::string RequestBodies::CheckInDocuments(const std::string& folder, const std::string& projectIndexName,
                                            const std::vector<FileRow>& files) {
  return FileRequest(folder, projectIndexName, files);
}

std::string RequestBodies::ListVersions(const std::string& projectIndexName) { return OneTextLine(projectIndexName); }

std::string RequestBodies::CreateEdition(const std::string& parentIndexName, const std::string& name,
                                         const std::string& comments) {
  const std::string parent = parentIndexName == kRootIndexName ? std::string() : parentIndexName;
  return EndRecord(AppendStringField(comments, AppendStringField(name, AppendStringField(parent, {}))));
}

std::string RequestBodies::AddOriginalProject(const std::string& parentIndexName, const std::string& name) {
  return TwoTextLine(parentIndexName, name);
}

std::string RequestBodies::AddOriginalReferences(const std::string& editionIndexName,
                                                 const std::vector<ReferenceRow>& rows) {
  std::string body = EndRecord(CountedHeader(editionIndexName, rows.size()));
  for (const ReferenceRow& row : rows) body = EndRecord(ReferenceLine(row, body));
  return body;
}

std::string RequestBodies::GetOriginalDocuments(const std::string& projectIndexName) {
  return OneTextLine(projectIndexName);
}

std::string RequestBodies::AddDocumentReferences(const std::string& projectIndexName,
                                                 const std::vector<ReferenceRow>& rows) {
  std::string body = EndRecord(CountedHeader(projectIndexName, rows.size()));
  for (const ReferenceRow& row : rows) body = EndRecord(AppendBoolField(true, ReferenceLine(row, body)));
  return body;
}

std::string RequestBodies::DeleteProject(const std::string& parentIndexName, const std::string& projectIndexName) {
  return TwoTextLine(parentIndexName, projectIndexName);
}

std::string RequestBodies::DeleteDocuments(const std::string& projectIndexName,
                                           const std::vector<std::string>& documentIndexNames) {
  return CountedNameRows(projectIndexName, documentIndexNames);
}

std::string RequestBodies::UndoCheckOut(const std::string& projectIndexName,
                                        const std::vector<std::string>& documentNames) {
  return CountedNameRows(projectIndexName, documentNames);
}

std::string RequestBodies::RenameProject(const std::string& projectIndexName, const std::string& newName) {
  return TwoTextLine(projectIndexName, newName);
}

std::string RequestBodies::RenameDocument(const std::string& projectIndexName, const std::string& documentIndexName,
                                          const std::string& newName) {
  return EndRecord(
      AppendStringField(newName, AppendStringField(documentIndexName, AppendStringField(projectIndexName, {}))));
}

std::string RequestBodies::FilePath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + '/' + name;
}

std::optional<std::int32_t> RequestBodies::SendableFileSize(const std::string& path) {
  if (!platform::fs::IsFile(path)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) return std::nullopt;
  std::int64_t size = 0;
  if (!platform::fs::FileSize(path, size) || size < 0 || size > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(size);
}
