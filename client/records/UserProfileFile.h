#pragma once
// "BKUsers.wxf" in the client's working folder: every login's UserProfile record,
// one after another, lines ending CR LF on disk. A load that stops at a broken
// record before the end of the file remembers it, and the next save first copies
// the file aside to "BKUsers.wxf.damaged", so the profiles behind the break are
// not lost for good.
#include <string>
#include <vector>

#include "client/records/UserProfile.h"

class UserProfileFile {
 public:
  static constexpr const char* kFileName = "BKUsers.wxf";
  static constexpr const char* kDamagedSuffix = ".damaged";

  explicit UserProfileFile(std::string path) : path_(std::move(path)) {}
  const std::string& GetPath() const { return path_; }

  enum class LoadResult { Loaded, Missing, Unreadable };
  // Appends the profiles read until the first record that fails. Missing when
  // there is no file, Unreadable when it cannot be read (nothing appended).
  LoadResult Load(std::vector<UserProfile>& profiles);
  // True when the last load stopped at a broken record before the file's end.
  bool IsDamaged() const { return damaged_; }

  // Replaces the file atomically with the profiles' records and clears the users'
  // modified flag. False, the file as it was and the flag kept, when a record or
  // the write fails, or when a damaged file cannot be copied aside first.
  bool Save(const std::vector<UserProfile>& profiles);

 private:
  std::string path_;
  bool damaged_ = false;
};
