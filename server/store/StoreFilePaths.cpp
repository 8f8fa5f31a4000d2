#include "server/store/StoreFilePaths.h"

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
