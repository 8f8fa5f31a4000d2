#include "server/store/RecordLines.h"

#include <climits>

#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "platform/fs.h"

bool FitsRecordLine(std::string_view text, std::string_view lineEnd) {
  // ReadWholeLine counts the carriage returns in front of the line feed.
  const std::size_t ending = lineEnd.empty() ? 0 : lineEnd.size() - 1;
  return text.find_first_of("\r\n") == std::string_view::npos && text.size() <= kMaxRecordLineLength - ending;
}

void WriteRecordLine(std::ostream& out, std::string_view text) {
  if (!FitsRecordLine(text)) {
    out.setstate(std::ios::failbit);
    return;
  }
  out << text << kRecordLineEnd;
}

std::string ReadRecordLine(std::istream& in, int& lineCounter, int endOfFileCode, int& result) {
  std::string line;
  while (ReadWholeLine(in, line)) {
    ++lineCounter;
    TrimString(line);
    if (!line.empty() && line.front() != '!') {
      result = 0;
      return line;
    }
  }
  in.setstate(std::ios::failbit);
  result = endOfFileCode;
  return std::string();
}

int RecordTextToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

bool RecordTextEqualsNoCase(std::string_view a, std::string_view b) {
  const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

bool RecordFolderExists(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return false;
  return platform::fs::IsFolder(slash == 0 ? std::string("/") : path.substr(0, slash));
}

RecordFileOpening OpenRecordFile(const std::string& path, std::ifstream& in) {
  if (!RecordFolderExists(path)) return RecordFileOpening::FolderMissing;
  if (!platform::fs::Exists(path)) return RecordFileOpening::FileAbsent;
  if (!platform::fs::IsFile(path)) return RecordFileOpening::Unreadable;
  in.open(path, std::ios::in | std::ios::binary);
  return in.is_open() ? RecordFileOpening::Opened : RecordFileOpening::Unreadable;
}

int ReadSectionStart(std::istream& in, int& lineCounter, const std::string& firstLine, std::string_view marker,
                     int endOfFileCode, int startMissingCode) {
  int result = 0;
  const std::string line = firstLine.empty() ? ReadRecordLine(in, lineCounter, endOfFileCode, result) : firstLine;
  if (result != 0) return result;
  return line == marker ? 0 : startMissingCode;
}
