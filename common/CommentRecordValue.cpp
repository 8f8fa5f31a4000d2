#include "common/CommentRecordValue.h"

#include <cstddef>
#include <string_view>

#include "common/StringHelpers.h"

namespace {

constexpr char kEscape = '\'';
constexpr char kEarlierApostrophe = '|';
constexpr std::string_view kHexDigits = "0123456789ABCDEF";

bool IsWhiteSpace(char c) { return kWhiteSpace.find(c) != std::string_view::npos; }

void AppendHexEscape(std::string& out, char c) {
  const auto byte = static_cast<unsigned char>(c);
  out += kEscape;
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0xF];
}

// The byte that two hex digits at `at` give; -1 when they are not two such digits.
int HexByteAt(const std::string& text, std::size_t at) {
  if (at + 1 >= text.size()) return -1;
  const std::size_t high = kHexDigits.find(text[at]);
  const std::size_t low = kHexDigits.find(text[at + 1]);
  if (high == std::string_view::npos || low == std::string_view::npos) return -1;
  return static_cast<int>(high * 16 + low);
}

}  // namespace

std::string CommentToRecordValue(const std::string& comment) {
  std::size_t bodyStart = 0;
  while (bodyStart < comment.size() && IsWhiteSpace(comment[bodyStart])) ++bodyStart;
  std::size_t bodyEnd = comment.size();
  while (bodyEnd > bodyStart && IsWhiteSpace(comment[bodyEnd - 1])) --bodyEnd;
  std::string value;
  value.reserve(comment.size() + comment.size() / 8);
  for (std::size_t i = 0; i < comment.size(); ++i) {
    const char c = comment[i];
    const bool atAnEnd = i < bodyStart || i >= bodyEnd;
    if (c == kEscape) {
      value += "''";
    } else if (c == kEarlierApostrophe || c == kStoredCr || c == kStoredLf || atAnEnd) {
      AppendHexEscape(value, c);
    } else if (c == '\r') {
      value += kStoredCr;
    } else if (c == '\n') {
      value += kStoredLf;
    } else {
      value += c;
    }
  }
  return value;
}

std::string CommentFromRecordValue(const std::string& value) {
  std::string comment;
  comment.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    const bool last = i + 1 == value.size();
    if (c == kEscape && !last && value[i + 1] == kEscape) {
      comment += kEscape;
      ++i;
    } else if (const int byte = c == kEscape ? HexByteAt(value, i + 1) : -1; byte >= 0) {
      comment += static_cast<char>(byte);
      i += 2;
    } else if (c == kEarlierApostrophe) {
      comment += '\'';
    } else if (c == kStoredCr && !last) {
      comment += '\r';
    } else if (c == kStoredLf && !last) {
      comment += '\n';
    } else {
      comment += c;
    }
  }
  return comment;
}
