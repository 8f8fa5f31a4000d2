#include "common/EditionRecord.h"

#include "common/RecordFields.h"

void EditionRecord::Clear() {
  name_.clear();
  internalName_.clear();
  comments_.clear();
  creator_.clear();
  projectInternalName_.clear();
  projectName_.clear();
}

std::string EditionRecord::Encode(std::string line) const {
  std::string result = AppendIntField(kRecordType, std::move(line));
  result = AppendIntField(kRecordVersion, std::move(result));
  result = AppendStringField(name_, std::move(result));
  result = AppendStringField(internalName_, std::move(result));
  result = AppendDateTimeField(creationTime_, std::move(result));
  result = AppendStringField(comments_, std::move(result));
  result = AppendStringField(creator_, std::move(result));
  result = AppendStringField(projectName_, std::move(result));
  result = AppendStringField(projectInternalName_, std::move(result));
  return EndRecord(result);
}

std::string EditionRecord::Decode(const std::string& text) {
  EditionRecord read(*this);
  std::int32_t type = 0;
  std::int32_t version = 0;
  std::string rest = ReadIntField(type, text);
  rest = ReadIntField(version, rest);
  rest = ReadStringField(read.name_, rest);
  rest = ReadStringField(read.internalName_, rest);
  rest = ReadDateTimeField(read.creationTime_, rest);
  rest = ReadStringField(read.comments_, rest);
  rest = ReadStringField(read.creator_, rest);
  rest = ReadStringField(read.projectName_, rest);
  rest = ReadStringField(read.projectInternalName_, rest);
  if (type != kRecordType) {
    Clear();
    return text;
  }
  *this = read;
  return rest;
}
