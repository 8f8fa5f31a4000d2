#include "client/rules/CompareProgramChoice.h"

#include <sys/stat.h>

#include "common/StringHelpers.h"

namespace {

// A regular file with an execute bit set (the mode bits, which hold for root too).
bool IsExecutableFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & 0111) != 0;
}

}  // namespace

const std::vector<std::string>& CompareProgramChoice::KnownPrograms() {
  static const std::vector<std::string> programs = {"meld", "kdiff3", "kompare", "diffuse", "tkdiff"};
  return programs;
}

std::string CompareProgramChoice::FindOnPath(const std::vector<std::string>& names, const std::string& searchPath) {
  for (const std::string& name : names) {
    std::size_t start = 0;
    while (start <= searchPath.size()) {
      std::size_t end = searchPath.find(':', start);
      if (end == std::string::npos) end = searchPath.size();
      const std::string folder = searchPath.substr(start, end - start);
      start = end + 1;
      if (folder.empty()) continue;
      const std::string candidate = EnsureTrailingBackslash(folder) + name;
      if (IsExecutableFile(candidate)) return candidate;
    }
  }
  return "";
}

std::string CompareProgramChoice::Effective(const std::string& setting, const std::string& searchPath) {
  std::string chosen = setting;
  TrimString(chosen);
  return chosen.empty() ? FindOnPath(KnownPrograms(), searchPath) : chosen;
}
