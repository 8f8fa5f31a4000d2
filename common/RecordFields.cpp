#include "common/RecordFields.h"

#include <cstdint>
#include <limits>
#include <utility>

namespace {

bool CommaIsDue(const std::string& line) { return !line.empty() && line.back() != '\n'; }

void AddSeparator(std::string& line) {
  if (CommaIsDue(line)) line += ',';
}

// The text behind position `pos`; empty when pos is the last character or beyond.
std::string RestBehind(const std::string& text, std::size_t pos) {
  return pos == std::string::npos || pos + 1 >= text.size() ? std::string() : text.substr(pos + 1);
}

// An optional sign and the digits behind it, from `pos`; no digits give 0. The magnitude
// saturates above 2^33 so that any out-of-range text still clamps correctly.
std::int64_t ParseDecimal(const std::string& text, std::size_t pos) {
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  constexpr std::int64_t kSaturation = std::int64_t{1} << 33;
  std::int64_t magnitude = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    if (magnitude < kSaturation) magnitude = magnitude * 10 + (text[pos] - '0');
  }
  return negative ? -magnitude : magnitude;
}

// The shared integer reading: the value (unclamped, within +-2^34) and the rest.
std::string ReadDecimalField(std::int64_t& value, const std::string& text) {
  value = 0;
  const std::size_t start = text.find_first_of("+-1234567890,\n");
  if (start == std::string::npos) return std::string();
  if (text[start] != ',' && text[start] != '\n') value = ParseDecimal(text, start);
  return RestBehind(text, text.find_first_of(",\"\n", start));
}

template <typename T>
T Clamp(std::int64_t value) {
  if (value < std::numeric_limits<T>::min()) return std::numeric_limits<T>::min();
  if (value > std::numeric_limits<T>::max()) return std::numeric_limits<T>::max();
  return static_cast<T>(value);
}

// A quoted field whose opening quote is at `open`.
std::string ReadQuotedField(std::string& field, const std::string& text, std::size_t open) {
  std::size_t pos = open + 1;
  for (;;) {
    const std::size_t quote = text.find('"', pos);
    if (quote == std::string::npos) {
      const std::size_t separator = text.find_first_of(",\n", pos);
      field += text.substr(pos, separator == std::string::npos ? std::string::npos : separator - pos);
      return RestBehind(text, separator);
    }
    field += text.substr(pos, quote - pos);
    if (quote + 1 == text.size()) return std::string();
    if (text[quote + 1] == '"') {
      field += '"';
      pos = quote + 2;
      if (pos == text.size()) return std::string();
      continue;
    }
    return RestBehind(text, text.find_first_of(",\n", quote + 1));
  }
}

void ReplaceBytes(std::string& text, char carriageReturn, char lineFeed, char newCarriageReturn,
                  char newLineFeed) {
  for (char& c : text) {
    if (c == carriageReturn) {
      c = newCarriageReturn;
    } else if (c == lineFeed) {
      c = newLineFeed;
    }
  }
}

}  // namespace

std::string AppendIntField(std::int32_t value, std::string line) {
  AddSeparator(line);
  line += std::to_string(value);
  return line;
}

std::string AppendBoolField(bool flag, std::string line) {
  AddSeparator(line);
  line += flag ? '1' : '0';
  return line;
}

std::string AppendStringField(const std::string& text, std::string line) {
  AddSeparator(line);
  line += '"';
  for (char c : text) {
    line += c;
    if (c == '"') line += '"';
  }
  line += '"';
  return line;
}

std::string AppendDateTimeField(const DateTime& value, std::string line) {
  return AppendStringField(value.Format(), std::move(line));
}

std::string EndRecord(std::string line) {
  line += '\n';
  return line;
}

std::string ReadIntField(std::int32_t& value, const std::string& text) {
  std::int64_t wide = 0;
  std::string rest = ReadDecimalField(wide, text);
  value = Clamp<std::int32_t>(wide);
  return rest;
}

std::string ReadIntField(std::uint32_t& value, const std::string& text) {
  std::int64_t wide = 0;
  std::string rest = ReadDecimalField(wide, text);
  value = wide < 0 ? static_cast<std::uint32_t>(Clamp<std::int32_t>(wide)) : Clamp<std::uint32_t>(wide);
  return rest;
}

std::string ReadBoolField(bool& flag, const std::string& text) {
  std::int64_t wide = 0;
  std::string rest = ReadDecimalField(wide, text);
  flag = wide != 0;
  return rest;
}

std::string ReadStringField(std::string& field, const std::string& text) {
  field.clear();
  std::size_t start = text.find_first_not_of(' ');
  if (start == std::string::npos) start = 0;  // nothing but blanks (or empty): not shortened
  if (start >= text.size()) return std::string();
  if (text[start] == ',' || text[start] == '\n') return RestBehind(text, start);
  if (text[start] == '"') return ReadQuotedField(field, text, start);
  const std::size_t separator = text.find_first_of(",\n", start);
  field = text.substr(start, separator == std::string::npos ? std::string::npos : separator - start);
  return RestBehind(text, separator);
}

std::string ReadDateTimeField(DateTime& value, const std::string& text) {
  std::string field;
  std::string rest = ReadStringField(field, text);
  value.Parse(field);
  return rest;
}

void EncodeFieldLineBreaks(std::string& text) { ReplaceBytes(text, '\r', '\n', '\1', '\2'); }

void DecodeFieldLineBreaks(std::string& text) { ReplaceBytes(text, '\1', '\2', '\r', '\n'); }

bool ReadWholeLine(std::istream& in, std::string& line) {
  line.clear();
  std::streambuf* buffer = in.rdbuf();
  if (!in.good() || buffer == nullptr) {
    in.setstate(std::ios::failbit);
    return false;
  }
  bool readAny = false;
  for (;;) {
    const std::streambuf::int_type next = buffer->sbumpc();
    if (std::streambuf::traits_type::eq_int_type(next, std::streambuf::traits_type::eof())) {
      in.setstate(readAny ? std::ios::eofbit : std::ios::eofbit | std::ios::failbit);
      break;
    }
    readAny = true;
    const char c = std::streambuf::traits_type::to_char_type(next);
    if (c == '\n') break;
    if (line.size() >= kMaxRecordLineLength) {
      in.setstate(std::ios::failbit);
      return false;
    }
    line += c;
  }
  while (!line.empty() && line.back() == '\r') line.pop_back();
  return readAny;
}

bool ReadRecordOfType(std::istream& in, std::int32_t type, std::string& line) {
  const std::istream::pos_type start = in.tellg();
  const bool read = ReadWholeLine(in, line);
  std::int32_t lineType = 0;
  if (read) ReadIntField(lineType, line);
  if (read && lineType == type) return true;
  // Keep the end of the stream and a broken stream visible; undo everything else.
  const std::ios::iostate kept = in.rdstate() & (read ? std::ios::badbit : std::ios::badbit | std::ios::eofbit);
  line.clear();
  in.clear();
  if (start != std::istream::pos_type(-1)) in.seekg(start);
  in.setstate(kept);
  return false;
}
