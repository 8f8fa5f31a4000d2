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

void LibraryEntry::SetTlsPin(const std::string& fingerprint, int port) {
  tlsFingerprint_ = fingerprint;
  TrimString(tlsFingerprint_);
  tlsPort_ = tlsFingerprint_.empty() ? 0 : port;
}

void LibraryEntry::Clear() {
  name_.clear();
  keyText_.clear();
}

std::string LibraryEntry::Write() const {
  std::string line = AppendStringField(name_, "");
  line = AppendStringField(keyText_, std::move(line));
  line = AppendIntField(keyLength_, std::move(line));
  if (IsTlsPinned()) {
    line = AppendStringField(tlsFingerprint_, std::move(line));
    line = AppendIntField(tlsPort_, std::move(line));
  }
  return EndRecord(line);
}

std::string LibraryEntry::Read(const std::string& text) {
  // The pin's fields are optional: they are read from this entry's line only.
  const std::size_t end = text.find('\n');
  std::string rest = ReadStringField(name_, text.substr(0, end));
  rest = ReadStringField(keyText_, rest);
  std::int32_t length = 0;
  rest = ReadIntField(length, rest);
  keyLength_ = length;
  std::string fingerprint;
  std::int32_t port = 0;
  ReadIntField(port, ReadStringField(fingerprint, rest));
  SetTlsPin(fingerprint, port);
  return end == std::string::npos ? std::string() : text.substr(end + 1);
}
