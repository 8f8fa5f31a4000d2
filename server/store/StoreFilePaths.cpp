#include "server/store/StoreFilePaths.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::string_view kVersionMark = "Ver";
constexpr std::string_view kVersionExtension = ".wxf";

}  // namespace

std::string ProjectFileListPath(const std::string& folder, const std::string& projectInternalName) {
  return folder + projectInternalName + "_ProjectFileList.wxf";
}

std::string StatisticsPath(const std::string& folder, const std::string& internalFileName) {
  std::string path;
  AppendStatisticsPath(path, folder, internalFileName);
  return path;
}

void AppendStatisticsPath(std::string& paths, const std::string& folder, const std::string& internalFileName) {
  paths.append(folder).append(internalFileName).append("_FileStatistics.wxf");
}

std::string VersionFileName(const std::string& internalFileName, int version) {
  return internalFileName + std::string(kVersionMark) + std::to_string(version) + std::string(kVersionExtension);
}

bool IsVersionFileName(std::string_view name) {
  if (!name.ends_with(kVersionExtension)) return false;
  name.remove_suffix(kVersionExtension.size());
  const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  const auto digits = std::find_if_not(name.rbegin(), name.rend(), isDigit);
  const std::size_t digitCount = static_cast<std::size_t>(digits - name.rbegin());
  if (digitCount == 0) return false;
  name.remove_suffix(digitCount);
  return name.size() > kVersionMark.size() && name.ends_with(kVersionMark);
}
