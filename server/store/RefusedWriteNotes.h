#pragma once
// Console lines about writes the library refuses for a lasting cause: a library
// that cannot be written, a "TemporaryFiles" that takes no files, a full disk, a
// comment longer than the store takes. Each cause names its folder at most once a
// minute, so that a client repeating a refused write is told about, not echoed.
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "server/store/ServerNotes.h"

class RefusedWriteNotes {
 public:
  enum class Cause { ReadOnlyLibrary, ReadOnlyTemporaryFiles, FullDisk, CommentTooLong };
  static constexpr int kCauses = 4;

  explicit RefusedWriteNotes(ServerNotes& notes, ServerNotes::Clock clock = std::chrono::steady_clock::now)
      : notes_(notes), clock_(std::move(clock)) {}

  // Names `folder` and what was refused (`what`, e.g. "the check-in of \"a.doc\""),
  // unless `cause` was named less than a minute ago.
  void Note(Cause cause, const std::string& folder, const std::string& what);

  // The lasting cause a failed write with the error number `error` (errno) shows;
  // none for a failure of another kind.
  static std::optional<Cause> CauseOfWriteError(int error);

 private:
  ServerNotes& notes_;
  ServerNotes::Clock clock_;
  std::mutex mutex_;
  std::optional<std::chrono::steady_clock::time_point> lastNamed_[kCauses];
};
