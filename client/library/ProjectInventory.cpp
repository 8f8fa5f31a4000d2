#include "client/library/ProjectInventory.h"

#include <fstream>
#include <iterator>

#include "common/QuotedLines.h"
#include "common/StringHelpers.h"
#include "platform/AtomicFile.h"
#include "platform/Notifier.h"
#include "platform/fs.h"

ProjectInventory::ProjectInventory(const std::string& libraryFolder)
    : path_(EnsureTrailingBackslash(libraryFolder) + kFileName) {}

bool ProjectInventory::ReadWholeFile(std::string& text) const {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

ProjectInventory::LoadResult ProjectInventory::Load(ProjectNode& root) {
  root.Clear();
  keepUnsaved_ = false;
  if (!platform::fs::Exists(path_)) return LoadResult::Missing;

  std::string text;
  bool whole = ReadWholeFile(text);
  if (whole) {
    QuotedLines lines(std::move(text));
    std::string extra;
    whole = root.DecodeLines(lines) && !lines.Next(extra);
  }
  if (whole) return LoadResult::Loaded;
  KeepDamagedFile();
  return LoadResult::Damaged;
}

void ProjectInventory::KeepDamagedFile() {
  const std::string aside = path_ + kDamagedSuffix;
  if (platform::fs::CopyFile(path_, aside, platform::fs::CopyMode::Overwrite)) {
    platform::NotifyText("The library inventory " + path_ + " could not be read completely. It has been kept as " +
                             aside + ".",
                         platform::NotifyIcon::Warning);
    return;
  }
  keepUnsaved_ = true;
  platform::NotifyText("The library inventory " + path_ +
                           " could not be read completely and could not be copied aside. It will not be replaced.",
                       platform::NotifyIcon::Warning);
}

bool ProjectInventory::Save(const ProjectNode& root) const {
  if (!keepUnsaved_ && platform::AtomicFile::Write(path_, root.Encode())) return true;
  platform::NotifyText("The library inventory could not be saved to " + path_ + ". The previous file has been kept.",
                       platform::NotifyIcon::Error);
  return false;
}
