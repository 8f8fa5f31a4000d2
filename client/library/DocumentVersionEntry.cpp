#include "client/library/DocumentVersionEntry.h"

#include <algorithm>

#include "common/RecordFields.h"
#include "common/StringHelpers.h"

namespace {

void SetTrimmed(std::string& field, const std::string& value) {
  field = value;
  TrimString(field);
}

}  // namespace

void DocumentVersionEntry::Clear() {
  name_.clear();
  indexName_.clear();
  version_ = 0;
  fileSize_ = 0;
  author_.clear();
  versionDate_ = DateTime();  // formats as "00000000000000"
  comment_.clear();
  checkedOutTo_.clear();
  checkOutDate_ = DateTime();
  hasInternalProjectName_ = false;
  hasReferences_ = false;
  originalEdition_ = false;
}

void DocumentVersionEntry::SetName(const std::string& name) { SetTrimmed(name_, name); }
void DocumentVersionEntry::SetIndexName(const std::string& indexName) { SetTrimmed(indexName_, indexName); }
void DocumentVersionEntry::SetAuthor(const std::string& author) { SetTrimmed(author_, author); }
void DocumentVersionEntry::SetComment(const std::string& comment) { SetTrimmed(comment_, comment); }
void DocumentVersionEntry::SetCheckedOutTo(const std::string& user) { SetTrimmed(checkedOutTo_, user); }

std::string DocumentVersionEntry::Encode() const {
  std::string line = AppendStringField(name_, "");
  line = AppendStringField(indexName_, std::move(line));
  line = AppendIntField(version_, std::move(line));
  line = AppendIntField(fileSize_, std::move(line));
  line = AppendStringField(author_, std::move(line));
  line = AppendDateTimeField(versionDate_, std::move(line));
  line = AppendStringField(comment_, std::move(line));
  line = AppendStringField(checkedOutTo_, std::move(line));
  line = AppendDateTimeField(checkOutDate_, std::move(line));
  line = AppendBoolField(hasInternalProjectName_, std::move(line));
  line = AppendBoolField(hasReferences_, std::move(line));
  line = AppendBoolField(originalEdition_, std::move(line));
  return EndRecord(line);
}

std::string DocumentVersionEntry::Decode(const std::string& text) {
  Clear();
  std::string field;
  std::string rest = ReadStringField(field, text);
  SetName(field);
  rest = ReadStringField(field, rest);
  SetIndexName(field);
  rest = ReadIntField(version_, rest);
  rest = ReadIntField(fileSize_, rest);
  rest = ReadStringField(field, rest);
  SetAuthor(field);
  rest = ReadDateTimeField(versionDate_, rest);
  rest = ReadStringField(field, rest);
  DecodeFieldLineBreaks(field);
  SetComment(field);
  rest = ReadStringField(field, rest);
  SetCheckedOutTo(field);
  rest = ReadDateTimeField(checkOutDate_, rest);
  rest = ReadBoolField(hasInternalProjectName_, rest);
  rest = ReadBoolField(hasReferences_, rest);
  return ReadBoolField(originalEdition_, rest);
}

bool DocumentVersionEntry::ReadRow(QuotedLines& lines) {
  std::string row;
  if (!lines.Next(row) || std::count(row.begin(), row.end(), '"') % 2 != 0) {
    Clear();
    return false;
  }
  DecodeLine(row);
  return true;
}
