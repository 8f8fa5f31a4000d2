#include "server/store/StoreFilePaths.h"

std::string ProjectFileListPath(const std::string& folder, const std::string& projectInternalName) {
  return folder + projectInternalName + "_ProjectFileList.wxf";
}

std::string StatisticsPath(const std::string& folder, const std::string& internalFileName) {
  return folder + internalFileName + "_FileStatistics.wxf";
}
