#pragma once
// Which program compares documents that are not text: the one the user set in the
// options, else the first of a short list of known compare programs found on the
// search path. Empty when neither is there.
#include <string>
#include <vector>

class CompareProgramChoice {
 public:
  // The programs looked for when the user set none, in order of preference.
  static const std::vector<std::string>& KnownPrograms();

  // The first of `names` that is an executable regular file in one of the
  // ':'-separated folders of `searchPath` (empty parts skipped); its full path, or "".
  static std::string FindOnPath(const std::vector<std::string>& names, const std::string& searchPath);

  // `setting` when not blank (trimmed), else the first known program on `searchPath`.
  static std::string Effective(const std::string& setting, const std::string& searchPath);
};
