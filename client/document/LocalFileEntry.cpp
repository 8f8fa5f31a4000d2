#include "client/document/LocalFileEntry.h"

#include <algorithm>
#include <cstdio>

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// <0, 0 or >0 as a sorts before, with or after b, byte by byte ignoring ASCII case.
int CompareNoCase(const std::string& a, const std::string& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
    const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

LocalFileEntry::LocalFileEntry() { Clear(); }

void LocalFileEntry::Clear() {
  baseName_.clear();
  extension_.clear();
  readOnly_ = true;
  checkedOut_ = false;
  projectMember_ = false;
  directory_ = false;
  tag_ = -1;
  size_ = 0;
  modified_ = DateTime();
  modified_.SetNow();
}

void LocalFileEntry::SetAll(const std::string& baseName, const std::string& extension, bool readOnly,
                            bool projectMember, bool directory, int tag, bool checkedOut) {
  baseName_ = baseName;
  extension_ = extension;
  readOnly_ = readOnly;
  projectMember_ = projectMember;
  directory_ = directory;
  tag_ = tag;
  checkedOut_ = checkedOut;
}

void LocalFileEntry::SetModified(int year, int month, int day, int hour, int minute, int second) {
  const auto fits = [](int value, int limit) { return value >= 0 && value <= limit; };
  if (!fits(year, 9999) || !fits(month, 99) || !fits(day, 99) || !fits(hour, 99) || !fits(minute, 99) ||
      !fits(second, 99)) {
    return;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", year, month, day, hour, minute, second);
  modified_.Parse(text);
}

std::string LocalFileEntry::GetModifiedText() const { return modified_.FormatForDisplay(4); }

std::string LocalFileEntry::GetFileName() const {
  if (extension_.empty()) return baseName_;
  return baseName_ + (extension_.front() == '.' ? "" : ".") + extension_;
}

int LocalFileEntry::Compare(const LocalFileEntry& other) const {
  if (directory_ != other.directory_) return directory_ ? -1 : 1;
  const int byBase = CompareNoCase(baseName_, other.baseName_);
  return byBase != 0 ? byBase : CompareNoCase(extension_, other.extension_);
}
