#include "client/records/LibraryEntry.h"

#include "common/RecordFields.h"
#include "common/StringHelpers.h"

LibraryEntry::LibraryEntry(const std::string& name, const std::string& keyText, int keyLength)
    : keyLength_(keyLength) {
  SetName(name);
  SetKeyText(keyText);
}

void LibraryEntry::SetName(const std::string& name) {
  name_ = name;
  TrimString(name_);
}

void LibraryEntry::SetKeyText(const std::string& keyText) {
  keyText_ = keyText;
  TrimString(keyText_);
}

void LibraryEntry::Clear() {
  name_.clear();
  keyText_.clear();
}

std::string LibraryEntry::Write() const {
  std::string line = AppendStringField(name_, "");
  line = AppendStringField(keyText_, std::move(line));
  line = AppendIntField(keyLength_, std::move(line));
  return EndRecord(line);
}

std::string LibraryEntry::Read(const std::string& text) {
  std::string rest = ReadStringField(name_, text);
  rest = ReadStringField(keyText_, rest);
  std::int32_t length = 0;
  rest = ReadIntField(length, rest);
  keyLength_ = length;
  return rest;
}
