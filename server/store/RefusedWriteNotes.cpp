#include "server/store/RefusedWriteNotes.h"

#include <cerrno>

#include "common/StringHelpers.h"
#include "server/store/StoreLimits.h"

void RefusedWriteNotes::Note(Cause cause, const std::string& folder, const std::string& what) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = clock_();
    auto& last = lastNamed_[static_cast<int>(cause)];
    if (last && now - *last < std::chrono::minutes(1)) return;
    last = now;
  }
  const std::string named = "\"" + StripTrailingBackslash(folder) + "\"";
  switch (cause) {
    case Cause::ReadOnlyLibrary:
      notes_.Add("The library folder " + named + " cannot be written: " + what + " was refused.");
      return;
    case Cause::ReadOnlyTemporaryFiles:
      notes_.Add("The folder " + named + " takes no new files: " + what + " was refused.");
      return;
    case Cause::FullDisk:
      notes_.Add("The disk holding " + named + " is full: " + what + " was refused.");
      return;
    case Cause::CommentTooLong:
      notes_.Add("A comment longer than " + std::to_string(kMaxFreeTextBytes) + " bytes came for " + named + ": " +
                 what + " was refused.");
      return;
  }
}

std::optional<RefusedWriteNotes::Cause> RefusedWriteNotes::CauseOfWriteError(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return Cause::ReadOnlyTemporaryFiles;
    case ENOSPC:
    case EDQUOT:
      return Cause::FullDisk;
    default:
      return std::nullopt;
  }
}
