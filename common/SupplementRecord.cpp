#include "common/SupplementRecord.h"

#include "common/RecordFields.h"

void SupplementRecord::Clear() {
  name_.clear();
  internalName_.clear();
  projectInternalName_.clear();
  projectName_.clear();
  editionInternalName_.clear();
  comments_.clear();
  creator_.clear();
  included_ = true;
}

std::string SupplementRecord::Encode(std::string line) const {
  std::string result = AppendIntField(kRecordType, std::move(line));
  result = AppendIntField(kRecordVersion, std::move(result));
  result = AppendStringField(name_, std::move(result));
  result = AppendStringField(internalName_, std::move(result));
  result = AppendDateTimeField(creationTime_, std::move(result));
  result = AppendStringField(comments_, std::move(result));
  result = AppendStringField(creator_, std::move(result));
  result = AppendStringField(projectInternalName_, std::move(result));
  result = AppendStringField(projectName_, std::move(result));
  result = AppendStringField(editionInternalName_, std::move(result));
  result = AppendBoolField(included_, std::move(result));
  return EndRecord(result);
}

std::string SupplementRecord::Decode(const std::string& text) {
  SupplementRecord read(*this);
  std::int32_t type = 0;
  std::int32_t version = 0;
  std::string rest = ReadIntField(type, text);
  rest = ReadIntField(version, rest);
  rest = ReadStringField(read.name_, rest);
  rest = ReadStringField(read.internalName_, rest);
  rest = ReadDateTimeField(read.creationTime_, rest);
  rest = ReadStringField(read.comments_, rest);
  rest = ReadStringField(read.creator_, rest);
  rest = ReadStringField(read.projectInternalName_, rest);
  rest = ReadStringField(read.projectName_, rest);
  rest = ReadStringField(read.editionInternalName_, rest);
  rest = ReadBoolField(read.included_, rest);
  if (type != kRecordType) {
    Clear();
    return text;
  }
  *this = read;
  return rest;
}
