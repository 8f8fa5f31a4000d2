#pragma once
// The client's user profiles for the run: every login's UserProfile, the index of
// the current (logged-on) user's and their file "BKUsers.wxf". One re-entrant lock
// guards them, because the receive threads store new logon codes while the
// user-interface thread reads, changes and saves: every use holds GetLock().
#include <string>
#include <vector>

#include "client/records/UserProfile.h"
#include "client/records/UserProfileFile.h"
#include "platform/CriticalSection.h"

class UserProfiles {
 public:
  explicit UserProfiles(const std::string& workingFolder);

  platform::CriticalSection& GetLock() { return lock_; }
  // The current user's profile, null before one is chosen. Hold GetLock() while
  // using it.
  UserProfile* GetCurrentUser();
  int GetCurrentIndex() const { return current_; }
  std::vector<UserProfile>& GetProfiles() { return profiles_; }
  UserProfileFile& GetFile() { return file_; }

  // Reads the file and makes `loginName`'s profile current (SelectUserByLogin).
  // Without a file, a first profile for `loginName` is made and saved. False when
  // the login name is empty, the file cannot be read or yields no profile, or a
  // needed save fails.
  bool LoadUsers(const std::string& loginName);
  // Makes the first profile of exactly this login name (case counts) current. A
  // login without one gets a copy of the first profile without its connections
  // (accounts and logon codes are never shared between logins), saved at once.
  // False when the login name is empty, nothing is loaded or the save fails.
  bool SelectUserByLogin(const std::string& loginName);
  // Writes every profile; true clears the users' modified flag.
  bool SaveUsers();

  // Stores `code` as the logon code of the current user's connection to the
  // library `libraryName` with account number `userNumber` and saves. False when
  // no connection matches both, or when the save fails (the profiles then stay
  // marked modified, so the exit saves again). Any thread.
  bool UpdateLogonCode(const std::string& libraryName, int userNumber, const std::string& code);

 private:
  std::string workingFolder_;
  UserProfileFile file_;
  std::vector<UserProfile> profiles_;
  int current_ = -1;
  platform::CriticalSection lock_;
};
