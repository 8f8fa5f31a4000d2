#include "client/library/ProjectDocumentList.h"

#include "client/records/FieldCursor.h"
#include "client/records/TextFileLines.h"
#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "platform/AtomicFile.h"

void ProjectDocumentList::Clear() {
  projectName_.clear();
  projectIndexName_.clear();
  entries_.clear();
}

void ProjectDocumentList::SetProjectName(const std::string& name) {
  projectName_ = name;
  TrimString(projectName_);
}

DocumentVersionEntry* ProjectDocumentList::GetAt(int i) {
  return i >= 0 && i < GetCount() ? &entries_[static_cast<std::size_t>(i)] : nullptr;
}

const DocumentVersionEntry* ProjectDocumentList::GetAt(int i) const {
  return i >= 0 && i < GetCount() ? &entries_[static_cast<std::size_t>(i)] : nullptr;
}

std::string ProjectDocumentList::Encode() const {
  std::string text = AppendStringField(projectName_, "");
  text = AppendStringField(projectIndexName_, std::move(text));
  text = EndRecord(AppendIntField(GetCount(), text));
  for (const DocumentVersionEntry& entry : entries_) text += entry.Encode();
  return text;
}

bool ProjectDocumentList::DecodeLines(QuotedLines& lines) {
  Clear();
  std::string header;
  if (!lines.Next(header)) return false;
  std::string name;
  std::int32_t count = 0;
  const bool whole = FieldCursor(header).String(name).String(projectIndexName_).Int(count).Ok();
  SetProjectName(name);
  DocumentVersionEntry entry;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!entry.ReadRow(lines)) return false;
    Add(entry);
  }
  return whole;
}

bool ProjectDocumentList::ReadFile(const std::string& path) {
  std::string content;
  if (!ReadWholeFile(path, content)) return false;
  QuotedLines lines(std::move(content));
  DecodeLines(lines);
  return true;
}

bool ProjectDocumentList::WriteFile(const std::string& path) const {
  return platform::AtomicFile::Write(path, Encode());
}
