#include "common/WorkingFolderOption.h"

#include "common/FileHelpers.h"
#include "common/PathParser.h"
#include "platform/fs.h"

std::optional<std::string> WorkingFolderOption::Resolve(const std::string& given, bool create, std::string& error) {
  if (given.empty()) return std::string();
  const std::string folder = PathParser::FullPath(given);
  if (platform::fs::IsFolder(folder)) return folder;
  if (!create) {
    error = "the working folder " + folder + " does not exist; check --workdir, or add " + kCreateFlag +
            " to make it";
    return std::nullopt;
  }
  if (!CreateFolderPath(folder)) {
    error = "cannot use the working folder " + folder;
    return std::nullopt;
  }
  return folder;
}
