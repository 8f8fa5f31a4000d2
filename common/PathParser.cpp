#include "common/PathParser.h"

#include "common/ServerPathContext.h"
#include "common/StringHelpers.h"
#include "platform/Process.h"
#include "platform/fs.h"

namespace {

const char kDeepFolderName[] = "MAX_PATH/";

std::string Join(const std::string& folder, const std::string& name) {
  return EnsureTrailingBackslash(folder) + name;
}

// Splits off the drive step of an absolute path: "/" and its first folder when a
// '/' follows it. `rest` receives what remains to be walked.
std::string DriveStep(const std::string& path, std::string& rest) {
  std::string comp = "/";
  rest = path.substr(1);
  const std::size_t slash = rest.find('/');
  if (slash != std::string::npos) {
    comp += rest.substr(0, slash);
    rest.erase(0, slash + 1);
  }
  return comp;
}

// Splits the first folder component (the text before the first '/') off `rest`;
// false when no '/' is left.
bool NextComponent(std::string& rest, std::string& comp) {
  const std::size_t slash = rest.find('/');
  if (slash == std::string::npos) return false;
  comp = rest.substr(0, slash);
  rest.erase(0, slash + 1);
  return true;
}

}  // namespace

PathParser::PathParser() {
  Reset();
  firstPath_ = platform::WorkingFolder();
}

void PathParser::Reset() {
  firstPath_.clear();
  secondPath_.clear();
  secondEndsInFile_ = true;
  currentFolder_ = platform::WorkingFolder();
}

void PathParser::SetSecondPath(const std::string& path) { secondPath_ = path; }

std::string PathParser::GetSecondPathFileName() const {
  const std::size_t slash = secondPath_.rfind('/');
  return slash == std::string::npos ? secondPath_ : secondPath_.substr(slash + 1);
}

bool PathParser::WalkFirstPath() {
  bool endsInFile = true;
  return Walk(firstPath_, false, false, endsInFile);
}

bool PathParser::WalkSecondPath() {
  return Walk(secondPath_, ServerPathContext::IsInstalled(), true, secondEndsInFile_);
}

bool PathParser::IsSecondPathFile() const { return secondEndsInFile_; }

std::string PathParser::SplitSecondPath() {
  secondEndsInFile_ = true;
  std::string rest = secondPath_;
  std::string result;
  if (!rest.empty() && rest.front() == '/') result = EnsureTrailingBackslash(DriveStep(secondPath_, rest));
  std::string comp;
  while (NextComponent(rest, comp)) result = AppendComponent(result, comp);
  if (!rest.empty()) result = Join(result, rest);
  return result;
}

std::string PathParser::FullPath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  return Join(platform::WorkingFolder(), path);
}

std::string PathParser::AppendComponent(const std::string& built, const std::string& component,
                                        bool* redirected) {
  std::string result = Join(built, component);
  const bool deep = result.size() > kDeepPathLimit && ServerPathContext::IsInstalled();
  if (deep) result = Join(ServerPathContext::LibraryRoot(), kDeepFolderName + component);
  if (redirected != nullptr) *redirected = deep;
  return result;
}

bool PathParser::ChangeTo(const std::string& folder) {
  if (!platform::fs::IsFolder(folder)) return false;
  currentFolder_ = folder;
  return true;
}

bool PathParser::Walk(const std::string& path, bool deepFolderRule, bool lastMayBeMissing,
                      bool& endsInFile) {
  endsInFile = true;
  std::string rest = path;
  std::string walked;
  if (!rest.empty() && rest.front() == '/') {
    const std::string drive = DriveStep(path, rest);
    if (!ChangeTo(drive)) return false;
    walked = EnsureTrailingBackslash(drive);
  } else {
    currentFolder_ = platform::WorkingFolder();
  }

  std::string comp;
  while (NextComponent(rest, comp)) {
    if (comp.empty()) return false;
    std::string target = Join(currentFolder_, comp);
    if (deepFolderRule) {
      bool redirected = false;
      walked = AppendComponent(walked, comp, &redirected);
      if (redirected) target = FullPath(walked);
    }
    if (!ChangeTo(target)) return false;
  }
  if (rest.empty()) return true;

  const std::string last = Join(currentFolder_, rest);
  if (platform::fs::IsFolder(last)) {
    endsInFile = false;
    currentFolder_ = last;
    return true;
  }
  // A missing last component is a file about to be made, except on the way back.
  return platform::fs::Exists(last) || lastMayBeMissing;
}
