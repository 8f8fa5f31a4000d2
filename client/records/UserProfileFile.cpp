#include "client/records/UserProfileFile.h"

#include <sstream>

#include "client/records/ClientAppState.h"
#include "client/records/TextFileLines.h"
#include "platform/AtomicFile.h"
#include "platform/fs.h"

namespace {

bool OnlyWhiteSpaceFrom(const std::string& text, std::istream::pos_type position) {
  if (position == std::istream::pos_type(-1)) return true;
  const auto start = static_cast<std::size_t>(static_cast<std::streamoff>(position));
  return start >= text.size() || text.find_first_not_of(" \t\r\n", start) == std::string::npos;
}

}  // namespace

UserProfileFile::LoadResult UserProfileFile::Load(std::vector<UserProfile>& profiles) {
  damaged_ = false;
  if (!platform::fs::Exists(path_)) return LoadResult::Missing;
  std::string text;
  if (!ReadWholeFile(path_, text)) return LoadResult::Unreadable;
  std::istringstream in(text);
  for (;;) {
    const std::istream::pos_type start = in.tellg();
    UserProfile profile;
    if (!profile.Read(in)) {
      damaged_ = !OnlyWhiteSpaceFrom(text, start);
      return LoadResult::Loaded;
    }
    profiles.push_back(profile);
  }
}

bool UserProfileFile::Save(const std::vector<UserProfile>& profiles) {
  std::ostringstream out;
  for (const UserProfile& profile : profiles) {
    if (!profile.Write(out)) return false;
  }
  // Both files hold passwords and keys: owner-only, whatever the old file allowed.
  std::string damagedText;
  if (damaged_ && !(ReadWholeFile(path_, damagedText) &&
                    platform::AtomicFile::WriteOwnerOnly(path_ + kDamagedSuffix, damagedText))) {
    return false;
  }
  if (!platform::AtomicFile::WriteOwnerOnly(path_, WithCrLfLineEnds(out.str()))) return false;
  damaged_ = false;
  ClientAppState::ClearUsersModified();
  return true;
}
