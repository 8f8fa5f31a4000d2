#include "client/library/VersionedDocumentList.h"

#include <cstdint>

#include "client/records/FieldCursor.h"
#include "client/records/TextFileLines.h"
#include "common/RecordFields.h"
#include "platform/AtomicFile.h"

void VersionedDocumentList::Clear() {
  projectName_.clear();
  projectIndexName_.clear();
  documents_.clear();
}

VersionedDocument* VersionedDocumentList::GetAt(int i) {
  return i >= 0 && i < GetCount() ? &documents_[static_cast<std::size_t>(i)] : nullptr;
}

const VersionedDocument* VersionedDocumentList::GetAt(int i) const {
  return i >= 0 && i < GetCount() ? &documents_[static_cast<std::size_t>(i)] : nullptr;
}

bool VersionedDocumentList::Read(QuotedLines& lines) {
  Clear();
  std::string header;
  if (!lines.Next(header)) return false;
  std::int32_t count = 0;
  const bool whole = FieldCursor(header).String(projectName_).String(projectIndexName_).Int(count).Ok();
  VersionedDocument document;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!document.Read(lines)) return false;
    Add(document);
  }
  return whole;
}

void VersionedDocumentList::Write(std::string& out) const {
  std::string header = AppendStringField(projectName_, "");
  header = AppendStringField(projectIndexName_, std::move(header));
  out += EndRecord(AppendIntField(GetCount(), header));
  for (const VersionedDocument& document : documents_) document.Write(out);
}

bool VersionedDocumentList::ReadFile(const std::string& path) {
  Clear();
  std::string content;
  if (!ReadWholeFile(path, content)) return false;
  QuotedLines lines(std::move(content));
  return Read(lines);
}

bool VersionedDocumentList::WriteFile(const std::string& path) const {
  std::string content;
  Write(content);
  return platform::AtomicFile::Write(path, content);
}
