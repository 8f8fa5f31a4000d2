#include "client/records/TextFileLines.h"

#include <fstream>
#include <iterator>

#include "platform/fs.h"

std::string WithCrLfLineEnds(const std::string& text) {
  std::string result;
  result.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  if (!platform::fs::IsFile(path)) return false;
  try {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.bad()) return true;
  } catch (const std::exception&) {
    // A read error surfaces as an exception from the stream buffer.
  }
  content.clear();
  return false;
}
