#include "server/store/InternalNameCounter.h"

#include <climits>
#include <cstdio>
#include <fstream>
#include <utility>

#include "common/RecordFields.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"

namespace {

constexpr std::size_t kMaxCounterLine = 48;

std::string FormatPair(const char* format, int high, int low) {
  char text[64];
  std::snprintf(text, sizeof text, format, high, low);
  return text;
}

}  // namespace

InternalNameCounter::InternalNameCounter(std::string filePath) : filePath_(std::move(filePath)) {}

bool InternalNameCounter::Load(bool newLibrary) {
  if (!platform::fs::Exists(filePath_)) {
    if (!newLibrary) return false;
    high_ = 1;
    low_ = 1;
    return Save();
  }
  std::ifstream in(filePath_, std::ios::binary);
  if (!in) return false;
  std::string line;
  char c = 0;
  while (line.size() < kMaxCounterLine && in.get(c) && c != '\n') line.push_back(c);
  std::int32_t high = 0;
  std::int32_t low = 0;
  ReadIntField(low, ReadIntField(high, line));
  if (low < 1) return false;
  high_ = high;
  low_ = low;
  return true;
}

std::string InternalNameCounter::Generate() {
  const std::vector<std::string> names = Generate(1);
  return names.empty() ? std::string() : names.front();
}

std::vector<std::string> InternalNameCounter::Generate(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    names.push_back(FormatPair("WXFiName_Hi%dLo%d", high_, low_));
    if (low_ < INT_MAX) {
      ++low_;
    } else if (high_ < INT_MAX) {
      ++high_;
      low_ = 1;
    } else {
      return {};  // every pair has been handed out
    }
  }
  if (names.empty() || !platform::fs::IsFile(filePath_) || !Save()) return {};
  return names;
}

bool InternalNameCounter::Save() const { return SaveAs(filePath_); }

bool InternalNameCounter::SaveAs(const std::string& filePath) const {
  return platform::AtomicFile::Write(filePath, FormatPair("%d,%d", high_, low_));
}
