#include "client/records/FolderRule.h"

#include "common/RecordFields.h"

namespace {

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

}  // namespace

FolderRule::FolderRule(std::int32_t type, const std::string& parameter) : type_(type) {
  if (!SetParameter(parameter)) Clear();
}

void FolderRule::Clear() {
  type_ = kNone;
  parameter_.clear();
}

bool FolderRule::SetParameter(const std::string& parameter) {
  if (HasLineBreak(parameter)) return false;
  parameter_ = parameter;
  return true;
}

std::string FolderRule::ToRecordString() const { return ToRecordString(""); }

std::string FolderRule::ToRecordString(const std::string& text) const {
  std::string line = text.empty() || text.back() == '\n' || text.back() == ',' ? text : text + ",";
  line += std::to_string(kRecordType);
  line = AppendIntField(1, line);
  line = AppendIntField(type_, line);
  line = AppendStringField(parameter_, line);
  return EndRecord(line);
}

std::string FolderRule::FromRecordString(const std::string& text) {
  std::int32_t recordType = 0;
  std::int32_t version = 0;
  std::int32_t type = kNone;
  std::string parameter;
  std::string rest = ReadIntField(recordType, text);
  rest = ReadIntField(version, rest);
  rest = ReadIntField(type, rest);
  rest = ReadStringField(parameter, rest);
  if (recordType != kRecordType || HasLineBreak(parameter)) {
    Clear();
    return text;
  }
  type_ = type;
  parameter_ = parameter;
  return rest;
}

bool FolderRule::Read(std::istream& in) {
  if (in.fail()) return false;
  std::string line;
  if (!ReadRecordOfType(in, kRecordType, line)) return false;
  return FromRecordString(line).size() < line.size();
}

bool FolderRule::Write(std::ostream& out) const {
  if (out.fail()) return false;
  out << ToRecordString();
  return !out.fail();
}
