#include "client/core/ServerErrorTexts.h"

#include <cstdint>
#include <fstream>

#include "common/RecordFields.h"
#include "common/StringHelpers.h"

std::string ServerErrorTexts::FilePath(const std::string& workingFolder) {
  return EnsureTrailingBackslash(workingFolder) + kFileName;
}

std::string ServerErrorTexts::Lookup(const std::string& path, int number) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return kDefaultText;
  std::string line;
  while (ReadWholeLine(in, line)) {
    if (line.empty()) continue;
    std::int32_t listed = 0;
    const std::string rest = ReadIntField(listed, line);
    if (listed != number) continue;
    std::string text;
    ReadStringField(text, rest);
    return text;
  }
  return kDefaultText;
}
