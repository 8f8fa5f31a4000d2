#include "client/document/VersionCopyFolder.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "common/StringHelpers.h"

namespace stdfs = std::filesystem;

namespace {

std::string CopiesFolder(const std::string& temporaryFolder) {
  return EnsureTrailingBackslash(temporaryFolder) + VersionCopyFolder::kCopiesFolder;
}

}  // namespace

VersionCopyFolder::VersionCopyFolder(const std::string& temporaryFolder) {
  const std::string parent = CopiesFolder(temporaryFolder);
  std::error_code error;
  if (stdfs::is_symlink(stdfs::symlink_status(parent, error))) return;
  stdfs::create_directories(parent, error);
  if (error) return;
  std::string pattern = parent + "/XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) return;
  folder_ = std::string(name.data()) + "/";
}

VersionCopyFolder::~VersionCopyFolder() {
  if (folder_.empty()) return;
  std::error_code ignored;
  stdfs::remove_all(StripTrailingBackslash(folder_), ignored);
}

bool VersionCopyFolder::PurgeAll(const std::string& temporaryFolder) {
  const std::string parent = CopiesFolder(temporaryFolder);
  std::error_code error;
  stdfs::remove_all(parent, error);
  return !error && !stdfs::exists(stdfs::symlink_status(parent, error));
}
