#include "client/document/TemporaryFiles.h"

#include <filesystem>
#include <system_error>

#include "common/StringHelpers.h"
#include "common/TempFileCounter.h"

namespace stdfs = std::filesystem;

TemporaryFiles::TemporaryFiles(const std::string& workingFolder)
    : folder_(EnsureTrailingBackslash(workingFolder) + kFolderName + "/") {}

std::string TemporaryFiles::MakeTemporaryFileName() const {
  return folder_ + "TemporaryFile_" + std::to_string(TempFileCounter::Client().Next()) + ".wxf";
}

bool TemporaryFiles::PurgeTemporaryFiles() const {
  TempFileCounter::Client().Reset();
  const stdfs::path folder = StripTrailingBackslash(folder_);
  std::error_code error;
  // Everything below goes by the link's own status: a file is never reached
  // through a link, so nothing outside the folder can be deleted. (Unlinking needs
  // no write permission on the file itself, so no mode is changed first.)
  if (stdfs::is_symlink(stdfs::symlink_status(folder, error))) return false;
  stdfs::create_directory(folder, error);
  if (error) return false;
  stdfs::directory_iterator entry(folder, error);
  for (; !error && entry != stdfs::directory_iterator(); entry.increment(error)) {
    std::error_code ignored;
    if (entry->is_symlink(ignored) || !entry->is_directory(ignored)) stdfs::remove(entry->path(), ignored);
  }
  return !error;
}
