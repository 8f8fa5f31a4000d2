#pragma once
// Where a project's record files lie: every name is a project folder that ends in
// the separator followed by an internal name and a fixed suffix.
#include <string>
#include <string_view>

// <folder><project internal name>_ProjectFileList.wxf
std::string ProjectFileListPath(const std::string& folder, const std::string& projectInternalName);
// <folder><internal file name>_FileStatistics.wxf
std::string StatisticsPath(const std::string& folder, const std::string& internalFileName);
// StatisticsPath written at the end of `paths`.
void AppendStatisticsPath(std::string& paths, const std::string& folder, const std::string& internalFileName);
// <internal file name>Ver<version>.wxf, a file written once and never changed
std::string VersionFileName(const std::string& internalFileName, int version);
// Whether `name` is some file's VersionFileName.
bool IsVersionFileName(std::string_view name);
