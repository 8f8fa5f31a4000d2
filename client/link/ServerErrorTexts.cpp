#include "client/link/ServerErrorTexts.h"

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>

#include "client/link/BuiltInErrorTexts.h"
#include "common/RecordFields.h"
#include "common/StringHelpers.h"
#include "platform/Process.h"
#include "platform/fs.h"

std::string ServerErrorTexts::FilePath(const std::string& workingFolder) {
  return FilePath(workingFolder, platform::InstalledDataFolder());
}

std::string ServerErrorTexts::FilePath(const std::string& workingFolder, const std::string& installedFolder) {
  const std::string own = EnsureTrailingBackslash(workingFolder) + kFileName;
  if (platform::fs::IsFile(own) || installedFolder.empty()) return own;
  const std::string installed = EnsureTrailingBackslash(installedFolder) + kFileName;
  return platform::fs::IsFile(installed) ? installed : own;
}

namespace {

// The text of the first line of `in` that lists `number`.
std::optional<std::string> FindText(std::istream& in, int number) {
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
  return std::nullopt;
}

}  // namespace

std::string ServerErrorTexts::Lookup(const std::string& path, int number) {
  std::ifstream file(path, std::ios::binary);
  if (file) {
    if (std::optional<std::string> text = FindText(file, number)) return *text;
  }
  std::istringstream builtIn(BuiltInErrorTexts());
  return FindText(builtIn, number).value_or(kDefaultText);
}
