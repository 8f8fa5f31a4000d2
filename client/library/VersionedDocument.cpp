#include "client/library/VersionedDocument.h"

#include "client/records/FieldCursor.h"
#include "common/RecordFields.h"

void VersionedDocument::Clear() {
  versions_.clear();
  selectedIndex_ = -1;
}

DocumentVersionEntry* VersionedDocument::GetVersion(int i) {
  return i >= 0 && i < GetVersionCount() ? &versions_[static_cast<std::size_t>(i)] : nullptr;
}

const DocumentVersionEntry* VersionedDocument::GetVersion(int i) const {
  return i >= 0 && i < GetVersionCount() ? &versions_[static_cast<std::size_t>(i)] : nullptr;
}

void VersionedDocument::SetSelectedIndex(std::int32_t index) {
  selectedIndex_ = index >= 0 && index < GetVersionCount() ? index : -1;
}

void VersionedDocument::SetSelectedIndexOldestFirst(std::int32_t index) {
  SetSelectedIndex(index >= 0 && index < GetVersionCount() ? GetVersionCount() - 1 - index : -1);
}

void VersionedDocument::SelectLatestVersion() {
  selectedIndex_ = -1;
  std::int32_t latest = 0;
  for (int i = 0; i < GetVersionCount(); ++i) {
    if (versions_[static_cast<std::size_t>(i)].GetVersion() > latest) {
      latest = versions_[static_cast<std::size_t>(i)].GetVersion();
      selectedIndex_ = i;
    }
  }
}

bool VersionedDocument::Read(QuotedLines& lines) {
  Clear();
  std::string countLine;
  if (!lines.Next(countLine)) return false;
  std::int32_t count = 0;
  std::int32_t selected = -1;
  const bool whole = FieldCursor(countLine).Int(count).Int(selected).Ok();
  DocumentVersionEntry version;
  bool complete = whole;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!version.ReadRow(lines)) {
      complete = false;
      break;
    }
    AddVersion(version);
  }
  SetSelectedIndex(selected);
  return complete;
}

void VersionedDocument::Write(std::string& out) const {
  out += EndRecord(AppendIntField(selectedIndex_, AppendIntField(GetVersionCount(), "")));
  for (const DocumentVersionEntry& version : versions_) out += version.Encode();
}
