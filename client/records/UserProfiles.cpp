#include "client/records/UserProfiles.h"

#include <array>

#include "client/records/ClientAppState.h"
#include "common/StringHelpers.h"

namespace {

using Lock = platform::CriticalSection::Lock;

UserProfile FirstProfile(const std::string& loginName, const std::string& workingFolder) {
  UserProfile profile;
  profile.SetLoginName(loginName);
  profile.SetPaneSizes(300, 100, 0, 250, 0, 250, UserProfile::kCurrentLayout);
  profile.SetBackupRoot(EnsureTrailingBackslash(workingFolder) + "BackupRoot");
  return profile;
}

// Everything of `model` but its connections and current connection.
UserProfile CopyWithoutConnections(const UserProfile& model, const std::string& loginName) {
  UserProfile copy;
  copy.SetLoginName(loginName);
  for (const int layout : {UserProfile::kMaximisedLayout, UserProfile::kRestoredLayout}) {
    std::array<int, 6> s{};
    model.GetPaneSizes(s[0], s[1], s[2], s[3], s[4], s[5], layout);
    copy.SetPaneSizes(s[0], s[1], s[2], s[3], s[4], s[5], layout);
  }
  copy.SetWindowState(model.GetWindowState());
  for (int i = 0; i < model.GetFolderRuleSetCount(); ++i) copy.AddFolderRuleSet(*model.GetFolderRuleSet(i));
  copy.SetCurrentFolderRuleSet(model.GetCurrentFolderRuleSet());
  copy.SetBackupRoot(model.GetBackupRoot());
  copy.SetCompareProgram(model.GetCompareProgram());
  return copy;
}

}  // namespace

UserProfiles::UserProfiles(const std::string& workingFolder)
    : workingFolder_(workingFolder),
      file_(EnsureTrailingBackslash(workingFolder) + UserProfileFile::kFileName) {}

UserProfile* UserProfiles::GetCurrentUser() {
  Lock lock(lock_);
  if (current_ < 0 || current_ >= static_cast<int>(profiles_.size())) return nullptr;
  return &profiles_[static_cast<std::size_t>(current_)];
}

bool UserProfiles::LoadUsers(const std::string& loginName) {
  Lock lock(lock_);
  if (loginName.empty()) return false;
  switch (file_.Load(profiles_)) {
    case UserProfileFile::LoadResult::Unreadable:
      return false;
    case UserProfileFile::LoadResult::Loaded:
      if (profiles_.empty() || !SelectUserByLogin(loginName)) return false;
      ClientAppState::ClearUsersModified();
      return true;
    case UserProfileFile::LoadResult::Missing:
      break;
  }
  if (!profiles_.empty()) return false;
  profiles_.push_back(FirstProfile(loginName, workingFolder_));
  current_ = 0;
  return SaveUsers();
}

bool UserProfiles::SelectUserByLogin(const std::string& loginName) {
  Lock lock(lock_);
  if (loginName.empty() || profiles_.empty()) return false;
  for (std::size_t i = 0; i < profiles_.size(); ++i) {
    if (profiles_[i].GetLoginName() == loginName) {
      current_ = static_cast<int>(i);
      return true;
    }
  }
  profiles_.push_back(CopyWithoutConnections(profiles_.front(), loginName));
  current_ = static_cast<int>(profiles_.size()) - 1;
  return SaveUsers();
}

bool UserProfiles::SaveUsers() {
  Lock lock(lock_);
  return file_.Save(profiles_);
}

bool UserProfiles::UpdateLogonCode(const std::string& libraryName, int userNumber, const std::string& code) {
  Lock lock(lock_);
  UserProfile* user = GetCurrentUser();
  if (user == nullptr) return false;
  for (int i = 0; i < user->GetConnectionCount(); ++i) {
    LibraryConnection& connection = *user->GetConnection(i);
    if (connection.GetName() == libraryName && connection.GetUserNumber() == userNumber) {
      connection.SetLogonCode(code);
      user->MarkModified();
      return SaveUsers();
    }
  }
  return false;
}
