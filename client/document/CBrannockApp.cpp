#include "client/document/CBrannockApp.h"

#include <algorithm>
#include <iostream>

#include "client/document/VersionCopyFolder.h"
#include "client/records/ClientAppState.h"
#include "client/records/DuplicateConnectionMerge.h"
#include "client/records/LibraryEntryFile.h"
#include "common/StringHelpers.h"
#include "platform/Notifier.h"

CBrannockApp::CBrannockApp(std::string workingFolder, std::string loginName)
    : workingFolder_(std::move(workingFolder)),
      loginName_(std::move(loginName)),
      profiles_(workingFolder_),
      temporaryFiles_(workingFolder_) {}

CBrannockApp::~CBrannockApp() {
  // Profiles that were never chosen must not overwrite the file (a refused or
  // failed start-up holds none, or only part of them).
  platform::CriticalSection::Lock lock(profiles_.GetLock());
  UserProfile* user = profiles_.GetCurrentUser();
  if (user == nullptr) return;
  if (user->GetWindowState() != ClientAppState::GetWindowState()) {
    user->SetWindowState(ClientAppState::GetWindowState());
  }
  if (ClientAppState::AreUsersModified()) profiles_.SaveUsers();
}

std::string CBrannockApp::InstanceGuardName(const std::string& workingFolder) {
  std::string name = "BK" + workingFolder;
  std::replace_if(
      name.begin(), name.end(), [](char c) { return c == ':' || c == '/' || c == '\\' || c == '.'; }, '_');
  return name;
}

bool CBrannockApp::InitInstance() {
  if (workingFolder_.empty()) {
    platform::NotifyText(kNoWorkingFolder, platform::NotifyIcon::Error);
    return false;
  }
  guard_ = std::make_unique<platform::InstanceGuard>(InstanceGuardName(workingFolder_), kInstanceWaitMs);
  if (!guard_->Held()) {
    platform::NotifyText(kAlreadyRunning, platform::NotifyIcon::Error);
    return false;
  }
  if (!LoadLibraryEntries() || !LoadUsers()) return false;
  MergeDuplicateConnections();
  PurgeTemporaryFiles();
  VersionCopyFolder::PurgeAll(temporaryFiles_.GetFolder());
  platform::CriticalSection::Lock lock(profiles_.GetLock());
  ClientAppState::SetWindowState(profiles_.GetCurrentUser()->GetWindowState());
  return true;
}

std::string CBrannockApp::EntriesPath() const {
  return EnsureTrailingBackslash(workingFolder_) + LibraryEntryFile::kFileName;
}

bool CBrannockApp::LoadLibraryEntries() { return LibraryEntryFile::Load(EntriesPath(), entries_); }

void CBrannockApp::MergeDuplicateConnections() {
  platform::CriticalSection::Lock lock(profiles_.GetLock());
  if (!DuplicateConnectionMerge::Merge(profiles_.GetProfiles(), entries_)) return;
  // The users first: an entry left behind in its file names nobody and goes next time.
  if (!profiles_.SaveUsers() || !LibraryEntryFile::Save(EntriesPath(), entries_)) {
    platform::NotifyText(kMergeNotSaved, platform::NotifyIcon::Warning);
  }
}

CertificateImport::Result CBrannockApp::ImportCertificate(const std::string& path) {
  platform::CriticalSection::Lock lock(profiles_.GetLock());
  CertificateImport import({entries_, EntriesPath(), profiles_.GetProfiles(), profiles_.GetCurrentIndex(),
                            profiles_.GetFile(), workingFolder_});
  return import.Import(path);
}

void CBrannockApp::ShowStatusNotice(const std::string& text) const {
  if (statusNotice_) {
    statusNotice_(text);
  } else {
    std::cerr << text << std::endl;
  }
}
