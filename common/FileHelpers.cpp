#include "common/FileHelpers.h"

#include <cstdint>
#include <cstdio>

#include "common/DateTime.h"
#include "common/PathParser.h"
#include "common/ServerPathContext.h"
#include "common/StringHelpers.h"
#include "common/TempFileCounter.h"
#include "platform/Process.h"
#include "platform/Random.h"
#include "platform/fs.h"

namespace {

const char kTemporaryFolder[] = "TemporaryFiles/";
const char kDeepFolder[] = "MAX_PATH";
// Attempts before a fresh name is given up (each attempt draws a new number).
constexpr int kNameAttempts = 1000;

// Where `path` lies after the walk of its folders: the folder itself when the path
// names a folder, else the reached folder joined with the last component. False
// when a folder on the way does not exist.
bool LocatePath(const std::string& path, std::string& located) {
  PathParser parser;
  parser.SetSecondPath(path);
  if (!parser.WalkSecondPath()) return false;
  const std::string name = parser.GetSecondPathFileName();
  located = (!parser.IsSecondPathFile() || name.empty())
                ? parser.CurrentFolder()
                : EnsureTrailingBackslash(parser.CurrentFolder()) + name;
  return true;
}

using ProbeResult = platform::fs::CreateResult;

ProbeResult ProbeCreate(const std::string& file) {
  const ProbeResult result = platform::fs::CreateNewFile(file);
  if (result == ProbeResult::Created) platform::fs::DeleteFile(file);
  return result;
}

// "<14-digit local time>_<random>.tmp": unlikely to exist, and never trusted to be new.
std::string ProbeName() {
  DateTime now;
  now.SetNow();
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "_%08x.tmp", static_cast<unsigned>(platform::RandomBelow(UINT32_MAX)));
  return now.Format() + suffix;
}

// An existing folder is left alone (its parent may be read-only).
bool MakeFolder(const std::string& folder) {
  return platform::fs::IsFolder(folder) || platform::fs::CreateFolder(folder);
}

bool EnsureDeepFolder() {
  const std::string deep = EnsureTrailingBackslash(ServerPathContext::LibraryRoot()) + kDeepFolder;
  return MakeFolder(PathParser::FullPath(deep));
}

}  // namespace

bool IsFolderWritable(const std::string& folder) {
  PathParser parser;
  parser.SetSecondPath(folder);
  if (!parser.WalkSecondPath() || parser.IsSecondPathFile()) return false;
  const std::string base = EnsureTrailingBackslash(parser.CurrentFolder());
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    switch (ProbeCreate(base + ProbeName())) {
      case ProbeResult::Created: return true;
      case ProbeResult::Refused: return false;
      case ProbeResult::Exists: break;
    }
  }
  return false;
}

bool CreateFolderPath(const std::string& path) {
  if (path.size() < 2) return false;
  std::string rest = path;
  std::string built;
  if (rest.front() == '/') {
    built = "/";
    rest.erase(0, 1);
  }
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string comp = rest.substr(0, slash);
    rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
    if (comp.empty()) return false;
    bool redirected = false;
    built = PathParser::AppendComponent(built, comp, &redirected);
    if (redirected && !EnsureDeepFolder()) return false;
    if (!MakeFolder(PathParser::FullPath(built))) return false;
  }
  return platform::fs::IsFolder(PathParser::FullPath(built));
}

std::string MakeTempFileName() {
  const bool server = ServerPathContext::IsInstalled();
  std::string root = server ? ServerPathContext::LibraryRoot() : std::string();
  if (root.empty()) root = platform::WorkingFolder();
  const std::string base = PathParser::FullPath(EnsureTrailingBackslash(root) + kTemporaryFolder);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::int32_t number =
        server ? ServerPathContext::NextTempNumber() : TempFileCounter::Client().Next();
    const std::string name = base + "Temp_" + std::to_string(number) + ".wxf";
    if (!platform::fs::Exists(name)) return name;
  }
  return std::string();
}

bool MoveFileLongPath(const std::string& source, const std::string& destination) {
  std::string from, to;
  return LocatePath(source, from) && platform::fs::IsFile(from) && LocatePath(destination, to) &&
         platform::fs::MoveNoReplace(from, to);
}

bool CopyFileLongPath(bool failIfExists, const std::string& source, const std::string& destination) {
  std::string from, to;
  const auto mode = failIfExists ? platform::fs::CopyMode::FailIfExists : platform::fs::CopyMode::Overwrite;
  return LocatePath(source, from) && LocatePath(destination, to) && platform::fs::CopyFile(from, to, mode);
}

bool DeleteFileLongPath(const std::string& path) {
  std::string target;
  return LocatePath(path, target) && !platform::fs::IsFolder(target) && platform::fs::DeleteFile(target);
}

bool RemoveFolderLongPath(const std::string& path) {
  std::string target;
  return LocatePath(path, target) && platform::fs::RemoveFolder(target);
}

bool SetFileAttributesLongPath(const std::string& path, FileAttributes attributes) {
  std::string target;
  return LocatePath(path, target) &&
         platform::fs::SetReadOnly(target, attributes == FileAttributes::ReadOnly);
}

